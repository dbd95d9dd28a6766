#include "app/prompts.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>

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

namespace {

// A one-line question wide enough for its title (the window manager's buttons beside it) and for a
// path of a usual length, never wider than the screen.
bool AskLine(QWidget* parent, const QString& caption, const QString& prompt, QLineEdit::EchoMode echo,
             QString& value)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextEchoMode(echo);
    dialog.setTextValue(value);
    const QFontMetrics metrics = dialog.fontMetrics();
    int width =
        qMax(metrics.horizontalAdvance(caption) + 160, metrics.horizontalAdvance(QLatin1Char('x')) * 60);
    width = qMax(width, metrics.horizontalAdvance(value) + 60);
    if (const QScreen* screen = dialog.screen()) {
        width = qMin(width, screen->availableGeometry().width() * 9 / 10);
    }
    dialog.resize(qMax(width, dialog.sizeHint().width()), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    value = dialog.textValue();
    return true;
}

} // namespace

bool TWidgetPrompts::InputBox(const QString& caption, const QString& prompt, QString& value)
{
    return AskLine(m_parent, caption, prompt, QLineEdit::Normal, value);
}

bool TWidgetPrompts::PasswordBox(const QString& caption, const QString& prompt, QString& value)
{
    return AskLine(m_parent, caption, prompt, QLineEdit::Password, value);
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
