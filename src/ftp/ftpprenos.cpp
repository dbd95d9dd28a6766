// The data connection: PORT and TYPE, the data events, downloads, uploads,
// resume, the transfer-type choice and Stop.
#include "ftp/ftpseja.h"

#include "ftp/listingparser.h"
#include "net/sockerror.h"
#include "net/streamsocket.h"

#include <QDir>

#include <algorithm>

QString TFtpSeja::PortArgument(quint32 address, int port)
{
    return PikcastNaslov(address).replace(QLatin1Char('.'), QLatin1Char(',')) +
           QStringLiteral(",%1,%2").arg(port / 256).arg(port % 256);
}

bool TFtpSeja::PripraviPrenos()
{
    return PripraviPrenos(m_faza, {});
}

bool TFtpSeja::ObjaviVrata()
{
    ZapriStreznik(); // a data connection of no transfer is forgotten before it closes
    QString napaka;
    if (!Podatkovna.Poslusaj(m_vrata, napaka)) {
        Stanje(napaka);
        return false;
    }
    m_prenos.sprejeto = false;
    m_prenos.portZavrnjen = false;
    const QString argument = PortArgument(Podatkovna.LokalniNaslov(), m_vrata.Vrata());
    Dnevnik(QStringLiteral("PORT"), argument);
    Poslji(QStringLiteral("PORT ") + argument, ozPORT);
    m_vrata.Naslednja();
    return true;
}

