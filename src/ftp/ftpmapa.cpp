// The current remote folder: the 257 that names it, and its listing (MLSD
// where the connection has it, else LIST) read into the remote pane.
#include "ftp/ftpseja.h"

QString TFtpSeja::Pot257(const QString& vrstica)
{
    // RFC 959: the name opens with a quote after a blank, a doubled quote
    // inside it stands for one, and a single quote closes it; the closing
    // quote must be followed by a blank (a name without one stays unread).
    const qsizetype odprt = vrstica.indexOf(QLatin1String(" \""));
    if (odprt < 0)
        return {};
    QString pot;
    for (qsizetype i = odprt + 2; i < vrstica.size(); ++i) {
        if (vrstica.at(i) != QLatin1Char('"')) {
            pot += vrstica.at(i);
        } else if (i + 1 < vrstica.size() && vrstica.at(i + 1) == QLatin1Char('"')) {
            pot += QLatin1Char('"');
            ++i;
        } else {
            return i + 1 < vrstica.size() && vrstica.at(i + 1) == QLatin1Char(' ') ? pot : QString();
        }
    }
    return {};
}

void TFtpSeja::Trenutna257(const QString& line)
{
    QString mapa = Pot257(line.left(255));
    // Some servers name a new directory relative to the current one: it is shown whole.
    if (m_faza == fzMKD && !mapa.isEmpty() && !mapa.startsWith(QLatin1Char('/')) &&
        m_trenutnaMapa.startsWith(QLatin1Char('/')))
        mapa = m_trenutnaMapa +
               (m_trenutnaMapa.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + mapa;
    m_trenutnaMapa = mapa;
    m_view->SetCaption(QStringLiteral("Kvado - [") + m_parametri.host + m_trenutnaMapa + QStringLiteral("]"));
    Izpisi();
}

void TFtpSeja::Izpisi()
{
    m_faza = fzLIST;
    if (!PripraviPrenos())
        return;
    m_seznam.SetStrojni(m_mlsd);
    const QString ukaz = m_mlsd ? QStringLiteral("MLSD") : QStringLiteral("LIST");
    ZacniUkazPrenosa(ukaz, {}, ukaz, ozPrenos);
}

void TFtpSeja::BrezMlsd()
{
    if (ZaVrsto() && m_opravilo.korak == kkSeznam) { // the queue's MLSD <folder>: CWD and LIST from now on
        m_mlsd = false;
        m_seznam.SetStrojni(false);
        PozabiPrenos();
        return KorakOpravila(m_ozadje ? kkCwd : kkPwd);
    }
    // The server offered MLSD but does not take it: LIST from now on, this
    // listing included (at a new port, as after a 450).
    m_mlsd = false;
    m_seznam.SetStrojni(false);
    m_prenos.ukaz = {QStringLiteral("LIST"), {}, QStringLiteral("LIST"), ozPrenos};
    PonoviPrenos(m_prenos.ponovitve450);
}

void TFtpSeja::SporociNeprebrane()
{
    const TUnreadLines& neprebrane = m_seznam.Neprebrane();
    for (const QString& vrstica : neprebrane.lines)
        Stanje(Beseda("@idNeprebranaVrstica") + vrstica);
    if (neprebrane.count > neprebrane.lines.size())
        Stanje(Beseda("@idSeNeprebranih") + QString::number(neprebrane.count - neprebrane.lines.size()));
}

void TFtpSeja::RazcleniSeznam()
{
    // The site's server kind says which layout the listing is read with (kind 0 tells it from the listing).
    m_seznam.Razcleni(m_parametri.serverKind, Dekoder());
    m_view->ShowRemoteRows(m_seznam.Tabela());
    SporociNeprebrane();
    if (m_seznam.Tabela().Cut())
        Stanje(Beseda("@idPreveVnosov") + QString::number(m_seznam.Tabela().Count() - 1));
    m_prenos.prejeto = 0;
    // Adding rows enables the remote pane's commands.
    if (!m_view->ItemEnabled(siPla1Izbrisi))
        Omogoci({siPla1UsMapo, siPla1Prenesi, siPla1Izbrisi, siPla1IzberiVse, siPla1OsveziFTP}, true);
}
