// Catching up after the session has given up by itself: a command the server
// never answered (a stalled transfer, a REST left hanging, a data connection
// that never came) is aborted with ABOR, and no other command goes out until
// the server has answered what it owes, so every later reply answers its own
// command. A server that does not answer even that loses the connection.
#include "ftp/ftpseja.h"

#include <utility>

void TFtpSeja::Uskladi()
{
    if (m_uskladitev || !Odjemalec1.Connected())
        return;
    Dnevnik(QStringLiteral("ABOR"));
    if (!Poslji(QStringLiteral("ABOR"), ozABOR))
        return;
    m_uskladitev = true;
    m_rokUskladitve.start(qMax(Odjemalec1.TimeOut(), 1) * 1000);
}

void TFtpSeja::OdgovorUskladitve(int koda)
{
    if (koda >= 200 && koda <= 599 && m_odgovori.Uskladi(koda))
        KonecUskladitve();
}

void TFtpSeja::KonecUskladitve()
{
    m_uskladitev = false;
    m_rokUskladitve.stop();
    // What was given meanwhile goes out now, in order.
    for (const auto& [vrstica, za] : std::exchange(m_zadrzano, {}))
        Poslji(vrstica, za);
    if (m_prenos.vrsta != fzNic) // a transfer prepared meanwhile: its stall watch starts now
        Dejavnost();
    IzvediPoPrenosu();
    JaviPripravljen();
}

void TFtpSeja::ZapriKontrolno(const QString& razlog)
{
    Stanje(razlog);
    Omogoci({siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}, false);
    Odjemalec1.Close();
    m_odgovori.Pocisti();
    m_poPrenosu.clear();
    PrekiniPrenos();
    Zaprto(razlog);
}
