// The name encoding of a session: code page 1250 or UTF-8 on the control
// connection and in listings, and the FEAT/OPTS exchange that chooses it.
#include "ftp/ftpseja.h"

#include "core/codepage.h"
#include "core/utf8kept.h"

void TFtpSeja::Prijavljen()
{
    if (m_parametri.nameEncoding != 2)
        return PoPrijavi();
    m_featUtf8 = false;
    if (!Ukaz(QStringLiteral("FEAT"), {}, QStringLiteral("FEAT"), ozFEAT))
        PoPrijavi();
}

void TFtpSeja::OdgovorFeat(TOdgovorZa za, int koda)
{
    if (za == ozFEAT && koda / 100 == 2 && m_featUtf8 &&
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