bool TFtpSeja::PripraviPrenos(TFaza vrsta, const QString& pot)
{
    // A transfer still prepared will never be completed now: it has failed
    // (and nothing that waits for its end runs in the middle of this one).
    if (m_prenos.vrsta != fzNic && (JePrejem() || JeOddaja()))
        Stanje(Neuspeh(m_prenos.lokalnaPot));
    if (m_prenos.vrsta != fzNic || m_prenos.podatkovna)
        PocistiPrenos();
    // The kind and the local file are fixed now: later commands change the phase, not them.
    m_odgovori.NovPrenos();
    m_prenos.Pripravi(vrsta, pot);
    if (pot.isEmpty() && (JePrejem() || JeOddaja()))
        m_prenos.lokalnaPot = LokalnaPot(JePrejem() ? m_imeDatoteke : m_izvornoIme);
    m_seznam.Zacni();
    if (JeOddaja() && !OdpriOddajo()) {
        m_prenos.vrsta = fzNic;
        return false;
    }
    if (m_pasivno && m_prenos.vrsta != fzNic) {
        ZahtevajPasivno();
    } else if (!m_pasivno && !ObjaviVrata()) {
        PocistiPrenos();
        return false;
    }
    m_prenos.oddajaZaceta = false;
    if (m_prenos.vrsta != fzNic) { // its stall watch starts
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

bool TFtpSeja::OdpriPrejem()
{
    if (!JePrejem() || m_prenos.odprt)
        return true;
    m_prenos.odprt = true;
    QString napaka = Beseda("@idNapakaDatoteke") + m_prenos.lokalnaPot;
    QString razlog;
    switch (m_prenos.OdpriPrejem(razlog)) {
    case TPrenos::opOdprto:
        return true;
    case TPrenos::opSpremenjen:
        napaka = Neuspeh(m_prenos.lokalnaPot);
        break;
    case TPrenos::opNapaka:
        if (!razlog.isEmpty())
            napaka += QStringLiteral(" (") + razlog + QStringLiteral(")");
        break;
    }
    KoncajPrenos(false, napaka);
    return false;
}

bool TFtpSeja::OdpriOddajo()
{
    if (m_prenos.OdpriOddajo())
        return true;
    Stanje(Beseda("@idNapakaBranja") + m_prenos.lokalnaPot);
    m_prenosTece = false;
    m_oddajaTece = false;
    m_view->AnimateLogo(false);
    return false;
}

void TFtpSeja::ZapriStreznik()
{
    // Forgotten first: Close hands the waiting input to OnRead, which must not
    // take it (a server that keeps sending would keep Close going).
    m_prenos.podatkovna = nullptr;
    m_prenos.cakaNaslov = false;
    Podatkovna.Zapri();
}

void TFtpSeja::PozabiPrenos()
{
    m_odgovori.NovPrenos(); // its owed replies no longer act
    ZapriStreznik();
    m_prenos.Pozabi();
    m_prenosTece = false;
    m_oddajaTece = false;
    m_nadzor.stop();
    m_view->SetProgress(0);
    m_view->ShowProgressText(false);
}

void TFtpSeja::PocistiPrenos()
{
    const bool tekel = m_prenos.vrsta != fzNic;
    const QString pot = m_prenos.lokalnaPot;
    PozabiPrenos();
    m_view->AnimateLogo(false);
    m_view->SetRemoteBusyCursor(false);
    if (tekel) // given up without a verdict
        JaviKonec(false, false, Neuspeh(pot));
}

void TFtpSeja::PrikaziNapredek(qint64 count)
{
    const QString besedilo = GroupThousands(QString::number(count));
    if (m_prenos.vrsta == fzLIST) {
        m_view->SetStatusPanel(2, besedilo);
        return;
    }
    if (OnTransferProgress) // the file's bytes: an upload's count starts at zero after its offset
        OnTransferProgress(JeOddaja() ? m_prenos.zamikOddaje + count : count);
    m_view->ShowTransferred(count, m_prenos.pricakovanaVelikost);
    if (m_prenos.pricakovanaVelikost <= 0)
        return;
    const qint64 v = m_prenos.pricakovanaVelikost;
    const qint64 odstotek = count / v * 100 + count % v * 100 / v; // no overflow for any count
    m_view->SetProgress(int(std::clamp<qint64>(odstotek, 0, 100)));
    m_view->SetStatusPanel(2, besedilo + QStringLiteral("/") + m_prenos.velikostBesedilo);
}

void TFtpSeja::Streznik1Accept(TSockCtrl* sender, TSocketBase* socket)
{
    // Connected for a transfer that ended, or after the session ended (an
    // accept already on its way when the control connection broke): no transfer's.
    if ((sender == &Podatkovna.Odjemalec2 && m_prenos.vrsta == fzNic) || !Odjemalec1.Connected())
        return ZapriStreznik();
    m_prenos.podatkovna = socket;
    m_prenosTece = true;
    m_prenos.sprejeto = true;
    m_seznam.Zacni();
    m_view->AnimateLogo(true);
    m_view->SetRemoteBusyCursor(true);
    Omogoci({siPla1Prenesi, siPla1OsveziFTP, siPla1UsMapo, siPla1Izbrisi, siPla1Skoci, siPla2Prenesi}, false);
    m_view->ShowProgressText(true);
    m_prenos.prejeto = m_prenos.vrsta == fzNadaljujPrejem ? m_prenos.zamikPrejema : 0;
    Dejavnost();
    PrejemZdaj(); // the local file is touched only now that the server is sending it
}

void TFtpSeja::PrejemZdaj()
{
    if (!JePrejem())
        return;
    if (m_prenos.vrsta == fzPrejem && !m_prenos.retrSprejet && LokalnoObstaja(m_prenos.lokalnaPot))
        return;
    OdpriPrejem();
}

int TFtpSeja::Beri(TSocketBase* socket)
{
    // Receives into what is left of the buffer until the socket holds no more,
    // so the file gets one write per event (receives of 4096 bytes each held
    // downloads near 0.85 of curl). A receive error keeps what this batch has
    // read, marks the transfer failed and ends the data connection (broken
    // TLS, say, can carry nothing more, and its server may never close it).
    const int velikost = int(m_prenos.prejemni.size());
    int skupaj = 0;
    bool pokvarjena = false;
    try {
        while (skupaj < velikost) {
            const int n = socket->Recv(m_prenos.prejemni.data() + skupaj, velikost - skupaj);
            if (n <= 0)
                break;
            skupaj += n;
        }
    } catch (const ESockError&) {
        m_prenos.napaka = true;
        pokvarjena = true;
    }
    if (skupaj == 0) {
        if (pokvarjena)
            ZakljuciPodatkovno();
        return 0;
    }
    m_prenos.prejeto += skupaj;
    if (m_prenos.vrsta == fzLIST) {
        if (!m_seznam.Dodaj(m_prenos.prejemni.data(), skupaj)) { // what fits is kept, the rest stopped
            Stanje(Beseda("@idSeznamPrevelik"));
            m_prenos.napaka = true;
            ZapriStreznik();
            KoncajPodatkovno();
            return 0;
        }
    } else if (JePrejem()) {
        if (!OdpriPrejem()) // a file that waited for the server's word (PrejemZdaj)
            return 0;
        if (m_prenos.datoteka.isOpen() &&
            m_prenos.datoteka.write(m_prenos.prejemni.data(), skupaj) != skupaj) {
            KoncajPrenos(false, Beseda("@idNapakaDatoteke") + m_prenos.lokalnaPot + QStringLiteral(" (") +
                                    m_prenos.datoteka.errorString() + QStringLiteral(")"));
            return 0;
        }
    }
    Dejavnost();
    if (pokvarjena) {
        ZakljuciPodatkovno();
        return 0;
    }
    return skupaj;
}

void TFtpSeja::Streznik1Read(TSockCtrl*, TSocketBase* socket)
{
    if (socket != m_prenos.podatkovna) // only the data connection carries the transfer
        return;
    // Up to 128 KiB per event keeps the event rate down on fast links.
    if (Beri(socket) > 0 && m_faza != fzPrekini)
        PrikaziNapredek(m_prenos.prejeto);
}

// The server has started the STOR: only now may the data flow, since a
// server that connects at PORT would otherwise see the file end before STOR.
void TFtpSeja::ZacniOddajo()
{
    if (!JeOddaja())
        return;
    m_prenos.oddajaZaceta = true;
    if (m_prenos.podatkovna && m_oddajaTece)
        Streznik1Write(&Podatkovna.Streznik1, m_prenos.podatkovna);
}

void TFtpSeja::Streznik1Write(TSockCtrl*, TSocketBase* socket)
{
    if (socket != m_prenos.podatkovna || !m_prenos.oddajaZaceta)
        return;
    const auto prikazi = [this] { PrikaziNapredek(m_prenos.poslano); };
    const auto ponastavljena = [this] { // the server reset it: the upload has failed
        m_prenos.napaka = true;
        m_oddajaTece = false;
        ZapriStreznik();
        m_prenos.ZapriDatoteko();
    };
    while (m_oddajaTece) {
        while (m_prenos.neposlano > 0) {
            if (m_faza == fzPrekini)
                return;
            int n = 0;
            try {
                n = socket->Send(m_prenos.oddajni.data() + m_prenos.odmik, m_prenos.neposlano);
            } catch (const ESockError&) {
                return ponastavljena();
            }
            if (n <= 0)
                return prikazi(); // wait for the next write event
            Dejavnost();
            m_prenos.odmik += n;
            m_prenos.neposlano -= n;
            m_prenos.poslano += n;
        }
        qint64 prebrano = -1; // what the file gave: -1 when reading it failed, 0 at its end
        if (m_prenos.izDatoteke) {
            // Plain connections take the file straight from the kernel's cache
            // (half the copying and system calls of reading it into the send
            // buffer); TLS, or a file the system cannot send so, goes on
            // through the buffer from the same offset.
            if (m_faza == fzPrekini)
                return;
            TStreamSocket* const tok = TStreamSocket::Of(socket);
            int n = TStreamSocket::NotSendable;
            try {
                if (tok)
                    n = tok->SendFile(m_prenos.datoteka.handle(), m_prenos.polozaj, TPrenos::kNeposredniKos);
            } catch (const ESockError&) {
                return ponastavljena();
            }
            if (n == 0)
                return prikazi(); // wait for the next write event
            if (n > 0) {
                Dejavnost();
                m_prenos.polozaj += n;
                m_prenos.poslano += n;
                continue;
            }
            if (n == TStreamSocket::NotSendable) {
                m_prenos.izDatoteke = false;
                if (m_prenos.datoteka.isOpen() && m_prenos.datoteka.seek(m_prenos.polozaj))
                    continue;
            } else {
                prebrano = 0;
            }
        } else if (m_prenos.datoteka.isOpen()) {
            prebrano = m_prenos.datoteka.read(m_prenos.oddajni.data(), TPrenos::kOddajniBlok);
        }
        if (prebrano > 0) {
            m_prenos.neposlano = int(prebrano);
            m_prenos.odmik = 0;
            continue;
        }
        if (prebrano < 0) {
            // A reset instead of a close: the server must not take the part sent for the file.
            Stanje(Beseda("@idNapakaBranja") + m_prenos.lokalnaPot);
            m_prenos.napaka = true;
            m_prenos.podatkovna = nullptr; // forgotten before the close hands on its input
            socket->AbortiveClose();
        }
        // The end of the file: closing the data connection completes it on the server.
        m_oddajaTece = false;
        ZapriStreznik();
        m_prenos.ZapriDatoteko();
        prikazi();
    }
}

void TFtpSeja::Streznik1Disconnect(TSockCtrl*, TSocketBase* socket)
{
    if (socket != m_prenos.podatkovna)
        return;
    // A reset, not the end of the data, unless the server confirmed the end
    // in band first (TLS): whatever arrived before the close is read before
    // that is judged, and reading clears the socket's error.
    const bool ponastavljena = socket->LastError() != 0;
    while (m_prenos.podatkovna == socket && Beri(socket) > 0) {
    }
    if (m_prenos.podatkovna != socket) // Beri has ended the transfer itself
        return;
    if (ponastavljena && !TPodatkovnaPovezava::KonecPotrjen(socket))
        m_prenos.napaka = true;
    m_prenos.nepotrjen = TPodatkovnaPovezava::KonecNepotrjen(socket);
    ZakljuciPodatkovno();
}

void TFtpSeja::ZakljuciPodatkovno()
{
    // The verdict waits for the server's final reply too (PreveriPrenos).
    if (m_prenos.datoteka.isOpen() && JePrejem()) {
        const bool zapisano = m_prenos.datoteka.flush();
        m_prenos.datoteka.close();
        if (!zapisano)
            return KoncajPrenos(false, Beseda("@idNapakaDatoteke") + m_prenos.lokalnaPot);
    } else if (m_oddajaTece) { // the server ended an upload early
        m_oddajaTece = false;
        m_prenos.napaka = true;
        m_prenos.ZapriDatoteko();
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
