// How a transfer ends: the one place that decides its verdict, from its final
// reply, how its data connection ended, the bytes counted and whether the
// local file was written; and the stall watch that bounds every wait.
#include "ftp/ftpseja.h"

#include "ftp/listingparser.h"

#include <algorithm>

namespace {
// A server that answers 450 for ever gets no more than this many new ports per transfer.
constexpr int kNajvec450 = 3;
} // namespace

void TFtpSeja::Dejavnost()
{
    m_rok = QDeadlineTimer(qint64(qMax(Odjemalec1.TimeOut(), 1)) * 1000);
}

void TFtpSeja::Nadzor()
{
    if (m_vrstaPrenosa == fzNic) {
        m_nadzor.stop();
        return;
    }
    if (!Odjemalec1.Connected())
        return PrekiniPrenos();
    if (!m_rok.hasExpired()) // no data and no reply for the connection time-out
        return;
    // In active mode a server that was given the transfer command but has
    // neither connected back nor answered it gets one passive try.
    const bool ukazPoslan = std::any_of(m_dolgovani.begin(), m_dolgovani.end(), [this](const TDolg& d) {
        return d.za == ozPrenos && d.prenos == m_stevilkaPrenosa;
    });
    if (!(ukazPoslan && m_koncniOdgovor == 0 && PoskusiPasivno(0)))
        KoncajPrenos(false, Beseda("@idCasPotekel") + OpisPrenosa());
}

QString TFtpSeja::OpisPrenosa() const
{
    return m_vrstaPrenosa == fzLIST ? QStringLiteral("LIST") : m_lokalnaPot;
}

bool TFtpSeja::PrekratekPrejem() const
{
    // The size the server announced, else the listed one. The count includes a
    // resume's offset, so either reading of a resumed "(N bytes)" is met.
    const qint64 napovedano = m_objavljenaVelikost >= 0 ? m_objavljenaVelikost : m_pricakovanaVelikost;
    return napovedano > 0 && m_prejetoBajtov < napovedano;
}

void TFtpSeja::PreveriPrenos()
{
    if (m_vrstaPrenosa == fzNic || m_koncniOdgovor == 0)
        return; // the final reply is still awaited (the stall watch bounds the wait)
    if (m_koncniOdgovor >= 400) {
        if (m_vrstaPrenosa == fzLIST && m_prirezan)
            return KoncajPrenos(true); // the server complains of the cut: its beginning is shown
        if (m_koncniOdgovor == 550 && JeOddaja()) {
            m_view->AnimateLogo(false);
            return KoncajPrenos(false, Beseda("@idNiPravic"));
        }
        if (m_koncniOdgovor == 550 && !m_sprejeto)
            return KoncajPrenos(false); // a refused RETR or LIST is only shown
        return KoncajPrenos(false, Neuspeh(m_sprejeto && JePrejem() ? m_lokalnaPot : m_koncnaVrstica));
    }
    if (JeOddaja()) { // the data connection is ours to close: the reply decides at once
        const bool poslano = m_sprejeto && !m_oddajaTece && !m_podatkiNapaka;
        return KoncajPrenos(poslano, poslano ? QString() : Neuspeh(m_lokalnaPot));
    }
    if (!m_sprejeto || m_podatkovna)
        return; // its data connection has not come, or still runs
    if (m_vrstaPrenosa == fzLIST)
        return KoncajPrenos(true);
    if (m_podatkiNapaka)
        return KoncajPrenos(false, Neuspeh(m_lokalnaPot));
    if (PrekratekPrejem()) {
        const qint64 napovedano = m_objavljenaVelikost >= 0 ? m_objavljenaVelikost : m_pricakovanaVelikost;
        return KoncajPrenos(false, Beseda("@idNepopoln") + m_lokalnaPot +
                                       QStringLiteral(" (%1/%2)").arg(m_prejetoBajtov).arg(napovedano));
    }
    KoncajPrenos(true);
}

void TFtpSeja::KoncajPrenos(bool uspeh, const QString& status)
{
    const TFaza vrsta = m_vrstaPrenosa;
    if (vrsta == fzNic)
        return;
    const bool sprejeto = m_sprejeto;
    const bool odgovorjeno = m_koncniOdgovor / 100 == 2;
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
        m_view->RefreshLocal(); // the file, or the part of it received
        break;
    case fzOddaja:
    case fzNadaljujOddajo:
        m_zamikOddaje = 0;
        if (odgovorjeno && povezan) {
            m_view->Efekti(1);
            Izpisi();
        }
        break;
    case fzLIST:
        if (uspeh) {
            RazcleniSeznam();
            m_view->Efekti(1);
        }
        break;
    default:
        break;
    }
    IzvediPoPrenosu();
}

void TFtpSeja::PrekiniPrenos()
{
    KoncajPrenos(false, JePrejem() || JeOddaja() ? Neuspeh(m_lokalnaPot) : QString());
    PocistiPrenos(); // also the flags of a command that had not prepared its transfer yet
}

void TFtpSeja::Ponovi450(const QString& vrstica)
{
    if (m_ponovitve450 >= kNajvec450)
        return KoncajPrenos(false, Neuspeh(vrstica));
    NovaVrata();
    PonoviPrenos(m_ponovitve450 + 1);
}

void TFtpSeja::PonoviPrenos(int ponovitve450)
{
    const TFaza vrsta = m_vrstaPrenosa;
    const QString pot = m_lokalnaPot;
    const bool oddaja = JeOddaja();
    TUkazPrenosa ukaz = m_ukazPrenosa;
    if (vrsta == fzNadaljujPrejem && m_sprejeto) { // what arrived already extends the resume
        ZapriDatoteko();
        struct stat podatki {};
        m_zamikPrejema = Podatki(pot, podatki) ? qint64(podatki.st_size) : 0;
        ukaz.argument = QString::number(m_zamikPrejema);
        ukaz.line = QStringLiteral("REST ") + ukaz.argument;
    }
    // The same transfer again, from its first command, at a new port.
    PozabiPrenos();
    m_prenosTece = true;
    m_oddajaTece = oddaja;
    m_poslanoBajtov = 0;
    if (!PripraviPrenos(vrsta, pot)) {
        PocistiPrenos();
        return;
    }
    m_ponovitve450 = ponovitve450;
    ZacniUkazPrenosa(ukaz.label, ukaz.argument, ukaz.line, ukaz.za);
}
