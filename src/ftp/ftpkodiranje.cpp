// The name encoding of a session: code page 1250 or UTF-8 on the control
// connection and in listings, and the FEAT/OPTS exchange that chooses it
// (and tells whether the server lists with MLSD).
#include "ftp/ftpseja.h"

#include "core/codepage.h"
#include "core/utf8kept.h"

void TFtpSeja::Prijavljen()
{
    if (m_parametri.nameEncoding != 1 && m_parametri.nameEncoding != 2)
        return PoPrijavi();
    m_featUtf8 = false;
    m_featMlsd = false;
    if (!Ukaz(QStringLiteral("FEAT"), {}, QStringLiteral("FEAT"), ozFEAT))
        PoPrijavi();
}

void TFtpSeja::ZnacilnostFeat(const QString& vrstica)
{
    if (!vrstica.startsWith(QLatin1Char(' ')))
        return;
    const QString znacilnost = vrstica.trimmed();
    if (znacilnost.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0)
        m_featUtf8 = true;
    // MLST (with its facts) announces MLSD too; some servers list MLSD itself.
    const QString ime = znacilnost.section(QLatin1Char(' '), 0, 0);
    if (ime.compare(QLatin1String("MLST"), Qt::CaseInsensitive) == 0 ||
        ime.compare(QLatin1String("MLSD"), Qt::CaseInsensitive) == 0)
        m_featMlsd = true;
}

void TFtpSeja::OdgovorFeat(TOdgovorZa za, int koda)
{
    // Listings go by MLSD only where the server kind leaves the layout to be
    // detected: a kind chosen for the site asks for that layout's LIST.
    const quint8 vrsta = m_parametri.serverKind;
    if (za == ozFEAT && koda / 100 == 2)
        m_mlsd = m_featMlsd && vrsta != 1 && vrsta != 2 && vrsta != 3;
    // With UTF-8 chosen the session speaks it already: no OPTS.
    if (za == ozFEAT && koda / 100 == 2 && m_featUtf8 && m_parametri.nameEncoding == 2 &&
        Ukaz(QStringLiteral("OPTS"), QStringLiteral("UTF8 ON"), QStringLiteral("OPTS UTF8 ON"), ozOPTS))
        return;
    // A server that lists UTF8 in FEAT speaks UTF-8 names; some of them
    // (pyftpdlib) refuse OPTS UTF8 ON with 5xx because UTF-8 is always on.
    // Only a transient 4xx leaves the session in code page 1250.
    if (za == ozOPTS && (koda / 100 == 2 || koda / 100 == 5))
        m_utf8 = true;
    PoPrenosu([this] { PoPrijavi(); });
}

TNameDecoder TFtpSeja::Dekoder() const
{
    return m_utf8 ? FromUtf8Kept : FromCp1250;
}

QByteArray TFtpSeja::Kodiraj(QStringView text) const
{
    return m_utf8 ? ToUtf8Kept(text) : ToCp1250(text);
}
