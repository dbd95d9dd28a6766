// The data connection: PORT and TYPE, the data events, downloads, uploads,
// resume, the transfer-type choice and Stop.
#include "ftp/ftpseja.h"

#include "core/utf8kept.h"
#include "ftp/listingparser.h"
#include "net/sockerror.h"
#include "net/streamsocket.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString dotted(quint32 address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}
} // namespace

QString TFtpSeja::PortArgument(quint32 address, int port)
{
    return dotted(address).replace(QLatin1Char('.'), QLatin1Char(',')) +
           QStringLiteral(",%1,%2").arg(port / 256).arg(port % 256);
}

void TFtpSeja::NovaVrata()
{
    m_vrataPodatkov = kPrvaVrata + int(QRandomGenerator::global()->bounded(255));
}

void TFtpSeja::NaslednjaVrata()
{
    ++m_vrataPodatkov;
    if (m_vrataPodatkov > kZadnjaVrata)
        m_vrataPodatkov = kPrvaVrata;
}

bool TFtpSeja::Poslusaj()
{
    ZapriStreznik();
    Streznik1.SetAddress(dotted(m_lokalniNaslov));
    Streznik1.SetRestrictedHosts({m_naslovStreznika});
    // A port another program holds is passed over: try the next ones.
    QString napaka;
    for (int poskus = 0; poskus <= kZadnjaVrata - kPrvaVrata; ++poskus) {
        Streznik1.SetPort(QString::number(m_vrataPodatkov));
        try {
            Streznik1.Listen(SocketClassOf<TStreamSocket>);
            return true;
        } catch (const ESockError& e) {
            napaka = e.Message();
            NaslednjaVrata();
        }
    }
    Stanje(napaka);
    return false;
}

bool TFtpSeja::PripraviPrenos()
{
    return PripraviPrenos(m_faza, {});
}

bool TFtpSeja::ObjaviVrata()
{
    if (!Poslusaj())
        return false;
    m_sprejeto = false;
    m_portZavrnjen = false;
    const QString argument = PortArgument(m_lokalniNaslov, m_vrataPodatkov);
    Dnevnik(QStringLiteral("PORT"), argument);
    Poslji(QStringLiteral("PORT ") + argument, ozPORT);
    NaslednjaVrata();
    return true;
}

bool TFtpSeja::PripraviPrenos(TFaza vrsta, const QString& pot)
{
    // A transfer still prepared will never be completed now: it has failed
    // (and nothing that waits for its end runs in the middle of this one).
    if (m_vrstaPrenosa != fzNic && (JePrejem() || JeOddaja()))
        Stanje(Neuspeh(m_lokalnaPot));
    if (m_vrstaPrenosa != fzNic || m_podatkovna)
        PocistiPrenos();
    // The kind and the local file are fixed now: later commands change the phase, not them.
    ++m_stevilkaPrenosa;
    switch (vrsta) {
    case fzPrejem:
    case fzNadaljujPrejem:
    case fzOddaja:
    case fzNadaljujOddajo:
    case fzLIST:
        m_vrstaPrenosa = vrsta;
        break;
    default:
        m_vrstaPrenosa = fzNic;
        break;
    }
    m_lokalnaPot = !pot.isEmpty() ? pot
                   : JePrejem()   ? LokalnaPot(m_imeDatoteke)
                   : JeOddaja()   ? LokalnaPot(m_izvornoIme)
                                  : QString();
    m_podatkiNapaka = false;
    m_prirezan = false;
    m_koncniOdgovor = 0;
    m_koncnaVrstica.clear();
    m_objavljenaVelikost = -1;
    m_ponovitve450 = 0;
    if (JeOddaja() && !OdpriOddajo()) {
        m_vrstaPrenosa = fzNic;
        return false;
    }
    if (m_pasivno && m_vrstaPrenosa != fzNic) {
        ZahtevajPasivno();
    } else if (!m_pasivno && !ObjaviVrata()) {
        PocistiPrenos();
        return false;
    }
    m_oddajaZaceta = false;
    if (m_vrstaPrenosa != fzNic) { // its stall watch starts
        Dejavnost();
        m_nadzor.start();
    }
    switch (vrsta) {
    case fzPrejem:
    case fzOddaja:
    case fzNadaljujPrejem:
    case fzNadaljujOddajo:
        TipniKorak();
        break;
    case fzLIST:
        if (m_zadnjiTip != QLatin1Char('A')) {
            Dnevnik(QStringLiteral("TYPE A"));
            Poslji(QStringLiteral("TYPE A"));
            m_zadnjiTip = QLatin1Char('A');
        }
        break;
    default:
        break;
    }
    return true;
}

