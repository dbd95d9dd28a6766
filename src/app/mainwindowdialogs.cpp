// The main window's dialogs: quick connect, the site manager and its connect,
// options, about, the language question and the file-exists dialog. Each
// dialog gets values and hands results back; the window stores them.
#include "app/localpane.h"
#include "app/logview.h"
#include "app/mainwindow.h"
#include "app/prompts.h"
#include "app/remotepane.h"
#include "app/sessioncontroller.h"
#include "dialogs/hitra1.h"
#include "dialogs/oknojezik.h"
#include "dialogs/oknomoznosti.h"
#include "dialogs/oprogramu.h"
#include "dialogs/prepisidialog1.h"
#include "dialogs/sistemobrazec.h"
#include "lang/multilang.h"
#include "lang/wordtable.h"
#include "sites/eventsounds.h"

namespace {

// Makes a stored site the session parameters, by the rules of quick connect:
// the name and password of a normal login are kept when an anonymous site is
// chosen, and "anonymous" or the default anonymous password never replace them.
void ApplySiteTo(const TSiteRecord& site, TSettings& settings)
{
    settings.ZNaslov = site.Host();
    if (site.loginType == 1) {
        if (site.User().compare(QStringLiteral("anonymous"), Qt::CaseInsensitive) != 0) {
            settings.ZUporIme = site.User();
        }
        if (site.Password().compare(settings.PrivGeslo, Qt::CaseInsensitive) != 0) {
            settings.ZUporGeslo = site.Password();
        }
    }
    settings.ZVrata = QString::number(site.Port());
    settings.Pisanje = site.SendBuffer();
    settings.Branje = site.ReceiveBuffer();
    settings.FTPMapa = site.RemoteDir();
    settings.LokMapa = site.LocalDir();
    settings.TipPre = site.transferType <= 3 ? site.transferType : 0;
    settings.TipPri = site.loginType <= 1 ? site.loginType : 0;
}

// A message of another window's word table, in the language of the setting Jezik.
QString WordOf(const QString& table, const QString& key, quint8 jezik)
{
    const QStringList words = LoadWordTable(table);
    const int language = jezik == 2 ? 1 : 0;
    for (int group = 0; group + 2 < words.size(); group += 3) {
        if (words.at(group) == key) {
            return words.at(group + 1 + language);
        }
    }
    return {};
}

} // namespace

void TGlavniObrazec::CreateDialogs()
{
    m_prepisi = new TPrepisiDialog1(this);
    m_prepisi->setObjectName(QStringLiteral("PrepisiDialog1"));
    m_sistem = new TSistemObrazec(m_sites, this);
    m_sistem->setObjectName(QStringLiteral("SistemObrazec"));
}

void TGlavniObrazec::SitesLoaded()
{
    // The site manager fills its list from the table each time it opens.
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
    const QString host = m_settings.ZNaslov;
    m_session->Connect(m_settings, form.Word(QStringLiteral("@idPov")) + host,
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
    // The quick-connect question: a cancelled one changes nothing.
    if (!askConnectWhileConnected(
            WordOf(QStringLiteral("ML2"), QStringLiteral("@idPrekPov"), m_settings.Jezik))) {
        return;
    }
    const TSiteRecord& record = m_sites.SiteTable(site);
    ApplySiteTo(record, m_settings);
    const QString name = QStringLiteral("\"") + record.Name() + QStringLiteral("\"");
    m_session->Connect(m_settings, QStringLiteral("Povezujem s ") + name,
                       QStringLiteral("Povezava vzpostavljena s ") + name);
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
    const bool accepted = options.exec() == QDialog::Accepted;
    if (accepted) {
        const TLogFileAction action = options.LogFileAction();
        if (action == TLogFileAction::lfaClose || action == TLogFileAction::lfaReopen) {
            m_log.CloseWithSwitchBanner();
        }
        m_settings = options.Settings();
        m_log.SetLogFileName(m_settings.Dnevnik);
        if (action == TLogFileAction::lfaReopen || action == TLogFileAction::lfaOpen) {
            m_log.OdpriDnevnik();
        }
        FTPInfo1->SetColours(m_settings.Barve);
        if (m_settings.Jezik == 1 || m_settings.Jezik == 2) {
            ML1->SetActiveLanguage(quint8(m_settings.Jezik - 1));
        }
        m_hintsShown = m_settings.PrikNam;
    }
    m_session->SetTimeOut(m_settings.TimeOut);
}
