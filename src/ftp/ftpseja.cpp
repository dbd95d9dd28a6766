// The control connection, the reply reader and the session state machine.
#include "ftp/ftpseja.h"

#include "core/codepage.h"
#include "core/eventwait.h"
#include "ftp/listingparser.h"
#include "net/linesocket.h"
#include "net/winsockapi.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QRandomGenerator>

#include <algorithm>

#include <arpa/inet.h>
#include <sys/socket.h>

namespace {
bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

TFtpSeja::TFtpSeja(TSejaView* view, QObject* parent)
    : QObject(parent), Odjemalec1(this), Streznik1(this), m_view(view)
{
    Odjemalec1.setObjectName(QStringLiteral("Odjemalec1"));
    Streznik1.setObjectName(QStringLiteral("Streznik1"));
    Odjemalec1.SetTimeOut(5);
    // Actions that wait for the data connection are checked outside the reply
    // handler, so that the data connection's own events can run meanwhile.
    m_odlozenoCas.setInterval(10);
    connect(&m_odlozenoCas, &QTimer::timeout, this, [this] { PreveriOdlozeno(); });
    Odjemalec1.OnConnect = [this](TSockCtrl* s, TSocketBase* k) { Odjemalec1Connect(s, k); };
    Odjemalec1.OnInfo = [this](TSockCtrl* s, TSockInfo c, TSocketBase* k) { Odjemalec1Info(s, c, k); };
    Odjemalec1.OnTimeOut = [this](TSockCtrl* s, TSocketBase* k) { Odjemalec1TimeOut(s, k); };
    Odjemalec1.OnDisconnect = [this](TSockCtrl* s, TSocketBase* k) { Odjemalec1Disconnect(s, k); };

    // One data connection at a time, admitted only from the control
    // connection's peer (the list is filled by every PripraviPrenos).
    Streznik1.SetMaxConnections(1);
    Streznik1.SetRestriction(hrAccept);
    Streznik1.SetAllowOnlyIfReverseDNS(false);
    Streznik1.OnAccept = [this](TSockCtrl* s, TSocketBase* k) { Streznik1Accept(s, k); };
    Streznik1.OnRead = [this](TSockCtrl* s, TSocketBase* k) { Streznik1Read(s, k); };
    Streznik1.OnWrite = [this](TSockCtrl* s, TSocketBase* k) { Streznik1Write(s, k); };
    Streznik1.OnDisconnect = [this](TSockCtrl* s, TSocketBase* k) { Streznik1Disconnect(s, k); };

    NovaVrata();
    gsSamodejnoClick();
    Omogoci({siPla2Prenesi, siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, false);
}

TFtpSeja::~TFtpSeja()
{
    *m_alive = false;
    Odjemalec1.OnInfo = nullptr;
    Streznik1.OnInfo = nullptr;
}

void TFtpSeja::Povezi()
{
    if (Odjemalec1.Connected())
        Odjemalec1.Close();
    // A new session starts clean: no transfer, no deferred action, no owed
    // replies and no half-read line of the previous server.
    PocistiPrenos();
    m_odlozenoCas.stop();
    m_odlozeno = nullptr;
    m_odlozenoPogoj = nullptr;
    m_dolgovani.clear();
    m_poPrenosu.clear();
    m_dolgaVrstica = false;
    m_dolgaCR = false;
    m_cwdKorenZavrnjen = false;
    Odjemalec1.SetAddress(m_parametri.host);
    Odjemalec1.SetPort(m_parametri.port);
    Omogoci({siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, true);
    Odjemalec1.Open(SocketClassOf<TLineSocket>);
    auto* vrstice = dynamic_cast<TLineSocketBase*>(Odjemalec1.Socket());
    vrstice->OnLine = [this](TLineSocketBase* s, const QByteArray& line, bool complete) {
        BeriMedpom(s, line, complete);
    };
    // A reply line longer than the read buffer is shown in pieces and never acted upon.
    vrstice->OnReadBufferFull = [this](TBufferedSocketBase* s) {
        QByteArray kos(s->ReadBufferSize(), '\0');
        kos.resize(qMax(0, s->ReadBuf(kos.data(), int(kos.size()))));
        m_view->LogReply(FromCp1250(kos));
        m_dolgaVrstica = true;
        m_dolgaCR = kos.endsWith('\r'); // the LF that ends it may open the next line
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
        sockaddr_in naslov{};
        socklen_t dolzina = sizeof naslov;
        if (::getsockname(socket->Handle(), reinterpret_cast<sockaddr*>(&naslov), &dolzina) == 0)
            m_lokalniNaslov = ntohl(naslov.sin_addr.s_addr);
        dolzina = sizeof naslov;
        if (::getpeername(socket->Handle(), reinterpret_cast<sockaddr*>(&naslov), &dolzina) == 0) {
            char besedilo[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &naslov.sin_addr, besedilo, sizeof besedilo);
            m_naslovStreznika = QString::fromLatin1(besedilo);
        }
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
    } else if (socket->LastError() == 10061) {
        m_view->MessageBox(m_view->GetWord(QStringLiteral("@idNapaka")) + SocketErrorText(10061),
                           m_view->GetWord(QStringLiteral("@idOpo")), miExclamation, mbOk);
        Omogoci({siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, false);
    }
}

void TFtpSeja::Odjemalec1Info(TSockCtrl*, TSockInfo icode, TSocketBase*)
{
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
    PocistiPrenos();
    m_view->MessageBox(m_view->GetWord(QStringLiteral("@idNiUsp")), m_view->GetWord(QStringLiteral("@idOpo")),
                       miExclamation, mbOk);
}

void TFtpSeja::Odjemalec1Disconnect(TSockCtrl*, TSocketBase*)
{
    m_view->SetStatusPanel(2, QStringLiteral("Zaprto"));
    Omogoci({siPla2Prenesi}, false);
    Odjemalec1.Close();
    m_dolgovani.clear();
    m_poPrenosu.clear();
    PocistiPrenos();
}

void TFtpSeja::HitriGumb2Click()
{
    if (!Odjemalec1.Connected())
        return;
    Odjemalec1.Close();
    PocistiPrenos();
    Omogoci({siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, false);
    m_view->AnimateLogo(false);
    m_view->LogViewOnly(m_view->GetWord(QStringLiteral("@idKonec")) + m_parametri.host +
                        QStringLiteral(" *********"));
    m_view->ClearRemoteRows();
    Omogoci({siPla1Skoci, siPla1UsMapo, siPla1IzberiVse, siPla1OsveziFTP}, false);
    m_view->SetCaption(QStringLiteral("Kvado"));
}

void TFtpSeja::BeriMedpom(TLineSocketBase*, const QByteArray& celaVrstica, bool)
{
    QByteArray line = celaVrstica;
    if (m_dolgaVrstica && m_dolgaCR && line.startsWith('\n')) {
        // The long line's CR LF straddled the read buffer: what follows the LF is a line of its own.
        m_dolgaVrstica = false;
        line.remove(0, 1);
        if (line.isEmpty())
            return;
    }
    const QString vrstica = FromCp1250(line);
    m_view->LogReply(vrstica);
    if (m_dolgaVrstica) { // the end of a line too long for the read buffer
        m_dolgaVrstica = false;
        return;
    }
    if (!Odjemalec1.Connected()) // read during the close: shown only
        return;
    if (vrstica.size() < 4 || vrstica.at(3) != QLatin1Char(' '))
        return;
    int koda = 0;
    if (isDigit(vrstica.at(0)) && isDigit(vrstica.at(1)) && isDigit(vrstica.at(2)))
        koda = vrstica.left(3).toInt();
    Odgovor(koda, vrstica);
}

TFtpSeja::TOdgovorZa TFtpSeja::OdgovorZa(int koda)
{
    if (koda < 200) // 1xx only announces the final reply
        return ozDrugo;
    // These answer nothing but a transfer command: a server that left an
    // earlier command (TYPE, say) unanswered is caught up with here.
    if (koda == 225 || koda == 226 || koda == 425 || koda == 426) {
        const auto prenos = std::find_if(m_dolgovani.begin(), m_dolgovani.end(), [this](const TDolg& d) {
            return d.za == ozPrenos && d.prenos == m_stevilkaPrenosa;
        });
        if (prenos != m_dolgovani.end()) {
            m_dolgovani.erase(m_dolgovani.begin(), prenos + 1);
            return ozPrenos;
        }
        if (m_cakaKonec) // an extra reply took its place earlier: still the transfer's own
            return ozPrenos;
    }
    if (m_dolgovani.empty()) // a reply to no command (a greeting, say)
        return ozDrugo;
    const TDolg dolg = m_dolgovani.front();
    m_dolgovani.pop_front();
    return dolg.prenos == m_stevilkaPrenosa ? dolg.za : ozDrugo;
}

void TFtpSeja::Odgovor(int koda, const QString& vrstica)
{
    const bool sledeno = !m_dolgovani.empty();
    const TOdgovorZa za = OdgovorZa(koda);
    if (koda >= 400 && koda != 421 && (za == ozREST || za == ozPrenos))
        return OdklonjenPrenos(koda, vrstica, za);
    switch (koda) {
    case 125:
    case 150:
        ZacniOddajo();
        break;
    case 220:
        Poslji(m_parametri.loginKind == 0 ? QStringLiteral("USER anonymous")
                                          : QStringLiteral("USER ") + m_parametri.user);
        Dnevnik(QStringLiteral("USER"));
        break;
    case 331:
        Poslji(QStringLiteral("PASS ") +
               (m_parametri.loginKind == 0 ? m_parametri.anonymousPassword : m_parametri.password));
        Dnevnik(QStringLiteral("PASS"));
        break;
    case 225:
    case 226:
        if (za == ozPrenos)
            KonecPrenosa(m_vrstaPrenosa);
        else if (m_faza == fzPrekini) // the answer to ABOR
            KonecPrenosa(fzPrekini);
        break;
    case 230:
        PoPrenosu([this] { PoPrijavi(); });
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
        if (za == ozREST && m_vrstaPrenosa == fzNadaljujPrejem) {
            if (Ukaz(QStringLiteral("RETR"), m_imeDatoteke, QStringLiteral("RETR ") + m_imeDatoteke,
                     ozPrenos))
                m_cakaKonec = true;
        } else if (za == ozREST && m_vrstaPrenosa == fzNadaljujOddajo) {
            if (Ukaz(QStringLiteral("STOR"), m_izvornoIme, QStringLiteral("STOR ") + m_izvornoIme, ozPrenos))
                m_cakaKonec = true;
        } else if (m_faza == fzRNFR) {
            m_faza = fzRNTO;
            const QString novo = m_view->RemoteRowCaption(m_indeksPreimenovanja);
            if (m_indeksPreimenovanja > 0 && m_indeksPreimenovanja < m_seznam.Count())
                m_seznam.SetName(m_indeksPreimenovanja, novo);
            Ukaz(QStringLiteral("RNTO"), novo, QStringLiteral("RNTO ") + novo);
        }
        break;
    case 421:
        Omogoci({siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, false);
        Odjemalec1.Close();
        PocistiPrenos();
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
    // Without matching (after an abort), any refusal ends the wait for a transfer's final reply.
    if (koda >= 400 && !sledeno)
        m_cakaKonec = false;
}

bool TFtpSeja::PrenosZaseden() const
{
    // A data connection of no transfer (a server that connects at PORT) holds nothing up.
    return (m_vrstaPrenosa != fzNic && (m_prenosTece || m_podatkovna)) || m_cakaKonec || m_odlozeno;
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

void TFtpSeja::OdklonjenPrenos(int koda, const QString& vrstica, TOdgovorZa za)
{
    if (koda == 450 && za == ozPrenos && !m_sprejeto) {
        // Another port, and the command again: nothing connects otherwise.
        const TUkazPrenosa ukaz = m_ukazPrenosa;
        NovaVrata();
        if (PripraviPrenos())
            ZacniUkazPrenosa(ukaz.label, ukaz.argument, ukaz.line, ukaz.za);
        return;
    }
    m_cakaKonec = false;
    if (m_sprejeto && JePrejem()) { // the download ends with its data connection
        Odlozi([this] { return !m_prenosTece; },
               [this] {
                   PorociloPrejema(false);
                   m_view->RefreshLocal(); // the part received is there
               });
        return;
    }
    if (koda == 550 && JeOddaja() && !m_sprejeto) {
        m_view->AnimateLogo(false);
        Stanje(m_view->GetWord(QStringLiteral("@idNiPravic")));
    } else if (koda != 550 || m_sprejeto) {
        Neuspeh(vrstica);
    }
    PocistiPrenos();
}

void TFtpSeja::PorociloPrejema(bool uspeh)
{
    if (uspeh && m_sprejeto && !m_podatkiNapaka)
        Stanje(m_view->GetWord(m_vrstaPrenosa == fzPrejem ? QStringLiteral("@idDatUsp")
                                                          : QStringLiteral("@idNadalj")));
    else
        Neuspeh(m_lokalnaPot);
    m_vrstaPrenosa = fzNic;
}

void TFtpSeja::Neuspeh(const QString& detail)
{
    Stanje(Beseda("@idNeuspeh") + detail);
}

void TFtpSeja::Zavrnjeno450()
{
    // A 450 that answers no command of the running transfer: announce a new port.
    NovaVrata();
    PripraviPrenos();
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

void TFtpSeja::KonecPrenosa(TFaza vrsta)
{
    switch (vrsta) {
    case fzPrejem:
    case fzNadaljujPrejem:
        Odlozi([this] { return !m_prenosTece; },
               [this] {
                   m_cakaKonec = false;
                   PorociloPrejema(true);
                   m_view->RefreshLocal();
               });
        break;
    case fzOddaja:
    case fzNadaljujOddajo: {
        // Done only when the whole file went out and the data connection was ours to close.
        const bool uspeh = !m_oddajaTece && !m_podatkiNapaka;
        if (!uspeh)
            PocistiPrenos();
        m_cakaKonec = false;
        m_view->SetRemoteBusyCursor(false);
        if (uspeh)
            Stanje(m_view->GetWord(vrsta == fzOddaja ? QStringLiteral("@idDatUsp")
                                                     : QStringLiteral("@idNadalj")));
        else
            Neuspeh(m_lokalnaPot);
        m_vrstaPrenosa = fzNic;
        m_view->AnimateLogo(false);
        m_zamikOddaje = 0;
        m_oddajaTece = false;
        m_view->Efekti(1);
        Izpisi();
        break;
    }
    case fzPrekini:
        Stanje(m_view->GetWord(QStringLiteral("@idPrek")));
        m_view->AnimateLogo(false);
        m_view->SetRemoteBusyCursor(false);
        ZapriDatoteko();
        m_view->RefreshLocal();
        break;
    case fzLIST:
        Odlozi([this] { return !m_prenosTece && !m_oddajaTece; },
               [this] {
                   m_cakaKonec = false;
                   Stanje(m_view->GetWord(QStringLiteral("@idPriMapo")));
                   RazcleniSeznam();
                   m_view->Efekti(1);
               });
        break;
    default:
        break;
    }
}

void TFtpSeja::Odlozi(std::function<bool()> done, std::function<void()> action, bool afterAccept)
{
    if (m_odlozeno)
        IzvediOdlozeno(); // an earlier reply's action first, so the order holds
    m_odlozeno = std::move(action);
    m_odlozenoPogoj = std::move(done);
    m_odlozenoPoSprejemu = afterAccept;
    m_odlozenoRok = QDeadlineTimer(qMax(Odjemalec1.TimeOut(), 1) * 1000);
    PreveriOdlozeno();
    if (m_odlozeno)
        m_odlozenoCas.start();
}

void TFtpSeja::PreveriOdlozeno()
{
    if (!m_odlozeno)
        return;
    // Done once the condition holds (for a transfer: after its data connection
    // came and went); a data connection that never comes is waited for at
    // most the connection time-out; a lost connection ends every wait.
    const bool pogoj = m_odlozenoPogoj() && (m_sprejeto || !m_odlozenoPoSprejemu);
    if (pogoj || (!m_sprejeto && m_odlozenoRok.hasExpired()) || !Odjemalec1.Connected())
        IzvediOdlozeno();
}

void TFtpSeja::IzvediOdlozeno()
{
    m_odlozenoCas.stop();
    const std::function<void()> action = std::move(m_odlozeno);
    m_odlozeno = nullptr;
    m_odlozenoPogoj = nullptr;
    if (action)
        action();
    IzvediPoPrenosu();
}

void TFtpSeja::PoPrijavi()
{
    if (m_parametri.remoteDirectory.isEmpty()) {
        Izpisi();
        return;
    }
    m_faza = fzCWD;
    PripraviPrenos();
    Ukaz(QStringLiteral("CWD"), m_parametri.remoteDirectory,
         QStringLiteral("CWD ") + m_parametri.remoteDirectory);
}

void TFtpSeja::Trenutna257(const QString& line)
{
    const QString vrstica = line.left(255);
    const int p = int(vrstica.indexOf(QLatin1String(" \""))) + 1; // positions count from 1, 0 = absent
    const int q = int(vrstica.indexOf(QLatin1String("\" "))) + 1;
    m_trenutnaMapa = q - 6 > 0 ? vrstica.mid(p + 1, q - 6) : QString();
    m_view->SetCaption(QStringLiteral("Kvado - [") + m_parametri.host + m_trenutnaMapa + QStringLiteral("]"));
    Izpisi();
}

void TFtpSeja::Izpisi()
{
    m_faza = fzLIST;
    if (PripraviPrenos())
        ZacniUkazPrenosa(QStringLiteral("LIST"), {}, QStringLiteral("LIST"), ozPrenos);
}

bool TFtpSeja::ZacniUkazPrenosa(const QString& label, const QString& argument, const QString& line,
                                TOdgovorZa za)
{
    m_ukazPrenosa = {label, argument, line, za};
    if (!Ukaz(label, argument, line, za))
        return false;
    m_cakaKonec = true;
    return true;
}

void TFtpSeja::RazcleniSeznam()
{
    ::RazcleniSeznam(m_surovSeznam, m_seznam);
    m_view->ShowRemoteRows(m_seznam);
    m_prejetoBajtov = 0;
    // Adding rows enables the remote pane's commands.
    if (!m_view->ItemEnabled(siPla1Izbrisi))
        Omogoci({siPla1UsMapo, siPla1Prenesi, siPla1Izbrisi, siPla1IzberiVse, siPla1OsveziFTP}, true);
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
    auto* vrstice = dynamic_cast<TLineSocketBase*>(Odjemalec1.Socket());
    if (vrstice && vrstice->WriteLine(ToCp1250(line))) {
        m_dolgovani.push_back({za, m_stevilkaPrenosa});
        return true;
    }
    Stanje(Beseda("@idPredolgUkaz"));
    return false;
}

bool TFtpSeja::Ukaz(const QString& label, const QString& argument, const QString& line, TOdgovorZa za)
{
    if (!VeljavenUkaz(line))
        return false;
    Dnevnik(label, argument);
    return Poslji(line, za);
}

void TFtpSeja::Dnevnik(const QString& label, const QString& argument)
{
    m_view->KvadoUkazi(slkCommand, label, argument);
}

void TFtpSeja::Stanje(const QString& text)
{
    m_view->KvadoUkazi(slkStatus, text, {});
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
