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
    };
    vrstice->SetReadBufferSize(qMax(m_parametri.readBufferSize, 512));
    vrstice->SetWriteBufferSize(qMax(m_parametri.writeBufferSize, 512));
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

void TFtpSeja::BeriMedpom(TLineSocketBase*, const QByteArray& line, bool)
{
    const QString vrstica = FromCp1250(line);
    m_view->LogReply(vrstica);
    if (m_dolgaVrstica) { // the end of a line too long for the read buffer
        m_dolgaVrstica = false;
        return;
    }
    if (vrstica.size() < 4 || vrstica.at(3) != QLatin1Char(' '))
        return;
    int koda = 0;
    if (isDigit(vrstica.at(0)) && isDigit(vrstica.at(1)) && isDigit(vrstica.at(2)))
        koda = vrstica.left(3).toInt();
    Odgovor(koda, vrstica);
}

void TFtpSeja::Odgovor(int koda, const QString& vrstica)
{
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
        KonecPrenosa();
        break;
    case 230:
        PoPrijavi();
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
        Trenutna257(vrstica);
        break;
    case 350:
        if (m_faza == fzNadaljujPrejem) {
            if (Ukaz(QStringLiteral("RETR"), m_imeDatoteke, QStringLiteral("RETR ") + m_imeDatoteke))
                m_cakaKonec = true;
        } else if (m_faza == fzNadaljujOddajo) {
            if (Ukaz(QStringLiteral("STOR"), m_izvornoIme, QStringLiteral("STOR ") + m_izvornoIme))
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
        Zavrnjeno450();
        break;
    case 550:
        Zavrnjeno550();
        break;
    default:
        break;
    }
    // A refusal ends the wait for a transfer's final reply.
    if (koda >= 400)
        m_cakaKonec = false;
}

void TFtpSeja::Zavrnjeno450()
{
    // During a listing, give the data connection a chance to arrive first,
    // but never longer than the connection time-out.
    const auto novaVrata = [this] {
        if (!Odjemalec1.Connected())
            return;
        NovaVrata();
        PripraviPrenos();
    };
    if (m_faza == fzLIST && !m_prenosTece)
        Odlozi([this] { return m_prenosTece; }, novaVrata, false);
    else
        novaVrata();
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
    case fzOddaja:
    case fzNadaljujOddajo:
        m_view->AnimateLogo(false);
        Stanje(m_view->GetWord(QStringLiteral("@idNiPravic")));
        PocistiPrenos();
        break;
    case fzPrejem:
    case fzNadaljujPrejem:
        PocistiPrenos();
        break;
    case fzRMD:
        Stanje(m_view->GetWord(QStringLiteral("@idNeBrMap")));
        break;
    default:
        break;
    }
}

void TFtpSeja::KonecPrenosa()
{
    switch (m_faza) {
    case fzPrejem:
    case fzNadaljujPrejem:
        Odlozi([this] { return !m_prenosTece; },
               [this] {
                   m_cakaKonec = false;
                   m_view->RefreshLocal();
               });
        break;
    case fzOddaja:
    case fzNadaljujOddajo:
        m_cakaKonec = false;
        m_view->SetRemoteBusyCursor(false);
        Stanje(
            m_view->GetWord(m_faza == fzOddaja ? QStringLiteral("@idDatUsp") : QStringLiteral("@idNadalj")));
        m_view->AnimateLogo(false);
        m_zamikOddaje = 0;
        m_oddajaTece = false;
        m_view->Efekti(1);
        Izpisi();
        break;
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
    if (!PripraviPrenos())
        return;
    if (Ukaz(QStringLiteral("LIST"), {}, QStringLiteral("LIST")))
        m_cakaKonec = true;
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

bool TFtpSeja::Poslji(const QString& line)
{
    if (!VeljavenUkaz(line) || !Odjemalec1.Connected())
        return false;
    auto* vrstice = dynamic_cast<TLineSocketBase*>(Odjemalec1.Socket());
    if (vrstice && vrstice->WriteLine(ToCp1250(line)))
        return true;
    Stanje(Beseda("@idPredolgUkaz"));
    return false;
}

bool TFtpSeja::Ukaz(const QString& label, const QString& argument, const QString& line)
{
    if (!VeljavenUkaz(line))
        return false;
    Dnevnik(label, argument);
    return Poslji(line);
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
