#pragma once
// Shared pieces of the main window's flow tests: a fresh home, scripted
// prompts, quick connect through its window, and selecting rows as a user would.
#include "app/localpane.h"
#include "app/logview.h"
#include "app/mainwindow.h"
#include "app/prompts.h"
#include "app/remotepane.h"
#include "files/filelist.h"
#include "support/pump.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>

namespace windowfixture {

// Answers the window's questions from a script and records what was asked.
class ScriptedPrompts : public TPrompts {
public:
    std::deque<TMsgResult> answers;
    QStringList asked;
    TMsgResult MessageBox(const QString& text, const QString&, TMsgIcon, TMsgButtons) override
    {
        asked << text;
        if (answers.empty()) {
            return mrOk;
        }
        const TMsgResult answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool InputBox(const QString& caption, const QString&, QString&) override
    {
        asked << caption;
        return false;
    }
    void ErrorBox(const QString& text) override { asked << text; }
};

// KVADO_HOME points at home and Kvado.ini holds these values.
inline void UseHome(const QTemporaryDir& home, const std::vector<std::pair<QString, QString>>& values)
{
    qputenv("KVADO_HOME", home.path().toLocal8Bit());
    QSettings ini(home.path() + "/Kvado.ini", QSettings::IniFormat);
    for (const auto& [key, value] : values) {
        ini.setValue(key, value);
    }
}

inline QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray Pattern(int size, char seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i) {
        data[i] = char(seed + i * 7 + i / 251);
    }
    return data;
}

// Runs fill on the next modal dialog that opens.
inline void OnNextModal(std::function<void(QWidget* dialog)> fill)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, fill] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            fill(dialog);
        }
    });
    timer->start();
}

inline int RowOf(TRemotePane* pane, const QString& name)
{
    for (int row = 0; row < pane->RowCount(); ++row) {
        if (pane->RowCaption(row) == name) {
            return row;
        }
    }
    return -1;
}

inline void SelectLocal(TLocalPane* pane, const QString& name)
{
    TListItems& items = pane->List()->Items();
    for (int i = 0; i < items.Count(); ++i) {
        const bool chosen = items.Item(i)->Caption() == name;
        items.Item(i)->SetSelected(chosen);
        if (chosen) {
            items.SelectionModel()->setCurrentIndex(items.index(i, 0), QItemSelectionModel::NoUpdate);
        }
    }
}

// Quick connect to 127.0.0.1:port through its window; true once the listing shows row `expected`.
inline bool QuickConnect(TGlavniObrazec& window, int port, const QString& expected)
{
    OnNextModal([port](QWidget* dialog) {
        dialog->findChild<QLineEdit*>("VnosNaslov1")->setText("127.0.0.1");
        dialog->findChild<QLineEdit*>("VnosVrata1")->setText(QString::number(port));
        dialog->findChild<QPushButton*>("Povezi1")->click();
    });
    window.Ukazi().FTPPovezi->trigger();
    return PumpUntil([&] { return RowOf(window.RemotePane(), expected) > 0; }, 10000);
}

// Enters the remote folder at its row as a double-click would; true once the listing shows it.
inline bool EnterRemote(TGlavniObrazec& window, const QString& folder)
{
    TRemotePane* pane = window.RemotePane();
    pane->setCurrentIndex(pane->model()->index(RowOf(pane, folder), 0));
    pane->OnActivate();
    return PumpUntil([&] { return window.windowTitle().endsWith("/" + folder + "]"); }, 10000);
}

} // namespace windowfixture
