// The data connection: PORT and TYPE, the data events, downloads, uploads,
// resume, the transfer-type choice and Stop.
#include "ftp/ftpseja.h"

#include "ftp/listingparser.h"
#include "net/sockerror.h"
#include "net/streamsocket.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

#include <arpa/inet.h>
#include <sys/socket.h>

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
    // A data connection still open belongs to a transfer nothing will complete now.
    if (m_podatkovna) {
        if (JePrejem() || JeOddaja())
            Neuspeh(m_lokalnaPot);
        PocistiPrenos();
    }
    // The kind and the local file are fixed now: later commands change the phase, not them.
    ++m_stevilkaPrenosa;
    switch (m_faza) {
    case fzPrejem:
    case fzNadaljujPrejem:
    case fzOddaja:
    case fzNadaljujOddajo:
    case fzLIST:
        m_vrstaPrenosa = m_faza;
        break;
    default:
        m_vrstaPrenosa = fzNic;
        break;
    }
    m_lokalnaPot = JePrejem() ? LokalnaPot(m_imeDatoteke) : JeOddaja() ? LokalnaPot(m_izvornoIme) : QString();
    m_podatkiNapaka = false;
    if (JeOddaja() && !OdpriOddajo())
        return false;
    if (!Poslusaj()) {
        PocistiPrenos();
        return false;
    }
    m_sprejeto = false;
    m_oddajaZaceta = false;
    const QString argument = PortArgument(m_lokalniNaslov, m_vrataPodatkov);
    Dnevnik(QStringLiteral("PORT"), argument);
    Poslji(QStringLiteral("PORT ") + argument);
    NaslednjaVrata();
    switch (m_faza) {
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
    if (m_izbraniTip == QLatin1Char('S') || m_izbraniTip == m_zadnjiTip)
        return;
    Dnevnik(QStringLiteral("TYPE"), m_izbraniTip);
    Poslji(QStringLiteral("TYPE ") + m_izbraniTip);
    m_zadnjiTip = m_izbraniTip;
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
    return QDir(m_view->LocalDirectory()).absoluteFilePath(name);
}

bool TFtpSeja::OdpriPrejem()
{
    m_datoteka.close();
    m_datoteka.setFileName(m_lokalnaPot);
    const bool nadaljuj = m_vrstaPrenosa == fzNadaljujPrejem;
    // A resumed download extends the very file it was measured on: never
    // created, and still exactly as long as the resume offset.
    const QIODevice::OpenMode nacin = (nadaljuj ? QIODevice::ReadWrite | QIODevice::ExistingOnly
                                                : QIODevice::WriteOnly | QIODevice::Truncate) |
                                      QIODevice::Unbuffered;
    if (!m_datoteka.open(nacin)) {
        Stanje(Beseda("@idNapakaDatoteke") + m_datoteka.fileName() + QStringLiteral(" (") +
               m_datoteka.errorString() + QStringLiteral(")"));
        return false;
    }
    if (!nadaljuj || (m_datoteka.size() == m_zamikPrejema && m_datoteka.seek(m_zamikPrejema)))
        return true;
    m_datoteka.close();
    Neuspeh(m_lokalnaPot);
    return false;
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
    Streznik1.Close();
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
    // The local file is touched only now that the server is sending it.
    if (JePrejem() && !OdpriPrejem())
        PocistiPrenos();
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
            ZapriStreznik();
            KoncajPodatkovno();
            return 0;
        }
        m_surovSeznam.append(m_prejemni.data(), skupaj);
    } else if (JePrejem() && m_datoteka.isOpen() && m_datoteka.write(m_prejemni.data(), skupaj) != skupaj) {
        Stanje(Beseda("@idNapakaDatoteke") + m_datoteka.fileName() + QStringLiteral(" (") +
               m_datoteka.errorString() + QStringLiteral(")"));
        PocistiPrenos();
        return 0;
    }
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
    // The success status waits for the server's final reply (PorociloPrejema).
    if (m_datoteka.isOpen() && JePrejem()) {
        const bool zapisano = m_datoteka.flush();
        m_datoteka.close();
        if (!zapisano) {
            m_podatkiNapaka = true;
            Stanje(Beseda("@idNapakaDatoteke") + m_datoteka.fileName());
        }
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
    PreveriOdlozeno();
    IzvediPoPrenosu();
}

bool TFtpSeja::PreveriIme(const QString& name)
{
    if (IsSafeLocalName(name) && VeljavenUkaz(QStringLiteral("RETR ") + name))
        return true;
    if (IsSafeLocalName(name))
        return false; // VeljavenUkaz has said why
    Stanje(Beseda("@idNevarnoIme") + name);
    return false;
}

void TFtpSeja::PrenesiVnos(const TRemoteEntry& entry)
{
    if (!PripraviPrenos()) {
        m_prenosTece = false;
        return;
    }
    m_zamikPrejema = 0;
    m_pricakovanaVelikost = entry.size;
    m_velikostBesedilo = entry.sizeText;
    ZacniUkazPrenosa(QStringLiteral("RETR"), entry.name, QStringLiteral("RETR ") + entry.name, ozPrenos);
}

