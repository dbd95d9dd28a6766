// TGlavniObrazec: opening ftp:// and ftps:// links.
#include "app/ftpurl.h"
#include "app/localpane.h"
#include "app/mainwindow.h"
#include "app/prompts.h"
#include "app/remotepane.h"
#include "app/sessioncontroller.h"
#include "app/transfercontroller.h"
#include "lang/multilang.h"

#include <QUrl>

void TGlavniObrazec::OpenFtpUrl(const QString& link)
{
    const QString warning = QStringLiteral("Kvado opozorilo!");
    TFtpUrlFault fault = fuNone;
    const TFtpUrl url = TFtpUrl::Parse(link, &fault);
    if (fault != fuNone) {
        static const char* const reasons[] = {"", "@idUrlShema", "@idUrlStreznik", "@idUrlVrata",
                                              "@idUrlZnaki"};
        // The raw text may hold a password: only its scheme and host part are shown.
        const QString shown = QUrl(link.trimmed()).toDisplayString(QUrl::RemovePassword | QUrl::RemovePath);
        m_prompts->MessageBox(
            ML1->GetWord(QStringLiteral("@idUrlNapaka")).arg(shown, ML1->GetWord(reasons[fault])), warning,
            miExclamation, mbOk);
        return;
    }
    if (!askConnectWhileConnected(ML1->GetWord(QStringLiteral("@idUrlPrekini")))) {
        return;
    }
    // The link's values serve this connection only: the stored session (and its password) stay as they are.
    TSettings session = m_settings;
    session.ZNaslov = url.Host;
    session.ZVrata = QString::number(url.Port);
    session.FTPMapa = url.Folder;
    if (url.Secure) {
        session.Sifriranje = 3;
    }
    const bool anonymous =
        !url.HasPassword &&
        (url.User.isEmpty() || url.User == QLatin1String("anonymous") || url.User == QLatin1String("ftp"));
    session.TipPri = anonymous ? 0 : 1;
    session.ZUporIme = url.User;
    session.ZUporGeslo = url.Password;
    if (!anonymous && !url.HasPassword) {
        QString password;
        if (!m_prompts->PasswordBox(QStringLiteral("Kvado"),
                                    ML1->GetWord(QStringLiteral("@idUrlGeslo")).arg(url.User, url.Host),
                                    password)) {
            return;
        }
        session.ZUporGeslo = password;
    }
    m_urlName = url.Name;
    m_session->Connect(session, 0, ML1->GetWord(QStringLiteral("@idUrlPov")) + url.Shown,
                       ML1->GetWord(QStringLiteral("@idUrlPovezan")) + url.Shown);
}

void TGlavniObrazec::followUrlName()
{
    const QString name = m_urlName;
    m_urlName.clear();
    TFtpSeja& seja = m_session->Seja();
    const TRemoteListing& listing = seja.Seznam();
    for (int entry = 1; entry < listing.Count(); ++entry) {
        const TRemoteEntry found = listing.At(entry);
        if (found.name != name) {
            continue;
        }
        if (found.kind != ekFile) {
            FTPDat1->FocusEntry(entry);
            seja.FTPDat1DblClick();
            return;
        }
        const QString question =
            ML1->GetWord(QStringLiteral("@idUrlPrenesi")).arg(name, m_local->Directory());
        if (m_prompts->MessageBox(question, QStringLiteral("Kvado"), miQuestion, mbYesNo) == mrYes) {
            m_transfers->Download({found}, seja.TrenutnaMapa(), m_local->Directory());
        }
        return;
    }
    m_prompts->MessageBox(ML1->GetWord(QStringLiteral("@idUrlNiNaStrezniku")).arg(name),
                          QStringLiteral("Kvado opozorilo!"), miExclamation, mbOk);
}
