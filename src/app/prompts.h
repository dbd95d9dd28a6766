#pragma once
// TPrompts: the modal questions and messages of the main window and its parts
// (message boxes, one-line input boxes wide enough for a path and their
// title, password boxes, error boxes, the question about a
// server certificate). The window uses
// TWidgetPrompts, which shows real modal Qt dialogs parented to the window;
// tests put in a recorder that answers from a script.
//
// Contract: every call is synchronous on the UI thread. The widget
// implementation runs a modal event loop, so socket events and timers keep
// being delivered while a question is open; a caller must be ready for the
// state it asked about to have changed when the call returns.
#include "dialogs/potrdilo.h"
#include "ftp/sejaview.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class TPrompts {
public:
    virtual ~TPrompts() = default;
    // A message box with the product's title texts; returns the button pressed.
    virtual TMsgResult MessageBox(const QString& text, const QString& title, TMsgIcon icon,
                                  TMsgButtons buttons) = 0;
    // A one-line input box with value as the initial text; true on OK (value then holds the answer).
    virtual bool InputBox(const QString& caption, const QString& prompt, QString& value) = 0;
    // The same box for a password: the text typed is shown as dots. A recorder may leave it to InputBox.
    virtual bool PasswordBox(const QString& caption, const QString& prompt, QString& value)
    {
        return InputBox(caption, prompt, value);
    }
    // The error box of a failed file or I/O operation ("I/O error 2: No such file or directory").
    virtual void ErrorBox(const QString& text) = 0;
    // The question about a certificate that could not be verified (TPotrdilo)
    // in the given language; storedSha256 is the fingerprint trusted before
    // for that host and port when it differs (the changed-certificate
    // warning), else empty. A recorder that does not script it cancels.
    virtual TPotrdiloIzbira AskCertificate(const TCertificateInfo& info, const QByteArray& storedSha256,
                                           int language)
    {
        Q_UNUSED(info);
        Q_UNUSED(storedSha256);
        Q_UNUSED(language);
        return pzPreklici;
    }
};

class TWidgetPrompts : public TPrompts {
public:
    explicit TWidgetPrompts(QWidget* parent) : m_parent(parent) {}
    TMsgResult MessageBox(const QString& text, const QString& title, TMsgIcon icon,
                          TMsgButtons buttons) override;
    bool InputBox(const QString& caption, const QString& prompt, QString& value) override;
    bool PasswordBox(const QString& caption, const QString& prompt, QString& value) override;
    void ErrorBox(const QString& text) override;
    TPotrdiloIzbira AskCertificate(const TCertificateInfo& info, const QByteArray& storedSha256,
                                   int language) override;

private:
    QPointer<QWidget> m_parent;
};