void TFtpSeja::TipniKorak()
{
    // Automatic names no type of its own, but the connection is in ASCII
    // after every listing's TYPE A (and by default): a file would then have
    // its line ends rewritten, and a resume would be refused. Files go in
    // binary unless text was chosen.
    const QChar tip = m_izbraniTip == QLatin1Char('S') ? QLatin1Char('I') : m_izbraniTip;
    if (tip == m_zadnjiTip)
        return;
    Dnevnik(QStringLiteral("TYPE"), tip);
    Poslji(QStringLiteral("TYPE ") + tip);
    m_zadnjiTip = tip;
}

void TFtpSeja::NastaviTip(int choice, QChar letter)
{
    m_izbraniTip = letter;
    m_view->ShowTransferType(choice);
}

void TFtpSeja::gsSamodejnoClick()
{
    NastaviTip(tpSamodejno, QLatin1Char('S'));
}

void TFtpSeja::gsSlikaClick()
{
    NastaviTip(tpSlika, QLatin1Char('I'));
}

// "Binary" is the image type of RFC 959.
void TFtpSeja::gsBinarnoClick()
{
    NastaviTip(tpBinarno, QLatin1Char('I'));
}

void TFtpSeja::gsTekstClick()
{
    NastaviTip(tpTekst, QLatin1Char('A'));
}

QString TFtpSeja::LokalnaPot(const QString& name)
{
    // The name as it stands, after the directory: never read as a path of its
    // own (a leading ":" would be a resource, a leading "/" another place).
    QString mapa = QDir(m_view->LocalDirectory()).absolutePath();
    if (!mapa.startsWith(QLatin1Char('/')))
        mapa = QDir::current().absolutePath() + QLatin1Char('/') + mapa;
    if (!mapa.endsWith(QLatin1Char('/')))
        mapa += QLatin1Char('/');
    return mapa + name;
}

bool TFtpSeja::Podatki(const QString& path, struct stat& info, bool link)
{
    // A remote name that is no valid UTF-8 holds marks for its bytes: the
    // file on disk gets those bytes back (QFile would write "?" for them).
    const QByteArray bytes = ToUtf8Kept(path);
    return (link ? ::lstat(bytes.constData(), &info) : ::stat(bytes.constData(), &info)) == 0;
}

bool TFtpSeja::Obstaja(const QString& path)
{
    struct stat podatki {};
    return Podatki(path, podatki, true);
}

QString TFtpSeja::OdpriPrejem()
{
    m_datoteka.close();
    const bool nadaljuj = m_vrstaPrenosa == fzNadaljujPrejem;
    const QString napaka = Beseda("@idNapakaDatoteke") + m_lokalnaPot;
    const QByteArray pot = ToUtf8Kept(m_lokalnaPot); // the name's own bytes (Podatki)
    // A link in the file's place is never written through: a new download
    // replaces the link itself, a resume refuses it.
    struct stat podatki {};
    if (Podatki(m_lokalnaPot, podatki, true) && S_ISLNK(podatki.st_mode) && (nadaljuj || ::unlink(pot) != 0))
        return napaka;
    // A resumed download extends the very file it was measured on: never
    // created, and still exactly as long as the resume offset.
    const int zastavice = (nadaljuj ? O_RDWR : O_WRONLY | O_CREAT | O_TRUNC) | O_CLOEXEC | O_NOFOLLOW;
    const int opisnik = ::open(pot.constData(), zastavice, 0666);
    if (opisnik < 0)
        return napaka + QStringLiteral(" (") + qt_error_string(errno) + QStringLiteral(")");
    const QIODevice::OpenMode nacin =
        (nadaljuj ? QIODevice::ReadWrite : QIODevice::WriteOnly) | QIODevice::Unbuffered;
    if (!m_datoteka.open(opisnik, nacin, QFileDevice::AutoCloseHandle)) {
        ::close(opisnik);
        return napaka + QStringLiteral(" (") + m_datoteka.errorString() + QStringLiteral(")");
    }
    if (!nadaljuj || (m_datoteka.size() == m_zamikPrejema && m_datoteka.seek(m_zamikPrejema)))
        return {};
    m_datoteka.close();
    return Neuspeh(m_lokalnaPot);
}

