// Passive data connections: EPSV or PASV, the announced port, the connect of
// Odjemalec2, the transfer's first command (at once in active mode, after the
// EPSV/PASV reply in passive mode), and the switch from active mode when the
// server cannot connect back.
#include "ftp/ftpseja.h"

#include "net/sockerror.h"
#include "net/winsockapi.h"

#include <QRegularExpression>

void TFtpSeja::ZahtevajPasivno()
{
    m_prenos.sprejeto = false;
    m_prenos.cakaNaslov = true;
    const QString ukaz = m_bezEpsv ? QStringLiteral("PASV") : QStringLiteral("EPSV");
    Dnevnik(ukaz);
    Poslji(ukaz, ozPasivno);
}

int TFtpSeja::PasivnaVrata(int koda, const QString& vrstica)
{
    // 229: "(|||port|)" with any printable delimiter (RFC 2428).
    static const QRegularExpression epsv(QStringLiteral("\\(([!-~])\\1\\1(\\d{1,5})\\1\\)"));
    // 227: six numbers, none longer than three digits, not part of a longer list.
    static const QRegularExpression pasv(QStringLiteral(
        "(?<![\\d,])(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})(?![\\d,])"));
    const QString besedilo = vrstica.mid(4);
    if (koda == 229) {
        const QRegularExpressionMatch m = epsv.match(besedilo);
        const int vrata = m.hasMatch() ? m.captured(2).toInt() : 0;
        return vrata <= 0xFFFF ? vrata : 0;
    }
    const QRegularExpressionMatch m = pasv.match(besedilo);
    if (koda != 227 || !m.hasMatch())
        return 0;
    int deli[6];
    for (int i = 0; i < 6; ++i) {
        deli[i] = m.captured(i + 1).toInt();
        if (deli[i] > 255)
            return 0;
    }
    // The announced host is never used: a server behind NAT announces a
    // private address, a hostile one a third host. The control peer is used.
    return deli[4] * 256 + deli[5];
}

void TFtpSeja::OdgovorPasivno(int koda, const QString& vrstica)
{
    if (m_prenos.vrsta == fzNic || !m_prenos.cakaNaslov)
        return;
    if (koda >= 500 && !m_bezEpsv) { // no EPSV here: PASV, for the rest of the session
        m_bezEpsv = true;
        return ZahtevajPasivno();
    }
    if (koda >= 500 && m_padecPasivno) { // passive came from a failed active transfer: back to active
        m_pasivno = false;
        m_padecPasivno = false;
        m_brezPasivnega = true;
        Stanje(Beseda("@idAktivno"));
        return PonoviPrenos(m_prenos.ponovitve450);
    }
    if (koda >= 300)
        return KoncajPrenos(false, Neuspeh(vrstica));
    const int vrata = PasivnaVrata(koda, vrstica);
    if (vrata <= 0)
        return KoncajPrenos(false, Beseda("@idNapacenPasiv") + vrstica);
    ZapriStreznik();
    QString napaka;
    if (!Podatkovna.Povezi(vrata, Odjemalec1.TimeOut(), napaka))
        return KoncajPrenos(false, Neuspeh(napaka));
    m_prenos.cakaNaslov = false;
    PosljiUkazPrenosa();
}

void TFtpSeja::PasivnaNeuspela(TSocketBase* socket)
{
    if (m_prenos.vrsta == fzNic)
        return ZapriStreznik();
    KoncajPrenos(false, Neuspeh(OpisPrenosa() + QStringLiteral(" (") + SocketErrorText(socket->LastError()) +
                                QStringLiteral(")")));
}

bool TFtpSeja::PoskusiPasivno(int koda)
{
    // Only a transfer whose server never connected back, in active mode.
    if (m_pasivno || m_brezPasivnega || m_prenos.sprejeto || m_prenos.vrsta == fzNic ||
        (koda != 0 && koda != 425 && !m_prenos.portZavrnjen))
        return false;
    PreklopiNaPasivno();
    return true;
}

void TFtpSeja::PreklopiNaPasivno()
{
    if (m_odgovori.CakaTekoci()) // the server may still wait to connect back for it
        Uskladi();
    m_pasivno = true;
    m_padecPasivno = true;
    Stanje(Beseda("@idPasivno"));
    PonoviPrenos(m_prenos.ponovitve450);
}

bool TFtpSeja::ZacniUkazPrenosa(const QString& label, const QString& argument, const QString& line,
                                TOdgovorZa za)
{
    JaviZacetek();
    m_prenos.ukaz = {label, argument, line, za};
    if (!m_prenos.cakaNaslov)
        return PosljiUkazPrenosa();
    // Passive: sent once the EPSV/PASV reply has been read (OdgovorPasivno).
    // Refused now if it could never be sent, so the wait does not begin.
    if (!VeljavenUkaz(line)) {
        KoncajPrenos(false);
        return false;
    }
    m_prenos.cakaKonec = true;
    return true;
}

bool TFtpSeja::PosljiUkazPrenosa()
{
    if (!Ukaz(m_prenos.ukaz.label, m_prenos.ukaz.argument, m_prenos.ukaz.line, m_prenos.ukaz.za)) {
        KoncajPrenos(false); // never sent: Ukaz has said why
        return false;
    }
    m_prenos.cakaKonec = true;
    return true;
}
