// What the transfer queue asks of a session: list a folder, make a folder,
// fetch and send a file, each by absolute path and ending with one
// OnOperationDone; and the events it follows the session by (ready, closed,
// a transfer's start, progress and end).
#include "ftp/ftpseja.h"

#include "ftp/listingparser.h"

#include <QRegularExpression>

#include <utility>

namespace {
// The folder a 257 reply names: the text between its first quote and the
// quote that ends it (a doubled quote inside stands for one); empty when none.
QString Mapa257(const QString& vrstica)
{
    const qsizetype zacetek = vrstica.indexOf(QLatin1Char('"'));
    if (zacetek < 0)
        return {};
    QString mapa;
    for (qsizetype i = zacetek + 1; i < vrstica.size(); ++i) {
        if (vrstica.at(i) != QLatin1Char('"')) {
            mapa += vrstica.at(i);
        } else if (i + 1 < vrstica.size() && vrstica.at(i + 1) == QLatin1Char('"')) {
            mapa += QLatin1Char('"');
            ++i;
        } else {
            return mapa;
        }
    }
    return {};
}

TOperationResult Neuspelo(const QString& razlog)
{
    TOperationResult izid;
    izid.reason = razlog;
    return izid;
}
} // namespace

bool TFtpSeja::PrevecPovezav(const QString& vrstica)
{
    static const QRegularExpression prevec(
        QStringLiteral("too many\\b.*\\b(users?|connections?|clients?)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return prevec.match(vrstica).hasMatch();
}

bool TFtpSeja::Busy() const
{
    return m_prenosTece || m_oddajaTece || m_prenos.vrsta != fzNic || m_prenos.cakaKonec || ZaVrsto() ||
           m_uskladitev || m_ukaziTecejo > 0 || m_vecBrisanje || !m_poPrenosu.empty() ||
           m_odgovori.CakaTekoci();
}

void TFtpSeja::JaviPripravljen()
{
    if (OnReady && Ready())
        OnReady();
}

bool TFtpSeja::ZacniOpravilo(TOpravilo::TVrsta vrsta, const QString& pot)
{
    TOperationResult zavrnjeno;
    if (!Odjemalec1.Connected())
        zavrnjeno.reason = Beseda("@idNiPovezave");
    else if (!Ready() || !pot.startsWith(QLatin1Char('/')))
        zavrnjeno.reason = Neuspeh(pot);
    else if (!VeljavenUkaz(QStringLiteral("CWD ") + pot))
        zavrnjeno.reason = Beseda("@idNeveljavnoIme");
    if (!zavrnjeno.reason.isEmpty()) {
        if (OnOperationDone)
            OnOperationDone(zavrnjeno);
        return false;
    }
    m_opravilo = {};
    m_opravilo.vrsta = vrsta;
    m_opravilo.pot = pot;
    return true;
}

void TFtpSeja::ListFolder(const QString& remoteFolder)
{
    if (ZacniOpravilo(TOpravilo::voSeznam, remoteFolder))
        KorakOpravila(m_mlsd ? kkSeznam : m_ozadje ? kkCwd : kkPwd);
}

void TFtpSeja::MakeFolder(const QString& remoteFolder)
{
    if (ZacniOpravilo(TOpravilo::voMapa, remoteFolder))
        KorakOpravila(kkMkd);
}

void TFtpSeja::FetchFile(const QString& remotePath, const QString& localPath, qint64 offset, qint64 size)
{
    if (!ZacniOpravilo(TOpravilo::voPrejem, remotePath))
        return;
    m_opravilo.korak = kkPrenos;
    m_faza = offset > 0 ? fzNadaljujPrejem : fzPrejem;
    m_prenosTece = true;
    m_imeDatoteke = remotePath; // the RETR that follows REST's 350 names it
    m_oddaljenoIme = remotePath;
    m_prenos.zamikPrejema = offset;
    if (!PripraviPrenos(m_faza, localPath))
        return JaviKonec(false, false, m_zadnjeStanje);
    m_prenos.pricakovanaVelikost = size;
    m_prenos.velikostBesedilo = GroupThousands(QString::number(size));
    const QString zamik = QString::number(offset);
    if (offset > 0)
        ZacniUkazPrenosa(QStringLiteral("REST"), zamik, QStringLiteral("REST ") + zamik, ozREST);
    else
        ZacniUkazPrenosa(QStringLiteral("RETR"), remotePath, QStringLiteral("RETR ") + remotePath, ozPrenos);
}

void TFtpSeja::SendFile(const QString& localPath, const QString& remotePath, qint64 offset)
{
    if (!ZacniOpravilo(TOpravilo::voOddaja, remotePath))
        return;
    m_opravilo.korak = kkPrenos;
    m_faza = offset > 0 ? fzNadaljujOddajo : fzOddaja;
    m_prenosTece = true;
    m_oddajaTece = true;
    m_prenos.poslano = 0;
    m_izvornoIme = remotePath; // the STOR that follows REST's 350 names it
    m_oddaljenoIme = remotePath;
    m_prenos.zamikOddaje = offset;
    struct stat podatki {};
    m_prenos.pricakovanaVelikost = LokalniPodatki(localPath, podatki) ? qint64(podatki.st_size) : 0;
    m_prenos.velikostBesedilo = GroupThousands(QString::number(m_prenos.pricakovanaVelikost));
    if (!PripraviPrenos(m_faza, localPath))
        return JaviKonec(false, false, m_zadnjeStanje);
    const QString zamik = QString::number(offset);
    if (offset > 0)
        ZacniUkazPrenosa(QStringLiteral("REST"), zamik, QStringLiteral("REST ") + zamik, ozREST);
    else
        ZacniUkazPrenosa(QStringLiteral("STOR"), remotePath, QStringLiteral("STOR ") + remotePath, ozPrenos);
}

void TFtpSeja::StopOperation()
{
    if (!ZaVrsto())
        return;
    m_opravilo.ustavljeno = true;
    switch (m_opravilo.korak) {
    case kkPrenos:
    case kkSeznam:
        return STOPFTPClick(); // the transfer ends as stopped, and the operation with it
    case kkPwd:
    case kkMkd:
        // Nothing has moved yet: the reply owed answers nothing now.
        m_odgovori.NovPrenos();
        return KoncajOpravilo(Neuspelo(Beseda("@idPrek")));
    case kkCwd:
    case kkNazaj:
        return; // the browsing session's folder is put back first (its reply ends the operation)
    }
}

void TFtpSeja::KorakOpravila(TKorak korak)
{
    m_opravilo.korak = korak;
    const QString& pot = m_opravilo.pot;
    bool poslano = false;
    switch (korak) {
    case kkPwd:
        poslano = Ukaz(QStringLiteral("PWD"), {}, QStringLiteral("PWD"), ozVrsta);
        break;
    case kkCwd:
        poslano = Ukaz(QStringLiteral("CWD"), pot, QStringLiteral("CWD ") + pot, ozVrsta);
        break;
    case kkNazaj:
        poslano =
            Ukaz(QStringLiteral("CWD"), m_opravilo.nazaj, QStringLiteral("CWD ") + m_opravilo.nazaj, ozVrsta);
        break;
    case kkMkd:
        poslano = Ukaz(QStringLiteral("MKD"), pot, QStringLiteral("MKD ") + pot, ozVrsta);
        break;
    case kkSeznam:
        m_faza = fzLIST;
        if (!PripraviPrenos())
            return JaviKonec(false, false, m_zadnjeStanje);
        m_seznam.SetStrojni(m_mlsd);
        if (m_mlsd)
            ZacniUkazPrenosa(QStringLiteral("MLSD"), pot, QStringLiteral("MLSD ") + pot, ozPrenos);
        else
            ZacniUkazPrenosa(QStringLiteral("LIST"), {}, QStringLiteral("LIST"), ozPrenos);
        return;
    case kkPrenos:
        return;
    }
    if (!poslano) {
        m_opravilo.vrni = false;
        KoncajOpravilo(Neuspelo(m_zadnjeStanje));
    }
}

void TFtpSeja::OdgovorVrsta(int koda, const QString& vrstica)
{
    if (!ZaVrsto())
        return;
    const bool uspeh = koda / 100 == 2;
    switch (m_opravilo.korak) {
    case kkPwd:
        m_opravilo.nazaj = koda == 257 ? Mapa257(vrstica) : QString();
        // Without the folder to return to, the browsing session does not leave it.
        if (m_opravilo.nazaj.isEmpty())
            return KoncajOpravilo(
                Neuspelo(m_opravilo.izid.reason.isEmpty() ? vrstica : m_opravilo.izid.reason));
        return KorakOpravila(kkCwd);
    case kkCwd:
        if (!uspeh) // still where it was
            return KoncajOpravilo(
                Neuspelo(m_opravilo.izid.reason.isEmpty() ? vrstica : m_opravilo.izid.reason));
        m_opravilo.vrni = !m_opravilo.nazaj.isEmpty();
        if (m_opravilo.ustavljeno) {
            TOperationResult ustavljeno = Neuspelo(Beseda("@idPrek"));
            ustavljeno.stopped = true;
            return KoncajOpravilo(ustavljeno);
        }
        if (m_opravilo.vrsta == TOpravilo::voSeznam)
            return KorakOpravila(kkSeznam);
        {
            TOperationResult obstaja; // MKD was refused, but the folder is there
            obstaja.ok = obstaja.exists = true;
            return KoncajOpravilo(obstaja);
        }
    case kkMkd:
        if (uspeh) {
            TOperationResult narejeno;
            narejeno.ok = true;
            return KoncajOpravilo(narejeno);
        }
        // Refused: perhaps because it exists. A CWD into it tells.
        m_opravilo.izid.reason = vrstica;
        return KorakOpravila(m_ozadje ? kkCwd : kkPwd);
    case kkNazaj:
        if (!uspeh)
            Stanje(Neuspeh(vrstica));
        return KoncajOpravilo(m_opravilo.izid);
    case kkSeznam:
    case kkPrenos:
        return;
    }
}

void TFtpSeja::SeznamKoncan(bool uspeh, const QString& razlog)
{
    TOperationResult izid;
    izid.ok = uspeh;
    izid.reason = razlog;
    if (uspeh) {
        TRemoteListing tabela;
        const bool prirezan = m_seznam.Prirezan();
        m_seznam.RazcleniV(m_parametri.serverKind, Dekoder(), tabela);
        SporociNeprebrane();
        // A walk must not take a cut listing for the whole folder.
        if (prirezan || tabela.Cut()) {
            izid.ok = false;
            izid.reason = Beseda(prirezan ? "@idSeznamPrevelik" : "@idPreveVnosov") +
                          (prirezan ? QString() : QString::number(tabela.Count() - 1));
            Stanje(izid.reason);
        } else {
            izid.entries.reserve(std::size_t(tabela.Count()));
            for (int i = 1; i < tabela.Count(); ++i) {
                TRemoteEntry vnos = tabela.At(i);
                if (vnos.kind != ekParent && vnos.name != QLatin1String(".") &&
                    vnos.name != QLatin1String(".."))
                    izid.entries.push_back(std::move(vnos));
            }
        }
    }
    KoncajOpravilo(std::move(izid));
}

void TFtpSeja::KoncajOpravilo(TOperationResult izid)
{
    if (!ZaVrsto())
        return;
    if (!izid.ok && izid.reason.isEmpty())
        izid.reason = Neuspeh(m_opravilo.pot);
    if (m_opravilo.ustavljeno && !izid.ok) {
        izid.stopped = true;
        if (izid.reason.isEmpty())
            izid.reason = Beseda("@idPrek");
    }
    // The browsing session goes back to the user's folder before it is done.
    if (m_opravilo.vrni && m_opravilo.korak != kkNazaj && Odjemalec1.Connected()) {
        m_opravilo.vrni = false;
        m_opravilo.izid = std::move(izid);
        return KorakOpravila(kkNazaj);
    }
    m_opravilo = {};
    if (OnOperationDone)
        OnOperationDone(izid);
    JaviPripravljen();
}

void TFtpSeja::JaviZacetek()
{
    if (m_napovedan || !(JePrejem() || JeOddaja()))
        return;
    m_napovedan = true;
    if (!OnTransferStarted)
        return;
    TFileTransfer prenos;
    prenos.upload = JeOddaja();
    prenos.localPath = m_prenos.lokalnaPot;
    prenos.remote = m_oddaljenoIme;
    prenos.size = m_prenos.pricakovanaVelikost;
    prenos.offset = prenos.upload ? m_prenos.zamikOddaje : m_prenos.zamikPrejema;
    OnTransferStarted(prenos);
}

void TFtpSeja::JaviKonec(bool uspeh, bool ustavljeno, const QString& razlog)
{
    if (std::exchange(m_napovedan, false) && OnTransferEnded)
        OnTransferEnded(uspeh, ustavljeno, razlog);
    if (!ZaVrsto())
        return;
    if (ustavljeno)
        m_opravilo.ustavljeno = true;
    if (m_opravilo.korak == kkSeznam)
        return SeznamKoncan(uspeh, razlog);
    if (m_opravilo.korak != kkPrenos)
        return;
    TOperationResult izid = Neuspelo(razlog);
    izid.ok = uspeh;
    KoncajOpravilo(std::move(izid));
}

void TFtpSeja::Zaprto(const QString& razlog, bool prevec)
{
    m_uskladitev = false; // nothing is owed on a closed connection
    m_rokUskladitve.stop();
    m_zadrzano.clear();
    // No transfer outlives its connection, whichever of their events came first.
    if (m_prenosTece || m_oddajaTece || m_prenos.vrsta != fzNic || m_prenos.cakaKonec)
        PocistiPrenos();
    if (ZaVrsto()) {
        m_opravilo.vrni = false;
        KoncajOpravilo(Neuspelo(razlog));
    }
    m_prijavljen = false;
    if (!std::exchange(m_javiZaprto, false))
        return;
    if (OnClosed)
        OnClosed(razlog, prevec);
}
