// How a transfer ends: the one place that decides its verdict, from its final
// reply, how its data connection ended, the bytes counted and whether the
// local file was written; and the stall watch that bounds every wait.
#include "ftp/ftpseja.h"

#include "ftp/listingparser.h"

namespace {
// A server that answers 450 for ever gets no more than this many new ports per transfer.
constexpr int kNajvec450 = 3;
} // namespace

void TFtpSeja::Dejavnost()
{
    m_prenos.rok = QDeadlineTimer(qint64(qMax(Odjemalec1.TimeOut(), 1)) * 1000);
}

void TFtpSeja::Nadzor()
{
    if (m_prenos.vrsta == fzNic) {
        m_nadzor.stop();
        return;
    }
    if (!Odjemalec1.Connected())
        return PrekiniPrenos();
    if (!m_prenos.rok.hasExpired()) // no data and no reply for the connection time-out
        return;
    // In active mode a server that was given the transfer command but has
    // neither connected back nor answered it gets one passive try.
    if (!(m_odgovori.UkazPrenosaCaka() && m_prenos.koncniOdgovor == 0 && PoskusiPasivno(0)))
        CasPotekel();
}

void TFtpSeja::CasPotekel()
{
    if (m_odgovori.CakaTekoci()) // a command of it the server may still be inside
        Uskladi();
    KoncajPrenos(false, Beseda("@idCasPotekel") + OpisPrenosa());
}

QString TFtpSeja::OpisPrenosa() const
{
    return m_prenos.vrsta == fzLIST ? QStringLiteral("LIST") : m_prenos.lokalnaPot;
}

void TFtpSeja::PreveriPrenos()
{
    const TSodba sodba = m_prenos.Sodba(m_seznam.Prirezan(), m_oddajaTece);
    switch (sodba) {
    case sdCakaj:
        return;
    case sdUspeh:
        if (JePrejem() && !m_prenos.odprt) { // no byte came: the (empty) file is made only now
            if (!OdpriPrejem())
                return;
            m_prenos.ZapriDatoteko();
        }
        return KoncajPrenos(true);
    case sdPrirezanSeznam:
        return KoncajPrenos(true);
    case sdNiPravic:
        m_view->AnimateLogo(false);
        return KoncajPrenos(false, Beseda("@idNiPravic"));
    case sdZavrnjeno:
        return KoncajPrenos(false); // a refused RETR or LIST is only shown
    case sdNeuspehOdgovor:
        return KoncajPrenos(false, Neuspeh(m_prenos.koncnaVrstica));
    case sdNeuspehDatoteka:
        return KoncajPrenos(false, Neuspeh(m_prenos.lokalnaPot));
    case sdNepotrjen:
        return KoncajPrenos(false, Beseda("@idNepotrjenKonec") + OpisPrenosa() +
                                       QStringLiteral(" (%1)").arg(m_prenos.prejeto));
    case sdNepopoln:
    case sdPredolg:
        return KoncajPrenos(false, Beseda(sodba == sdNepopoln ? "@idNepopoln" : "@idPredolg") +
                                       m_prenos.lokalnaPot +
                                       QStringLiteral(" (%1/%2)").arg(m_prenos.prejeto).arg(m_prenos.Napovedano()));
    }
}

void TFtpSeja::KoncajPrenos(bool uspeh, const QString& status)
{
    const TFaza vrsta = m_prenos.vrsta;
    if (vrsta == fzNic)
        return;
    const bool sprejeto = m_prenos.sprejeto;
    const bool odgovorjeno = m_prenos.koncniOdgovor / 100 == 2;
    const QString vrstica = m_prenos.koncniOdgovor ? m_prenos.koncnaVrstica : QString();
    if (!uspeh && m_odgovori.PrenosCaka()) // given up before the server answered its command
        Uskladi();
    // A queue operation's transfer: the verdict is all; the user's after-effects do not follow.
    const bool zaVrsto = ZaVrsto() && (m_opravilo.korak == kkPrenos || m_opravilo.korak == kkSeznam);
    PozabiPrenos(); // its late replies act no more
    m_view->AnimateLogo(false);
    m_view->SetRemoteBusyCursor(false);
    const bool povezan = Odjemalec1.Connected();
    if (sprejeto && povezan) // what its data connection disabled
        Omogoci({siPla1Prenesi, siPla1IzberiVse, siPla1OsveziFTP, siPla1Izbrisi, siPla1UsMapo, siPla1Skoci,
                 siPla2Prenesi},
                true);
    if (!status.isEmpty())
        Stanje(status);
    else if (uspeh)
        Stanje(Beseda(vrsta == fzLIST                          ? "@idPriMapo"
                      : vrsta == fzPrejem || vrsta == fzOddaja ? "@idDatUsp"
                                                               : "@idNadalj"));
    switch (vrsta) {
    case fzPrejem:
    case fzNadaljujPrejem:
        if (!zaVrsto)
            m_view->RefreshLocal(); // the file, or the part of it received
        break;
    case fzOddaja:
    case fzNadaljujOddajo:
        m_prenos.zamikOddaje = 0;
        if (odgovorjeno && povezan && !zaVrsto) {
            m_view->Efekti(1);
            Izpisi();
        }
        break;
    case fzLIST:
        if (uspeh && !zaVrsto) {
            RazcleniSeznam();
            m_view->Efekti(1);
        }
        break;
    default:
        break;
    }
    JaviKonec(uspeh, false, status.isEmpty() && !uspeh ? vrstica : status);
    if (m_utisano && Odjemalec1.Connected()) // a flood of replies waited for this listing's end
        return ZapriKontrolno(Beseda("@idPredolgOdgovor"));
    IzvediPoPrenosu();
    JaviPripravljen();
}

void TFtpSeja::PrekiniPrenos()
{
    KoncajPrenos(false, JePrejem() || JeOddaja() ? Neuspeh(m_prenos.lokalnaPot) : QString());
    PocistiPrenos(); // also the flags of a command that had not prepared its transfer yet
}

void TFtpSeja::Ponovi450(const QString& vrstica)
{
    if (m_prenos.ponovitve450 >= kNajvec450)
        return KoncajPrenos(false, Neuspeh(vrstica));
    m_vrata.Nova();
    PonoviPrenos(m_prenos.ponovitve450 + 1);
}

void TFtpSeja::PonoviPrenos(int ponovitve450)
{
    if (!Odjemalec1.Connected())
        return PrekiniPrenos();
    const TFaza vrsta = m_prenos.vrsta;
    const QString pot = m_prenos.lokalnaPot;
    const bool oddaja = JeOddaja();
    TPrenos::TUkaz ukaz = m_prenos.ukaz;
    if (vrsta == fzNadaljujPrejem && m_prenos.sprejeto) { // what arrived already extends the resume
        m_prenos.ZapriDatoteko();
        struct stat podatki {};
        m_prenos.zamikPrejema = LokalniPodatki(pot, podatki) ? qint64(podatki.st_size) : 0;
        ukaz.argument = QString::number(m_prenos.zamikPrejema);
        ukaz.line = QStringLiteral("REST ") + ukaz.argument;
    }
    // The same transfer again, from its first command, at a new port.
    PozabiPrenos();
    m_prenosTece = true;
    m_oddajaTece = oddaja;
    m_prenos.poslano = 0;
    if (!PripraviPrenos(vrsta, pot)) {
        PocistiPrenos();
        return;
    }
    m_prenos.ponovitve450 = ponovitve450;
    ZacniUkazPrenosa(ukaz.label, ukaz.argument, ukaz.line, ukaz.za);
}
