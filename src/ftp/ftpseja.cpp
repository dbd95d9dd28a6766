// The control connection, the reply reader and the session state machine.
#include "ftp/ftpseja.h"

#include "core/codepage.h"
#include "core/eventwait.h"
#include "ftp/listingparser.h"
#include "net/linesocketbase.h"
#include "net/sockerror.h"
#include "net/winsockapi.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QRegularExpression>

#include <algorithm>

namespace {
bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

TFtpSeja::TFtpSeja(TSejaView* view, QObject* parent)
    : QObject(parent), Odjemalec1(this), m_view(view), Podatkovna(this)
{
    Odjemalec1.setObjectName(QStringLiteral("Odjemalec1"));
    Odjemalec1.SetTimeOut(5);
    // A prepared transfer is checked for a stall outside every handler.
    m_nadzor.setInterval(200);
    connect(&m_nadzor, &QTimer::timeout, this, [this] { Nadzor(); });
    Odjemalec1.OnConnect = [this](TSockCtrl* s, TSocketBase* k) { Odjemalec1Connect(s, k); };
    Odjemalec1.OnInfo = [this](TSockCtrl* s, TSockInfo c, TSocketBase* k) { Odjemalec1Info(s, c, k); };
    Odjemalec1.OnTimeOut = [this](TSockCtrl* s, TSocketBase* k) { Odjemalec1TimeOut(s, k); };
    Odjemalec1.OnDisconnect = [this](TSockCtrl* s, TSocketBase* k) { Odjemalec1Disconnect(s, k); };

    // Both modes' data connections run through the same handlers.
    Podatkovna.OnPripravljena = [this](TSockCtrl* s, TSocketBase* k) { Streznik1Accept(s, k); };
    Podatkovna.OnTlsNeuspeh = [this](TSockCtrl*, TSocketBase*, const QString& razlog) {
        PodatkovnaBrezTls(razlog);
    };
    Podatkovna.OnNeuspeh = [this](TSockCtrl*, TSocketBase* k) { PasivnaNeuspela(k); };
    Podatkovna.OnTujePotrdilo = [this](const QString& kontrolno, const QString& podatkovno) {
        if (m_prenos.vrsta == fzNic)
            return ZapriStreznik();
        KoncajPrenos(false, Beseda("@idTujePotrdilo").arg(kontrolno, podatkovno));
    };
    Podatkovna.OnTimeOut = [this](TSockCtrl*, TSocketBase*) {
        if (m_prenos.vrsta != fzNic && !m_prenos.sprejeto)
            CasPotekel();
    };
    Podatkovna.OnRead = [this](TSockCtrl* s, TSocketBase* k) { Streznik1Read(s, k); };
    Podatkovna.OnWrite = [this](TSockCtrl* s, TSocketBase* k) { Streznik1Write(s, k); };
    Podatkovna.OnDisconnect = [this](TSockCtrl* s, TSocketBase* k) { Streznik1Disconnect(s, k); };

    // A server silent during the control connection's TLS handshake.
    m_tlsRok.setSingleShot(true);
    connect(&m_tlsRok, &QTimer::timeout, this, [this] {
        if (m_tlsFaza == tfRokovanje)
            KoncajNesifrirano(Beseda("@idTlsCas"));
    });

    // A server that answers not even the ABOR of a command given up.
    m_rokUskladitve.setSingleShot(true);
    connect(&m_rokUskladitve, &QTimer::timeout, this, [this] { ZapriKontrolno(Beseda("@idNeusklajen")); });

    m_vrata.Nova();
    gsSamodejnoClick();
    Omogoci({siPla2Prenesi, siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, false);
}

TFtpSeja::~TFtpSeja()
{
    *m_alive = false;
    Odjemalec1.OnInfo = nullptr;
    Podatkovna.Streznik1.OnInfo = nullptr;
}

void TFtpSeja::Povezi()
{
    if (Odjemalec1.Connected())
        Odjemalec1.Close();
    // A new session starts clean: no transfer (a running one has failed), no
    // waiting action, no owed replies and no half-read line of the previous server.
    PrekiniPrenos();
    Zaprto(Beseda("@idKonec") + m_parametri.host);
    m_javiZaprto = true;
    m_odgovori.Pocisti();
    m_poPrenosu.clear();
    m_dolgaVrstica = false;
    m_cwdKorenZavrnjen = false;
    m_pozdrav = false;
    m_gesloPoslano = false;
    m_odgovori.Odgovorjeno();
    m_utisano = false;
    m_pasivno = m_parametri.dataConnection == 1;
    m_padecPasivno = false;
    m_brezPasivnega = false;
    m_bezEpsv = false;
    m_utf8 = m_parametri.nameEncoding == 1;
    m_featUtf8 = false;
    m_mlsd = false;
    ++m_povezava;
    KonecSifriranja();
    Odjemalec1.SetAddress(m_parametri.host);
    Odjemalec1.SetPort(m_parametri.port);
    Omogoci({siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, true);
    TLineSocketBase* vrstice = Odjemalec1.OpenLines();
    vrstice->OnLine = [this](TLineSocketBase* s, const QByteArray& line, bool complete) {
        BeriMedpom(s, line, complete);
    };
    // Replies may end in LF alone: lines are split at LF (a CR before it is
    // dropped in BeriMedpom); commands still go out with CR LF (Poslji).
    vrstice->SetTerminatorKind(1);
    vrstice->SetLineFlags(vrstice->LineFlags() & ~lfWriteTerminator);
    // A reply line longer than the read buffer is shown in pieces and never acted upon.
    vrstice->OnReadBufferFull = [this](TBufferedSocketBase* s) {
        QByteArray kos(s->ReadBufferSize(), '\0');
        kos.resize(qMax(0, s->ReadBuf(kos.data(), int(kos.size()))));
        m_dolgaVrstica = true;
        Preberi(Dekoder()(kos));
    };
    // The sizes come from the settings or a site record: a corrupt one must not
    // make the connection allocate gigabytes.
    constexpr int smallest = 512, largest = 1024 * 1024;
    vrstice->SetReadBufferSize(std::clamp(m_parametri.readBufferSize, smallest, largest));
    vrstice->SetWriteBufferSize(std::clamp(m_parametri.writeBufferSize, smallest, largest));
}

void TFtpSeja::Odjemalec1Connect(TSockCtrl*, TSocketBase* socket)
{
    if (socket->Connected()) {
        Povezan(socket);
        return;
    }
    const QString razlog =
        m_view->GetWord(QStringLiteral("@idNapaka")) + SocketErrorText(socket->LastError());
    if (socket->LastError() == 10061) {
        m_view->MessageBox(razlog, m_view->GetWord(QStringLiteral("@idOpo")), miExclamation, mbOk);
        Omogoci({siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, false);
    }
    Zaprto(razlog);
}

void TFtpSeja::Povezan(TSocketBase* socket)
{
    Podatkovna.SetKontrola(socket->LocalAddress(), socket->PeerAddress());
    m_view->ClearRemoteRows();
    switch (m_parametri.transferType) {
    case tpSlika:
        gsSlikaClick();
        break;
    case tpBinarno:
        gsBinarnoClick();
        break;
    case tpTekst:
        gsTekstClick();
        break;
    default:
        gsSamodejnoClick();
        break;
    }
    Omogoci({siPla2Prenesi}, true);
    if (m_parametri.encryption == 3) // implicit TLS: even the greeting comes encrypted
        ZacniTls();
}

void TFtpSeja::Odjemalec1Info(TSockCtrl*, TSockInfo icode, TSocketBase*)
{
    if (icode == icClosed) // however the control connection closed, it is no longer encrypted
        KonecSifriranja();
    const QString tekst = SockInfoText(icode);
    if (m_view->ActiveLanguage() != 0) {
        m_view->SetStatusPanel(2, tekst);
        return;
    }
    static const std::pair<const char*, const char*> slovensko[] = {
        {"LOOKING-UP A HOST NAME", "Iscem podani FTP strežnik"},
        {"RECEIVING DATA", "Berem podatke"},
        {"SENDING DATA", "Pošiljam podatke"},
        {"CLOSED", "Povezava zaprta"},
        {"CONNECTION TIMED OUT", "Povezava se je iztekla"},
    };
    const QString kljuc = tekst.toUpper();
    for (const auto& [angl, slo] : slovensko)
        if (kljuc == QLatin1String(angl))
            m_view->SetStatusPanel(2, QString::fromUtf8(slo));
}

void TFtpSeja::Odjemalec1TimeOut(TSockCtrl*, TSocketBase*)
{
    Odjemalec1.Close();
    PrekiniPrenos();
    Zaprto(m_view->GetWord(QStringLiteral("@idNiUsp")));
    m_view->MessageBox(m_view->GetWord(QStringLiteral("@idNiUsp")), m_view->GetWord(QStringLiteral("@idOpo")),
                       miExclamation, mbOk);
}

void TFtpSeja::Odjemalec1Disconnect(TSockCtrl*, TSocketBase* socket)
{
    // Damaged TLS (a server that wrote in the clear into it, say) ends the
    // session as a failed encryption does, saying why.
    const TStreamSocket* povezava = TStreamSocket::Of(socket);
    if (const QString razlog = povezava ? povezava->TlsFailure() : QString(); !razlog.isEmpty())
        return KoncajNesifrirano(Beseda("@idTlsPokvarjena") + razlog);
    m_view->SetStatusPanel(2, QStringLiteral("Zaprto"));
    Odjemalec1.Close();
    m_odgovori.Pocisti();
    m_poPrenosu.clear();
    PrekiniPrenos();
    Omogoci({siPla2Prenesi}, false);
    Zaprto(m_view->GetWord(QStringLiteral("@idKonec")) + m_parametri.host);
}

void TFtpSeja::HitriGumb2Click()
{
    if (!Odjemalec1.Connected())
        return;
    Odjemalec1.Close();
    PrekiniPrenos();
    Omogoci({siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, false);
    m_view->AnimateLogo(false);
    m_view->LogViewOnly(m_view->GetWord(QStringLiteral("@idKonec")) + m_parametri.host +
                        QStringLiteral(" *********"));
    m_view->ClearRemoteRows();
    Omogoci({siPla1Skoci, siPla1UsMapo, siPla1IzberiVse, siPla1OsveziFTP}, false);
    m_view->SetCaption(QStringLiteral("Kvado"));
    Zaprto(m_view->GetWord(QStringLiteral("@idKonec")) + m_parametri.host);
}

void TFtpSeja::BeriMedpom(TLineSocketBase*, const QByteArray& celaVrstica, bool)
{
    QByteArray line = celaVrstica;
    if (line.endsWith('\r')) // CR LF, or LF alone: both end a reply line
        line.chop(1);
    const bool konecDolge = m_dolgaVrstica; // the end of a line too long for the read buffer
    const QString vrstica = Dekoder()(line);
    const bool beri = Preberi(vrstica); // the end of a long line counts, but is never acted upon
    m_dolgaVrstica = false;
    if (!beri || konecDolge)
        return;
    if (m_odgovori.CakaFeat()) // a line of the FEAT reply being read (the oldest reply owed)
        ZnacilnostFeat(vrstica);
    if (vrstica.size() < 4 || vrstica.at(3) != QLatin1Char(' '))
        return;
    int koda = 0;
    if (isDigit(vrstica.at(0)) && isDigit(vrstica.at(1)) && isDigit(vrstica.at(2)))
        koda = vrstica.left(3).toInt();
    Odgovor(koda, vrstica);
    JaviPripravljen();
}

bool TFtpSeja::Preberi(const QString& vrstica)
{
    if (m_utisano)
        return false;
    m_view->LogReply(vrstica);
    if (!Odjemalec1.Connected()) // read during the close: shown only
        return false;
    Dejavnost();
    // Lines since the last reply that answered something (Odgovorjeno): a reply
    // that never ends, or a stream of replies nobody asked for, would fill the
    // log and hold the connection: it is cut.
    if (m_odgovori.Steje(vrstica.size()))
        return true;
    m_utisano = true;
    // A listing its 226 has declared complete is read to its end and shown
    // first (KoncajPrenos then ends the connection), also when its data
    // connection has not been taken yet (the stall watch bounds the wait).
    if (m_prenos.vrsta == fzLIST && m_prenos.koncniOdgovor / 100 == 2 &&
        (m_prenos.podatkovna || !m_prenos.sprejeto))
        return false;
    ZapriKontrolno(Beseda("@idPredolgOdgovor"));
    return false;
}

void TFtpSeja::Odgovor(int koda, const QString& vrstica)
{
    if (m_uskladitev && koda != 421) // what the server owed before the ABOR: consumed
        return OdgovorUskladitve(koda);
    if (koda == 220 || (koda == 331 && !m_odgovori.Prazno()))
        return Prijava(koda);
    const TOdgovorZa za = m_odgovori.Za(koda, m_prenos.cakaKonec && !m_prenos.cakaNaslov);
    if (za != ozNic)
        m_odgovori.Odgovorjeno();
    if (za == ozPasivno && koda >= 200 && koda != 421)
        return OdgovorPasivno(koda, vrstica);
    if ((za == ozAUTH || za == ozPBSZ || za == ozPROT) && koda >= 200 && koda != 421)
        return OdgovorTls(za, koda, vrstica);
    if ((za == ozFEAT || za == ozOPTS) && koda >= 200 && koda != 421)
        return OdgovorFeat(za, koda);
    if (za == ozPORT && koda >= 500) {
        // The transfer command's refusal decides (PoskusiPasivno); a 550 here
        // is no refused directory, whatever the phase.
        m_prenos.portZavrnjen = true;
        return;
    }
    if (koda >= 200 && koda != 421 && (za == ozREST || za == ozPrenos)) {
        if (koda == 450)
            return Ponovi450(vrstica);
        if (za == ozREST && koda == 350) {
            const bool prejem = m_prenos.vrsta == fzNadaljujPrejem;
            const QString ime = prejem ? m_imeDatoteke : m_izvornoIme;
            const QString ukaz = prejem ? QStringLiteral("RETR") : QStringLiteral("STOR");
            if (Ukaz(ukaz, ime, ukaz + QLatin1Char(' ') + ime, ozPrenos))
                m_prenos.cakaKonec = true;
            else
                KoncajPrenos(false);
            return;
        }
        if (za == ozPrenos && (koda == 500 || koda == 502) && m_prenos.vrsta == fzLIST && m_seznam.Strojni())
            return BrezMlsd();
        if (za == ozPrenos && koda >= 400 && PoskusiPasivno(koda))
            return;
        // The transfer's final reply (a REST answered otherwise than 350 is refused).
        m_prenos.koncniOdgovor = za == ozREST && koda < 400 ? 500 : koda;
        m_prenos.koncnaVrstica = vrstica;
        return PreveriPrenos();
    }
    if (za == ozVrsta && koda >= 200 && koda != 421)
        return OdgovorVrsta(koda, vrstica);
    // A background connection cannot wait for the user: a refused login ends it.
    if (koda == 530 && m_ozadje && !m_prijavljen) {
        Odjemalec1.Close();
        m_odgovori.Pocisti();
        m_poPrenosu.clear();
        PrekiniPrenos();
        return Zaprto(vrstica, PrevecPovezav(vrstica));
    }
    if (za == ozNic && koda != 421)
        return; // a reply to no command: shown, and nothing more
    switch (koda) {
    case 125:
    case 150:
        Reply1xx(vrstica);
        break;
    case 225:
    case 226:
        if (m_faza == fzPrekini) // the answer to ABOR
            Prekinjeno();
        break;
    case 230:
        PoPrenosu([this] { Zasciti(); });
        break;
    case 250:
        if (m_faza == fzCWD || m_faza == fzCDUP) {
            m_cwdKorenZavrnjen = false;
            m_faza = fzPWD;
            Poslji(QStringLiteral("PWD"));
        } else if ((m_faza == fzDELE && !m_vecBrisanje) || m_faza == fzRMD) {
            Izpisi();
        }
        break;
    case 257:
        PoPrenosu([this, vrstica] { Trenutna257(vrstica); });
        break;
    case 350:
        if (m_faza == fzRNFR) {
            m_faza = fzRNTO;
            const QString novo = m_view->RemoteRowCaption(m_indeksPreimenovanja);
            if (m_indeksPreimenovanja > 0 && m_indeksPreimenovanja < m_seznam.Tabela().Count())
                m_seznam.Tabela().SetName(m_indeksPreimenovanja, novo);
            Ukaz(QStringLiteral("RNTO"), novo, QStringLiteral("RNTO ") + novo);
        }
        break;
    case 421: // before the login ends, the server has too many connections
        Omogoci({siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, false);
        Odjemalec1.Close();
        PrekiniPrenos();
        Zaprto(vrstica, !m_prijavljen);
        break;
    case 450:
        PoPrenosu([this] { Zavrnjeno450(); });
        break;
    case 550:
        Zavrnjeno550();
        break;
    default:
        break;
    }
}

void TFtpSeja::Prijava(int koda)
{
    if (koda == 220) {
        if (m_pozdrav) // a greeting once per connection; later ones are only shown
            return;
        m_pozdrav = true;
        m_odgovori.Odgovorjeno();
        if (m_tlsFaza == tfRokovanje || m_tlsFaza == tfPotrdilo ||
            (m_parametri.encryption == 3 && m_tlsFaza != tfSifrirano)) {
            m_userCaka = true; // USER once the handshake and the certificate are done
            return;
        }
        if (Sifrirano() && m_tlsFaza == tfBrez) {
            m_tlsFaza = tfAuth;
            Ukaz(QStringLiteral("AUTH"), QStringLiteral("TLS"), QStringLiteral("AUTH TLS"), ozAUTH);
            return;
        }
        return PosljiUser();
    }
    m_odgovori.Za(koda, m_prenos.cakaKonec && !m_prenos.cakaNaslov);
    m_odgovori.Odgovorjeno();
    if (m_gesloPoslano) { // asked again after PASS: the password was not taken
        Stanje(Beseda("@idPrijavaNeuspela"));
        return;
    }
    m_gesloPoslano = true;
    Poslji(QStringLiteral("PASS ") +
           (m_parametri.loginKind == 0 ? m_parametri.anonymousPassword : m_parametri.password));
    Dnevnik(QStringLiteral("PASS"));
}

void TFtpSeja::PosljiUser()
{
    Poslji(m_parametri.loginKind == 0 ? QStringLiteral("USER anonymous")
                                      : QStringLiteral("USER ") + m_parametri.user);
    Dnevnik(QStringLiteral("USER"));
}

void TFtpSeja::Reply1xx(const QString& vrstica)
{
    // The server is ready for the data connection's TLS (also for one of a
    // stopped transfer that is let finish its handshake before it closes).
    if (m_prenos.vrsta != fzNic || Podatkovna.Zapira())
        Podatkovna.Dovoli();
    // "(N bytes)": the size the server is about to send.
    static const QRegularExpression velikost(QStringLiteral("\\((\\d{1,18}) bytes\\)"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (JePrejem()) {
        const QRegularExpressionMatch najdeno = velikost.match(vrstica);
        if (najdeno.hasMatch())
            m_prenos.objavljenaVelikost = najdeno.captured(1).toLongLong();
        m_prenos.retrSprejet = true;
        if (m_prenos.sprejeto && !OdpriPrejem()) // a file that waited for the server's word (PrejemZdaj)
            return;
    }
    ZacniOddajo();
}

bool TFtpSeja::PrenosZaseden() const
{
    // A data connection of no transfer (a server that connects at PORT) holds nothing up.
    return m_prenos.vrsta != fzNic || m_prenos.cakaKonec || m_uskladitev;
}

void TFtpSeja::PoPrenosu(std::function<void()> action)
{
    m_poPrenosu.push_back(std::move(action));
    IzvediPoPrenosu();
}

void TFtpSeja::IzvediPoPrenosu()
{
    while (!m_poPrenosu.empty() && !PrenosZaseden() && Odjemalec1.Connected()) {
        const std::function<void()> action = std::move(m_poPrenosu.front());
        m_poPrenosu.pop_front();
        action();
    }
}

void TFtpSeja::Zavrnjeno450()
{
    // A 450 that answers no command of a transfer: announce a new port (active mode has one).
    if (m_pasivno)
        return;
    m_vrata.Nova();
    ObjaviVrata();
}

void TFtpSeja::Zavrnjeno550()
{
    switch (m_faza) {
    case fzCWD:
        if (m_cwdKorenZavrnjen) // "CWD /" itself was refused: do not ask again
            break;
        Stanje(m_view->GetWord(QStringLiteral("@idNiMape")));
        m_cwdKorenZavrnjen = true;
        Ukaz(QStringLiteral("CWD /"), {}, QStringLiteral("CWD /"));
        break;
    case fzRMD:
        Stanje(m_view->GetWord(QStringLiteral("@idNeBrMap")));
        break;
    default:
        break;
    }
}

void TFtpSeja::Prekinjeno()
{
    Stanje(m_view->GetWord(QStringLiteral("@idPrek")));
    m_view->AnimateLogo(false);
    m_view->SetRemoteBusyCursor(false);
    m_prenos.ZapriDatoteko();
    m_view->RefreshLocal();
}

void TFtpSeja::PoPrijavi()
{
    m_prijavljen = true;
    if (m_ozadje) // paths are absolute: no folder to go to, nothing to list
        return;
    if (m_parametri.remoteDirectory.isEmpty()) {
        Izpisi();
        return;
    }
    m_faza = fzCWD;
    PripraviPrenos();
    Ukaz(QStringLiteral("CWD"), m_parametri.remoteDirectory,
         QStringLiteral("CWD ") + m_parametri.remoteDirectory);
}

bool TFtpSeja::VeljavenUkaz(const QString& line)
{
    if (!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')) && !line.contains(QChar(0)))
        return true;
    Stanje(Beseda("@idNeveljavnoIme"));
    return false;
}

bool TFtpSeja::Poslji(const QString& line, TOdgovorZa za)
{
    if (!VeljavenUkaz(line) || !Odjemalec1.Connected())
        return false;
    if (m_uskladitev) { // sent once the server has caught up
        m_zadrzano.emplace_back(line, za);
        return true;
    }
    TLineSocketBase* vrstice = Odjemalec1.LineSocket();
    if (vrstice && vrstice->WriteStr(Kodiraj(line), "\r\n")) {
        m_odgovori.Dolguje(za);
        if (za == ozPrenos)
            Podatkovna.UkazPoslan();
        return true;
    }
    Stanje(Beseda("@idPredolgUkaz"));
    return false;
}

bool TFtpSeja::Ukaz(const QString& label, const QString& argument, const QString& line, TOdgovorZa za)
{
    if (!VeljavenUkaz(line))
        return false;
    if (!Odjemalec1.Connected()) { // the log never claims a command that was not sent
        Stanje(Beseda("@idNiPovezave"));
        return false;
    }
    Dnevnik(label, argument);
    return Poslji(line, za);
}

void TFtpSeja::Dnevnik(const QString& label, const QString& argument)
{
    m_view->KvadoUkazi(lkCommand, label, argument);
}

void TFtpSeja::Stanje(const QString& text)
{
    m_zadnjeStanje = text;
    m_view->KvadoUkazi(lkStatus, text, {});
}

QString TFtpSeja::Beseda(const char* key)
{
    return m_view->GetWord(QString::fromLatin1(key));
}

bool TFtpSeja::Pocakaj(const std::function<bool()>& done)
{
    const std::shared_ptr<bool> alive = m_alive;
    while (!done()) {
        if (!Odjemalec1.Connected()) {
            PocistiPrenos();
            return false;
        }
        ProcessEventsOrSleep(50);
        if (!*alive)
            return false;
    }
    return true;
}

void TFtpSeja::Omogoci(std::initializer_list<TSejaItem> items, bool enabled)
{
    for (TSejaItem item : items)
        m_view->SetItemEnabled(item, enabled);
}

void TFtpSeja::FTPDat1Change()
{
    m_view->SetStatusPanel(1, QStringLiteral("(%1)").arg(m_view->RemoteSelectedRows().size()));
}