bool TFtpSeja::OdpriOddajo()
{
    m_datoteka.close();
    m_datoteka.setFileName(m_lokalnaPot);
    m_neposlano = 0;
    m_odmik = 0;
    const bool nadaljuj = m_vrstaPrenosa == fzNadaljujOddajo;
    if (QFileInfo(m_datoteka.fileName()).isFile() && m_datoteka.open(QIODevice::ReadOnly) &&
        (!nadaljuj || m_datoteka.seek(m_zamikOddaje)))
        return true;
    Stanje(Beseda("@idNapakaBranja") + m_datoteka.fileName());
    m_datoteka.close();
    m_prenosTece = false;
    m_oddajaTece = false;
    m_view->AnimateLogo(false);
    return false;
}

void TFtpSeja::ZapriDatoteko()
{
    if (m_datoteka.isOpen())
        m_datoteka.close();
}

void TFtpSeja::ZapriStreznik()
{
    // Forgotten first: Close hands the waiting input to OnRead, which must not
    // take it (a server that keeps sending would keep Close going).
    m_podatkovna = nullptr;
    m_cakaNaslov = false;
    Streznik1.Close();
    if (Odjemalec2.HasSocket())
        Odjemalec2.Close();
}

void TFtpSeja::PozabiPrenos()
{
    ++m_stevilkaPrenosa; // its owed replies no longer act
    m_vrstaPrenosa = fzNic;
    ZapriStreznik();
    ZapriDatoteko();
    m_prenosTece = false;
    m_oddajaTece = false;
    m_cakaKonec = false;
    m_neposlano = 0;
    m_koncniOdgovor = 0;
    m_nadzor.stop();
    m_view->SetProgress(0);
    m_view->ShowProgressText(false);
}

void TFtpSeja::PocistiPrenos()
{
    PozabiPrenos();
    m_view->AnimateLogo(false);
    m_view->SetRemoteBusyCursor(false);
}

void TFtpSeja::PrikaziNapredek(qint64 count)
{
    const QString besedilo = GroupThousands(QString::number(count));
    if (m_vrstaPrenosa == fzLIST) {
        m_view->SetStatusPanel(2, besedilo);
        return;
    }
    m_view->ShowTransferred(count, m_pricakovanaVelikost);
    if (m_pricakovanaVelikost <= 0)
        return;
    const qint64 v = m_pricakovanaVelikost;
    const qint64 odstotek = count / v * 100 + count % v * 100 / v; // no overflow for any count
    m_view->SetProgress(int(std::clamp<qint64>(odstotek, 0, 100)));
    m_view->SetStatusPanel(2, besedilo + QStringLiteral("/") + m_velikostBesedilo);
}

void TFtpSeja::Streznik1Accept(TSockCtrl*, TSocketBase* socket)
{
    m_podatkovna = socket;
    m_prenosTece = true;
    m_sprejeto = true;
    m_surovSeznam.clear();
    m_view->AnimateLogo(true);
    m_view->SetRemoteBusyCursor(true);
    Omogoci({siPla1Prenesi, siPla1OsveziFTP, siPla1UsMapo, siPla1Izbrisi, siPla1Skoci, siPla2Prenesi}, false);
    m_view->ShowProgressText(true);
    m_prejetoBajtov = m_vrstaPrenosa == fzNadaljujPrejem ? m_zamikPrejema : 0;
    Dejavnost();
    // The local file is touched only now that the server is sending it.
    if (JePrejem()) {
        const QString napaka = OdpriPrejem();
        if (!napaka.isEmpty())
            KoncajPrenos(false, napaka);
    }
}

int TFtpSeja::Beri(TSocketBase* socket)
{
    // Reads of at most 4096 bytes each, gathered so that the file gets one write.
    // A receive error keeps what this batch has read and marks the transfer failed.
    int skupaj = 0;
    try {
        while (skupaj + kBlok <= int(m_prejemni.size())) {
            const int n = socket->Recv(m_prejemni.data() + skupaj, kBlok);
            if (n <= 0)
                break;
            skupaj += n;
        }
    } catch (const ESockError&) {
        m_podatkiNapaka = true;
    }
    if (skupaj == 0)
        return 0;
    m_prejetoBajtov += skupaj;
    if (m_vrstaPrenosa == fzLIST) {
        if (m_surovSeznam.size() + skupaj > m_najvecjiSeznam) { // keep what fits, stop the rest
            m_surovSeznam.append(m_prejemni.data(), m_najvecjiSeznam - m_surovSeznam.size());
            Stanje(Beseda("@idSeznamPrevelik"));
            m_podatkiNapaka = true;
            m_prirezan = true;
            ZapriStreznik();
            KoncajPodatkovno();
            return 0;
        }
        m_surovSeznam.append(m_prejemni.data(), skupaj);
    } else if (JePrejem() && m_datoteka.isOpen() && m_datoteka.write(m_prejemni.data(), skupaj) != skupaj) {
        KoncajPrenos(false, Beseda("@idNapakaDatoteke") + m_lokalnaPot + QStringLiteral(" (") +
                                m_datoteka.errorString() + QStringLiteral(")"));
        return 0;
    }
    Dejavnost();
    return skupaj;
}

