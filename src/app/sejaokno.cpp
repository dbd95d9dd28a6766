#include "app/sejaokno.h"

#include "app/actions.h"
#include "app/localpane.h"
#include "app/prompts.h"
#include "app/remotepane.h"
#include "app/transfermeter.h"
#include "core/exception.h"
#include "ftp/sessionlog.h"
#include "lang/multilang.h"
#include "widgets/gifimage.h"
#include "widgets/officebutton.h"
#include "widgets/progressbar3d.h"

#include <QLabel>

QString TSejaOkno::GetWord(const QString& key)
{
    return m.words->GetWord(key);
}

int TSejaOkno::ActiveLanguage()
{
    return m.words->ActiveLanguage();
}

void TSejaOkno::KvadoUkazi(TLogKind kind, const QString& text, const QString& argument)
{
    m.log->KvadoUkazi(quint8(kind), text, argument);
}

void TSejaOkno::LogReply(const QString& line)
{
    m.log->Reply(line);
}

void TSejaOkno::LogViewOnly(const QString& line)
{
    m.log->ViewOnly(line);
}

void TSejaOkno::SetStatusPanel(int panel, const QString& text)
{
    if (panel >= 0 && panel < 3) {
        m.panels[panel]->setText(text);
    }
}

QObject* TSejaOkno::itemObject(TSejaItem item) const
{
    TGlavniUkazi& a = *m.actions;
    switch (item) {
    case siHitriGumb2:
        return a.HitriGumb2;
    case siSTOPFTP:
        return a.STOPFTP;
    case siGumbTipPrenosa:
        return a.GumbTipPrenosa;
    case siPla1Prenesi:
        return a.Pla1Prenesi;
    case siPla1OsveziFTP:
        return a.Pla1OsveziFTP;
    case siPla1UsMapo:
        return a.Pla1UsMapo;
    case siPla1Izbrisi:
        return a.Pla1Izbrisi;
    case siPla1Skoci:
        return a.Pla1Skoci;
    case siPla1IzberiVse:
        return a.Pla1IzberiVse;
    case siPla2Prenesi:
        return a.Pla2Prenesi;
    }
    return nullptr;
}

void TSejaOkno::SetItemEnabled(TSejaItem item, bool enabled)
{
    QObject* object = itemObject(item);
    if (auto* action = qobject_cast<QAction*>(object)) {
        action->setEnabled(enabled);
    } else if (auto* widget = qobject_cast<QWidget*>(object)) {
        widget->setEnabled(enabled);
        if (item == siSTOPFTP) {
            m.actions->UkazFTPStop->setEnabled(enabled);
        }
    }
}

bool TSejaOkno::ItemEnabled(TSejaItem item)
{
    QObject* object = itemObject(item);
    if (auto* action = qobject_cast<QAction*>(object)) {
        return action->isEnabled();
    }
    auto* widget = qobject_cast<QWidget*>(object);
    return widget != nullptr && widget->isEnabled();
}

void TSejaOkno::SetCaption(const QString& caption)
{
    m_caption = caption;
    m.window->setWindowTitle(shownCaption());
}

void TSejaOkno::RestoreCaption()
{
    if (!m_caption.isNull())
        m.window->setWindowTitle(shownCaption());
}

QString TSejaOkno::shownCaption() const
{
    if (!m_encrypted)
        return m_caption;
    return m_caption + m.words->GetWord(QStringLiteral("@idSifriranoNaslov")).arg(m_protocol);
}

void TSejaOkno::ShowTransferType(int choice)
{
    m.actions->SetTransferTypeShown(choice);
}

void TSejaOkno::ClearRemoteRows()
{
    m.remote->Clear();
}

void TSejaOkno::ShowRemoteRows(const TRemoteListing& table)
{
    m.remote->Show(table);
    if (m.listed)
        m.listed();
}

int TSejaOkno::RemoteFocusedRow()
{
    return m.remote->FocusedRow();
}

std::vector<int> TSejaOkno::RemoteSelectedRows()
{
    return m.remote->SelectedRows();
}

void TSejaOkno::SetRemoteRowSelected(int row, bool selected)
{
    m.remote->SetRowSelected(row, selected);
}

QString TSejaOkno::RemoteRowCaption(int row)
{
    return m.remote->RowCaption(row);
}

int TSejaOkno::RemoteRowCount()
{
    return m.remote->RowCount();
}

void TSejaOkno::SetRemoteBusyCursor(bool busy)
{
    m.remote->SetBusyCursor(busy);
}

QString TSejaOkno::LocalDirectory()
{
    return m.local->Directory();
}

bool TSejaOkno::LocalHasFocusedEntry()
{
    return m.local->HasFocusedEntry();
}

std::vector<TLokalniVnos> TSejaOkno::LocalSelectedEntries()
{
    return m.local->SelectedEntries();
}

void TSejaOkno::DeselectLocalEntry(const QString& caption)
{
    m.local->Deselect(caption);
}

void TSejaOkno::RefreshLocal()
{
    m.local->Refresh();
}

void TSejaOkno::SetProgress(int percent)
{
    m.gauge->SetProgress(percent);
}

void TSejaOkno::ShowProgressText(bool show)
{
    m.gauge->SetShowText(show);
    if (!show) {
        m.meter->Stop();
    }
}

void TSejaOkno::ShowTransferred(qint64 bytes, qint64 total)
{
    m.meter->Progress(bytes, total);
}

void TSejaOkno::AnimateLogo(bool run)
{
    m.actions->KvadoLogo->SetAnimate(run);
}

void TSejaOkno::Efekti(int event)
{
    if (m.efekti) {
        m.efekti(event);
    }
}

TMsgResult TSejaOkno::MessageBox(const QString& text, const QString& title, TMsgIcon icon,
                                 TMsgButtons buttons)
{
    return m.prompts->MessageBox(text, title, icon, buttons);
}

bool TSejaOkno::InputBox(const QString& caption, const QString& prompt, QString& value)
{
    return m.prompts->InputBox(caption, prompt, value);
}

TPrepisiIzbira TSejaOkno::PrepisiDialog()
{
    return m.prepisi ? m.prepisi() : piPrekini;
}

bool TSejaOkno::AcceptCertificate(const TCertificateInfo& info)
{
    const std::optional<QByteArray> stored = m_trust.Lookup(info.host, info.port);
    if (stored && *stored == info.sha256)
        return true;
    const TPotrdiloIzbira choice =
        m.prompts->AskCertificate(info, stored.value_or(QByteArray()), m.words->ActiveLanguage());
    if (choice == pzVedno) {
        try {
            m_trust.Trust(info.host, info.port, info.sha256);
        } catch (const Exception& error) {
            m.prompts->ErrorBox(error.Message());
        }
    }
    return choice == pzEnkrat || choice == pzVedno;
}

void TSejaOkno::ShowEncryption(const TCertificateInfo* info)
{
    if (m_caption.isNull())
        m_caption = m.window->windowTitle();
    m_encrypted = info != nullptr;
    m_protocol = info ? (info->protocol.isEmpty() ? QStringLiteral("TLS") : info->protocol) : QString();
    m.window->setWindowTitle(shownCaption());
    if (info) {
        QString line = m.words->GetWord(QStringLiteral("@idSifrirano")) + m_protocol;
        if (!info->cipher.isEmpty())
            line += QStringLiteral(", ") + info->cipher;
        m.log->KvadoUkazi(quint8(lkStatus), line, {});
    }
}