void TFtpSeja::Pla1PrenesiClick()
{
    if (m_view->RemoteFocusedRow() < 0)
        return;
    // Copies: a listing during the waits below may rebuild the table.
    std::vector<std::pair<int, TRemoteEntry>> izbrani;
    for (int vrstica : m_view->RemoteSelectedRows())
        if (vrstica >= 0 && vrstica < m_seznam.Count())
            izbrani.emplace_back(vrstica, m_seznam.At(vrstica));
    const std::shared_ptr<bool> alive = m_alive;
    for (const auto& [vrstica, vnos] : izbrani) {
        m_view->SetRemoteRowSelected(vrstica, false);
        if (vnos.kind != ekFile || !PreveriIme(vnos.name))
            continue;
        if (!Pocakaj([this] { return !m_prenosTece && !m_cakaKonec; }) || !*alive || !Odjemalec1.Connected())
            return;
        m_prenosTece = true;
        m_faza = fzPrejem;
        m_imeDatoteke = vnos.name;
        if (QFileInfo::exists(LokalnaPot(m_imeDatoteke))) {
            const TPrepisiIzbira izbira = m_view->PrepisiDialog();
            if (!*alive || !Odjemalec1.Connected())
                return;
            if (izbira == piNadaljuj) {
                m_faza = fzNadaljujPrejem;
                m_zamikPrejema = QFileInfo(LokalnaPot(m_imeDatoteke)).size();
                if (!PripraviPrenos()) {
                    m_prenosTece = false;
                    continue;
                }
                m_pricakovanaVelikost = vnos.size;
                m_velikostBesedilo = vnos.sizeText;
                const QString zamik = QString::number(m_zamikPrejema);
                ZacniUkazPrenosa(QStringLiteral("REST"), zamik, QStringLiteral("REST ") + zamik, ozREST);
                continue;
            }
            if (izbira == piPrekini) {
                m_prenosTece = false;
                continue;
            }
            if (izbira == piPreimenuj) {
                QString novo = m_imeDatoteke;
                m_view->InputBox(
                    m_view->GetWord(QStringLiteral("@idVnesiIme")),
                    m_view->GetWord(QStringLiteral("@idPre")) + m_imeDatoteke + QStringLiteral("\" v"), novo);
                if (!IsSafeLocalName(novo)) {
                    Stanje(Beseda("@idNevarnoIme") + novo);
                    m_prenosTece = false;
                    continue;
                }
                m_imeDatoteke = novo;
            }
        }
        PrenesiVnos(vnos);
    }
}

void TFtpSeja::Pla2PrenesiClick()
{
    if (!m_view->LocalHasFocusedEntry())
        return;
    const std::vector<TLokalniVnos> izbrani = m_view->LocalSelectedEntries();
    const std::shared_ptr<bool> alive = m_alive;
    for (const TLokalniVnos& vnos : izbrani) {
        m_view->DeselectLocalEntry(vnos.caption);
        if (!Pocakaj([this] { return !m_prenosTece && !m_cakaKonec; }) || !*alive || !Odjemalec1.Connected())
            return;
        m_faza = fzOddaja;
        m_prenosTece = true;
        m_oddajaTece = true;
        m_poslanoBajtov = 0;
        m_izvornoIme = vnos.caption;
        m_imeDatoteke = vnos.caption;
        // The size is read from the file itself: the pane's text may be rounded.
        m_pricakovanaVelikost = QFileInfo(LokalnaPot(m_izvornoIme)).size();
        m_velikostBesedilo = GroupThousands(QString::number(m_pricakovanaVelikost));

        int obstojeci = -1;
        for (int i = 1; i < m_seznam.Count() && obstojeci < 0; ++i)
            if (m_seznam.At(i).name.compare(m_izvornoIme, Qt::CaseInsensitive) == 0)
                obstojeci = i;
        if (obstojeci > 0) {
            const qint64 velikostNaStrezniku = m_seznam.At(obstojeci).size;
            const TPrepisiIzbira izbira = m_view->PrepisiDialog();
            if (!*alive || !Odjemalec1.Connected())
                return;
            if (izbira == piNadaljuj) {
                if (!VeljavenUkaz(QStringLiteral("STOR ") + m_izvornoIme)) {
                    m_prenosTece = m_oddajaTece = false;
                    continue;
                }
                m_view->AnimateLogo(true);
                m_faza = fzNadaljujOddajo;
                m_zamikOddaje = velikostNaStrezniku;
                if (!PripraviPrenos())
                    continue;
                const QString zamik = QString::number(m_zamikOddaje);
                ZacniUkazPrenosa(QStringLiteral("REST"), zamik, QStringLiteral("REST ") + zamik, ozREST);
                continue;
            }
            if (izbira == piPrekini) {
                m_prenosTece = m_oddajaTece = false;
                continue;
            }
            if (izbira == piPreimenuj)
                m_view->InputBox(QStringLiteral("Kvado - vnesi novo ime datoteke"),
                                 QStringLiteral("Preimenuj \"") + m_izvornoIme + QStringLiteral("\" v"),
                                 m_imeDatoteke);
        }
        if (!VeljavenUkaz(QStringLiteral("STOR ") + m_imeDatoteke)) {
            m_prenosTece = m_oddajaTece = false;
            continue;
        }
        m_view->AnimateLogo(true);
        if (!PripraviPrenos())
            continue;
        ZacniUkazPrenosa(QStringLiteral("STOR"), m_izvornoIme, QStringLiteral("STOR ") + m_imeDatoteke,
                         ozPrenos);
    }
}

void TFtpSeja::STOPFTPClick()
{
    if (!Odjemalec1.Connected())
        return;
    m_faza = fzPrekini;
    Dnevnik(QStringLiteral("ABOR"));
    Poslji(QStringLiteral("ABOR"));
    // The aborted command's reply ends nothing now; the part received so far
    // stays, ready to resume.
    PozabiPrenos();
    Omogoci({siPla1UsMapo, siPla1Skoci, siPla1OsveziFTP, siPla2Prenesi}, true);
}
