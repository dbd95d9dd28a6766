// The main window's dialogs: quick connect, the site manager and its connect,
// options, about, the language question and the file-exists dialog. Each
// dialog gets values and hands results back; the window stores them.
#include "app/localpane.h"
#include "app/logview.h"
#include "app/mainwindow.h"
#include "app/prompts.h"
#include "app/remotepane.h"
#include "app/sessioncontroller.h"
#include "app/transfercontroller.h"
#include "dialogs/hitra1.h"
#include "dialogs/oknojezik.h"
#include "dialogs/oknomoznosti.h"
#include "dialogs/oprogramu.h"
#include "dialogs/prepisidialog1.h"
#include "dialogs/sistemobrazec.h"
#include "lang/multilang.h"
#include "sites/eventsounds.h"

#include <QStyle>

void TGlavniObrazec::CreateDialogs()
{
    m_prepisi = new TPrepisiDialog1(this);
    m_sistem = new TSistemObrazec(m_sites, this);
    m_sistem->SetHeaderIcon(style()->standardIcon(QStyle::SP_DirIcon));
}

quint8 TGlavniObrazec::AskLanguageWindow()
{
    TOknoJezik question(this);
    question.exec();
    return quint8(question.Chosen());
}

bool TGlavniObrazec::askConnectWhileConnected(const QString& question)
{
    if (!m_session->Connected()) {
        return true;
    }
    if (m_prompts->MessageBox(question, QStringLiteral("Kvado"), miQuestion, mbYesNo) != mrYes) {
        return false;
    }
    m_session->CloseConnection();
    return true;
}

void TGlavniObrazec::HitriGumb1Click()
{
    THitra1 form(m_settings, m_session->Connected(), this);
    if (form.exec() != QDialog::Accepted) {
        return;
    }
    if (form.DisconnectFirst()) {
        m_session->CloseConnection();
    }
    form.ApplyTo(m_settings);
    m_savedLogin.Remember();
    const QString host = m_settings.ZNaslov;
    m_session->Connect(m_settings, form.ServerKind(), form.Word(QStringLiteral("@idPov")) + host,
                       form.Word(QStringLiteral("@idPovezan")) + host);
}

void TGlavniObrazec::OfficeButton1Click()
{
    const TSiteChoice choice = m_sistem->Open(m_settings.Jezik, m_settings.PrivGeslo);
    if (!choice.connect || choice.site < 1 || choice.site > m_sites.SiteCount()) {
        return;
    }
    connectToSite(choice.site);
}

void TGlavniObrazec::connectToSite(int site)
{
    m_siteAwaitingPassword = 0;
    const TSiteRecord& record = m_sites.SiteTable(site);
    const bool normal = record.loginType == 1;
    if (normal && m_sites.PasswordState(site) == TSitePasswordState::spsReading) {
        m_siteAwaitingPassword = site; // the keyring's answer connects; the window stays live meanwhile
        return;
    }
    // The quick-connect question: a cancelled one changes nothing.
    if (!askConnectWhileConnected(m_sistem->ML4()->GetWord(QStringLiteral("@idPrekPov")))) {
        return;
    }
    if (normal && m_sites.PasswordState(site) == TSitePasswordState::spsUnknown) {
        // The keyring refused it or lost it: asked now, and kept for the next time.
        QString password;
        const QString prompt =
            ML1->GetWord(QStringLiteral("@idGeslo")).replace(QStringLiteral("%s"), record.Name());
        if (!m_prompts->PasswordBox(QStringLiteral("Kvado"), prompt, password)) {
            return;
        }
        m_sites.SetSitePassword(site, password);
    }
    TakeSiteAsSession(record, m_sites.SitePassword(site), m_settings);
    m_savedLogin.Remember();
    const QString name = QStringLiteral("\"") + record.Name() + QStringLiteral("\"");
    m_session->Connect(m_settings, record.serverKind, QStringLiteral("Povezujem s ") + name,
                       QStringLiteral("Povezava vzpostavljena s ") + name);
}

void TGlavniObrazec::openLogFile()
{
    m_log.OdpriDnevnik();
    if (m_log.DnevnikOdprt()) {
        return;
    }
    // Logging stays on, so the next start tries again; this run goes on without the file.
    const QString text =
        ML1->GetWord(QStringLiteral("@idDnevnikNapaka")).replace(QStringLiteral("%s"), m_log.LogFilePath());
    m_log.KvadoUkazi(1, text, QString());
    m_prompts->MessageBox(text, ML1->GetWord(QStringLiteral("@idOpo")), miError, mbOk);
}

void TGlavniObrazec::HelpAbout()
{
    TOProgramu about(m_settings.Ozadje, m_settings.Jezik, this);
    about.exec();
}

void TGlavniObrazec::Efekti(int event)
{
    TEventSounds::Shared().Efekti(event, m_settings.Zvok, m_settings.Zvoki);
}

TPrepisiIzbira TGlavniObrazec::PrepisiDialog()
{
    if (m_prepisi == nullptr || m_closing) {
        return piPrekini;
    }
    m_prepisi->SetLanguage(ML1->ActiveLanguage());
    switch (m_prepisi->exec()) {
    case piNadaljuj:
        return piNadaljuj;
    case piPreimenuj:
        return piPreimenuj;
    case piPrepisi:
        return piPrepisi;
    default:
        return piPrekini;
    }
}

void TGlavniObrazec::HidePrepisiDialog()
{
    if (m_prepisi != nullptr && m_prepisi->isVisible()) {
        m_prepisi->reject();
    }
}

void TGlavniObrazec::FTPMoznostiClick()
{
    TOknoMoznosti options(m_settings, m_paneFont, m_log.DnevnikOdprt(), m_log.LogFileName(), this);
    options.OnFontApply = [this](TOknoMoznosti*, const QFont& font) { setPaneFont(font); };
    options.SetNoKeyring(m_sites.KeyringState() == TKeyringState::tksNone);
    const bool accepted = options.exec() == QDialog::Accepted;
    if (accepted) {
        const TLogFileAction action = options.LogFileAction();
        if (action == TLogFileAction::lfaClose || action == TLogFileAction::lfaReopen) {
            m_log.CloseWithSwitchBanner();
        }
        m_settings = options.Settings();
        m_log.SetLogFileName(m_settings.Dnevnik);
        if (action == TLogFileAction::lfaReopen || action == TLogFileAction::lfaOpen) {
            openLogFile();
        }
        FTPInfo1->SetColours(m_settings.Barve);
        if (m_settings.Jezik == 1 || m_settings.Jezik == 2) {
            ML1->SetActiveLanguage(quint8(m_settings.Jezik - 1));
        }
        m_hintsShown = m_settings.PrikNam;
    }
    m_session->SetTimeOut(m_settings.TimeOut);
    m_transfers->SetTimeOut(m_settings.TimeOut);
    m_transfers->SetConnections(m_settings.Prenosi);
}
