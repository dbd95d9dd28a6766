#include "app/prompts.h"

#include <QInputDialog>
#include <QMessageBox>

TMsgResult TWidgetPrompts::MessageBox(const QString& text, const QString& title, TMsgIcon icon,
                                      TMsgButtons buttons)
{
    const QMessageBox::Icon qtIcon = icon == miQuestion      ? QMessageBox::Question
                                     : icon == miInformation ? QMessageBox::Information
                                     : icon == miError       ? QMessageBox::Critical
                                                             : QMessageBox::Warning;
    const QMessageBox::StandardButtons qtButtons = buttons == mbYesNo
                                                       ? QMessageBox::Yes | QMessageBox::No
                                                       : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(qtIcon, title, text, qtButtons, m_parent);
    if (buttons == mbYesNo) {
        box.setDefaultButton(QMessageBox::No);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return mrYes;
    case QMessageBox::No:
        return mrNo;
    default:
        return mrOk;
    }
}

bool TWidgetPrompts::InputBox(const QString& caption, const QString& prompt, QString& value)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(m_parent, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) {
        value = answer;
    }
    return ok;
}

bool TWidgetPrompts::PasswordBox(const QString& caption, const QString& prompt, QString& value)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(m_parent, caption, prompt, QLineEdit::Password, value, &ok);
    if (ok) {
        value = answer;
    }
    return ok;
}

void TWidgetPrompts::ErrorBox(const QString& text)
{
    QMessageBox::critical(m_parent, QStringLiteral("Kvado"), text);
}

TPotrdiloIzbira TWidgetPrompts::AskCertificate(const TCertificateInfo& info, const QByteArray& storedSha256,
                                               int language)
{
    TPotrdilo dialog(info, storedSha256, language, m_parent);
    return TPotrdiloIzbira(dialog.exec());
}