void TFtpSeja::Streznik1Read(TSockCtrl*, TSocketBase* socket)
{
    if (socket != m_podatkovna) // only the data connection carries the transfer
        return;
    // Several 4096-byte reads per event keep the event rate down on fast links.
    if (Beri(socket) > 0 && m_faza != fzPrekini)
        PrikaziNapredek(m_prejetoBajtov);
}

// The server has started the STOR: only now may the data flow, since a
// server that connects at PORT would otherwise see the file end before STOR.
void TFtpSeja::ZacniOddajo()
{
    if (!JeOddaja())
        return;
    m_oddajaZaceta = true;
    if (m_podatkovna && m_oddajaTece)
        Streznik1Write(&Streznik1, m_podatkovna);
}

void TFtpSeja::Streznik1Write(TSockCtrl*, TSocketBase* socket)
{
    if (socket != m_podatkovna || !m_oddajaZaceta)
        return;
    const auto prikazi = [this] { PrikaziNapredek(m_poslanoBajtov); };
    while (m_oddajaTece) {
        while (m_neposlano > 0) {
            if (m_faza == fzPrekini)
                return;
            int n = 0;
            try {
                n = socket->Send(m_medpomnilnik.data() + m_odmik, m_neposlano);
            } catch (const ESockError&) { // the server reset it: the upload has failed
                m_podatkiNapaka = true;
                m_oddajaTece = false;
                ZapriStreznik();
                ZapriDatoteko();
                return;
            }
            if (n <= 0)
                return prikazi(); // wait for the next write event
            Dejavnost();
            m_odmik += n;
            m_neposlano -= n;
            m_poslanoBajtov += n;
        }
        const qint64 prebrano = m_datoteka.isOpen() ? m_datoteka.read(m_medpomnilnik.data(), kBlok) : -1;
        if (prebrano > 0) {
            m_neposlano = int(prebrano);
            m_odmik = 0;
            continue;
        }
        if (prebrano < 0) {
            // A reset instead of a close: the server must not take the part sent for the file.
            Stanje(Beseda("@idNapakaBranja") + m_datoteka.fileName());
            m_podatkiNapaka = true;
            const linger takoj{1, 0};
            ::setsockopt(socket->Handle(), SOL_SOCKET, SO_LINGER, &takoj, sizeof takoj);
        }
        // The end of the file: closing the data connection completes it on the server.
        m_oddajaTece = false;
        ZapriStreznik();
        ZapriDatoteko();
        prikazi();
    }
}

void TFtpSeja::Streznik1Disconnect(TSockCtrl*, TSocketBase* socket)
{
    if (socket != m_podatkovna)
        return;
    if (socket->LastError() != 0) // a reset, not the end of the data
        m_podatkiNapaka = true;
    while (m_podatkovna == socket && Beri(socket) > 0) // whatever arrived before the close
    {
    }
    if (m_podatkovna != socket) // Beri has ended the transfer itself
        return;
    // The verdict waits for the server's final reply too (PreveriPrenos).
    if (m_datoteka.isOpen() && JePrejem()) {
        const bool zapisano = m_datoteka.flush();
        m_datoteka.close();
        if (!zapisano)
            return KoncajPrenos(false, Beseda("@idNapakaDatoteke") + m_lokalnaPot);
    } else if (m_oddajaTece) { // the server ended an upload early
        m_oddajaTece = false;
        m_podatkiNapaka = true;
        ZapriDatoteko();
    }
    ZapriStreznik();
    KoncajPodatkovno();
}

void TFtpSeja::KoncajPodatkovno()
{
    m_view->ShowProgressText(false);
    m_view->SetProgress(0);
    m_prenosTece = false;
    m_view->AnimateLogo(false);
    m_view->SetRemoteBusyCursor(false);
    Omogoci({siPla1Prenesi, siPla1IzberiVse, siPla1OsveziFTP, siPla1Izbrisi, siPla1UsMapo, siPla1Skoci,
             siPla2Prenesi},
            true);
    PreveriPrenos();
    IzvediPoPrenosu();
}
