#include "sites/possaver.h"

#include "core/exception.h"
#include "sites/initext.h"
#include "sites/inouterror.h"
#include "sites/programpaths.h"
#include "sites/replacingfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {

constexpr int kMaxSessionText = 255;

// A number as the store writes it: decimal, or hexadecimal after "0x" when the
// text is longer than two characters. Hexadecimal takes up to 8 digits and
// keeps the 32-bit pattern (0xFFFFFFFF is -1), as a colour value needs.
std::optional<qint32> parseInteger(const QString& text)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const QStringView digits = QStringView(text).mid(2);
        if (digits.size() > 8)
            return std::nullopt;
        quint32 value = 0;
        for (QChar ch : digits) {
            const char16_t c = ch.unicode();
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                return std::nullopt;
            value = value << 4 | quint32(digit);
        }
        return qint32(value);
    }
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

// Reads values of one group; every getter returns the fallback when the value
// is missing or unusable.
class StoreReader {
public:
    StoreReader(const TIniText& store, const QString& group) : m_store(store), m_group(group) {}

    // Missing, or a typed value that is no plain string: nullopt. An unquoted
    // "b,i" written by hand is the text "b,i".
    std::optional<QString> rawText(const QString& key) const { return m_store.Value(m_group, key); }

    QString text(const QString& key, const QString& fallback, int maxLength = -1) const
    {
        const QString value = rawText(key).value_or(fallback);
        return maxLength < 0 ? value : value.left(maxLength);
    }

    qint32 integer(const QString& key, qint32 fallback) const
    {
        const auto value = rawText(key);
        return value ? parseInteger(*value).value_or(fallback) : fallback;
    }

    TColor colour(const QString& key, TColor fallback) const
    {
        return TColor(integer(key, qint32(fallback)));
    }

    bool boolean(const QString& key, bool fallback) const { return integer(key, fallback ? 1 : 0) != 0; }

    quint8 byte(const QString& key, quint8 fallback) const
    {
        const qint32 value = integer(key, fallback);
        return value >= 0 && value <= 255 ? quint8(value) : fallback;
    }

private:
    const TIniText& m_store;
    QString m_group;
};

class StoreWriter {
public:
    StoreWriter(TIniText& text, const QString& group) : m_text(text), m_group(group) {}

    void text(const QString& key, const QString& value) { m_text.SetValue(m_group, key, value); }
    void integer(const QString& key, qint64 value) { text(key, QString::number(value)); }
    void boolean(const QString& key, bool value) { text(key, QString(value ? "1" : "0")); }

private:
    TIniText& m_text;
    QString m_group;
};

const QString kBase;
const QString kPlacement = QStringLiteral("PozOkna");
const QString kFont = QStringLiteral("Pisava");
const QString kColours = QStringLiteral("Barve");
const QString kSounds = QStringLiteral("Zvoki");

void setFontStyle(QFont& font, bool bold, bool italic)
{
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setOverline(false);
}

} // namespace

QString EncodeFontStyle(const QFont& font)
{
    if (font.underline() || font.strikeOut() || font.overline())
        return QString();
    if (font.bold() && font.italic())
        return QStringLiteral("b,i");
    if (font.bold())
        return QStringLiteral("b");
    if (font.italic())
        return QStringLiteral("i");
    return QString();
}

void DecodeFontStyle(const QString& style, QFont& font)
{
    if (style.contains(','))
        setFontStyle(font, true, true);
    else if (style == QLatin1String("b"))
        setFontStyle(font, true, false);
    else if (style == QLatin1String("i"))
        setFontStyle(font, false, true);
}

void TPosSaver::LoadSettings(TSettings& s) const
{
    // Read with the writer's own reading of the lines (TIniText), so a key
    // SaveSettings wrote is read back whatever a hand edit left around it.
    QFile file(SettingsFilePath());
    const TIniText store(QFileInfo(file).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                                    : QByteArray());
    {
        StoreReader base(store, kBase);
        s.ShrNast = base.boolean("ShrNast", s.ShrNast);
        s.Pot = base.text("Pot", s.Pot);
        s.DANE = base.boolean("DANE", s.DANE);
    }
    {
        StoreReader place(store, kPlacement);
        s.PozOkna.Zgoraj = place.integer("Zgoraj", s.PozOkna.Zgoraj);
        s.PozOkna.Levo = place.integer("Levo", s.PozOkna.Levo);
        s.PozOkna.Sirina = place.integer("Sirina", s.PozOkna.Sirina);
        s.PozOkna.Visina = place.integer("Visina", s.PozOkna.Visina);
        s.PozOkna.WinSplit1 = place.integer("WinSplit1", s.PozOkna.WinSplit1);
        s.PozOkna.WinSplit2 = place.integer("WinSplit2", s.PozOkna.WinSplit2);
        s.PozOkna.Max = place.boolean("Max", s.PozOkna.Max);
        s.PozOkna.Stored = store.Value(kPlacement, QStringLiteral("Sirina")).has_value();
    }
    {
        StoreReader base(store, kBase);
        s.ZNaslov = base.text("ZNaslov", s.ZNaslov, kMaxSessionText);
        s.ZUporIme = base.text("ZUporIme", s.ZUporIme, kMaxSessionText);
        s.ZUporGeslo = base.text("ZUporGeslo", s.ZUporGeslo, kMaxSessionText);
        s.ZGesloVShrambi = base.boolean("ZGesloVShrambi", s.ZGesloVShrambi);
        s.ZVrata = base.text("ZVrata", s.ZVrata);
        s.Pisanje = base.integer("Pisanje", s.Pisanje);
        s.Branje = base.integer("Branje", s.Branje);
        s.FTPMapa = base.text("FTPMapa", s.FTPMapa);
        s.LokMapa = base.text("LokMapa", s.LokMapa);
        s.TipPre = base.byte("TipPre", s.TipPre);
        s.TipPri = base.byte("TipPri", s.TipPri);
        s.PrivGeslo = base.text("PrivGeslo", s.PrivGeslo);
    }
    {
        StoreReader font(store, kFont);
        s.Pisava.Ime = font.text("Ime", s.Pisava.Ime);
        s.Pisava.Velikost = font.integer("Velikost", s.Pisava.Velikost);
        s.Pisava.Barva = font.colour("Barva", s.Pisava.Barva);
        s.Pisava.Stil = font.text("Stil", s.Pisava.Stil);
    }
    {
        StoreReader base(store, kBase);
        s.TipFTP = base.byte("TipFTP", s.TipFTP);
        s.Dnevnik = base.text("Dnevnik", s.Dnevnik);
    }
    {
        StoreReader colours(store, kColours);
        s.Barve.Ukaz = colours.colour("Ukaz", s.Barve.Ukaz);
        s.Barve.Stanje = colours.colour("Stanje", s.Barve.Stanje);
        s.Barve.Normal = colours.colour("Normal", s.Barve.Normal);
    }
    {
        StoreReader base(store, kBase);
        s.PrikNam = base.boolean("PrikNam", s.PrikNam);
        s.TimeOut = base.integer("TimeOut", s.TimeOut);
        s.Ozadje = base.boolean("Ozadje", s.Ozadje);
        s.TPogledaLok = base.byte("TPogledaLok", s.TPogledaLok);
        s.Zvok = base.byte("Zvok", s.Zvok);
        s.Jezik = base.byte("Jezik", s.Jezik);
        s.PodatkovnaPovezava = base.byte("PodatkovnaPovezava", s.PodatkovnaPovezava) == 1 ? 1 : 0;
        const quint8 encoding = base.byte("KodiranjeImen", s.KodiranjeImen);
        s.KodiranjeImen = encoding <= 2 ? encoding : 0;
        const quint8 encryption = base.byte("Sifriranje", s.Sifriranje);
        s.Sifriranje = encryption <= 3 ? encryption : 0;
        s.Prenosi = quint8(qBound(0, base.integer("Prenosi", s.Prenosi), kMaxPrenosi));
        s.Obvestila = base.boolean("Obvestila", s.Obvestila);
    }
    {
        StoreReader sounds(store, kSounds);
        while (s.Zvoki.size() < 2)
            s.Zvoki.append(QString());
        s.Zvoki[0] = sounds.text("1", s.Zvoki[0]);
        s.Zvoki[1] = sounds.text("2", s.Zvoki[1]);
    }
}

void TPosSaver::SaveSettings(const TSettings& s, const TWindowState& w) const
{
    const QString path = SettingsFilePath();
    QFile old(path);
    const QFileInfo info(path);
    // Not a regular file (a FIFO would block, a device never end): not ours to replace.
    if (info.exists() && (!info.isFile() || !old.open(QIODevice::ReadOnly)))
        throw Exception(QStringLiteral("Failed to create key %1").arg(path));
    TIniText store(old.readAll());
    old.close();

    {
        StoreWriter base(store, kBase);
        base.text("Pot", QCoreApplication::applicationFilePath());
        base.boolean("ShrNast", s.ShrNast);
    }
    if (s.ShrNast) {
        {
            StoreWriter base(store, kBase);
            base.boolean("DANE", s.DANE);
        }
        {
            StoreWriter place(store, kPlacement);
            place.integer("Zgoraj", w.bounds.top());
            place.integer("Levo", w.bounds.left());
            place.integer("Sirina", w.bounds.width());
            place.integer("Visina", w.bounds.height());
            place.integer("WinSplit1", w.logHeight);
            place.integer("WinSplit2", w.localWidth);
            place.boolean("Max", w.maximised);
        }
        {
            StoreWriter base(store, kBase);
            base.text("ZNaslov", s.ZNaslov);
            base.text("ZVrata", s.ZVrata);
            base.integer("Pisanje", s.Pisanje);
            base.integer("Branje", s.Branje);
            base.text("FTPMapa", s.FTPMapa);
            base.text("LokMapa", QDir::currentPath());
            base.integer("TipPre", s.TipPre);
            base.integer("TipPri", s.TipPri);
            base.text("PrivGeslo", s.PrivGeslo);
            base.text("ZUporIme", s.ZUporIme);
            // A password the keyring keeps (or refused) never goes into the file.
            base.text("ZUporGeslo", s.ZGesloVShrambi ? QString() : s.ZUporGeslo);
            base.boolean("ZGesloVShrambi", s.ZGesloVShrambi);
        }
        {
            StoreWriter font(store, kFont);
            const int points = w.localListFont.pointSize();
            font.text("Ime", w.localListFont.family());
            font.integer("Velikost", points > 0 ? points : s.Pisava.Velikost);
            font.integer("Barva", qint32(w.localListFontColour));
            font.text("Stil", EncodeFontStyle(w.localListFont));
        }
        {
            StoreWriter base(store, kBase);
            base.integer("TipFTP", s.TipFTP);
            base.text("Dnevnik", s.Dnevnik);
        }
        {
            StoreWriter colours(store, kColours);
            colours.integer("Ukaz", qint32(s.Barve.Ukaz));
            colours.integer("Stanje", qint32(s.Barve.Stanje));
            colours.integer("Normal", qint32(s.Barve.Normal));
        }
        {
            StoreWriter base(store, kBase);
            base.boolean("PrikNam", s.PrikNam);
            base.integer("TimeOut", s.TimeOut);
            base.integer("Zvok", s.Zvok);
        }
        {
            StoreWriter sounds(store, kSounds);
            sounds.text("1", s.Zvoki.value(0));
            sounds.text("2", s.Zvoki.value(1));
        }
        {
            StoreWriter base(store, kBase);
            base.boolean("Ozadje", s.Ozadje);
            base.integer("TPogledaLok", s.TPogledaLok);
            base.integer("Jezik", s.Jezik);
            base.integer("PodatkovnaPovezava", s.PodatkovnaPovezava);
            base.integer("KodiranjeImen", s.KodiranjeImen);
            base.integer("Sifriranje", s.Sifriranje);
            base.integer("Prenosi", s.Prenosi);
            base.boolean("Obvestila", s.Obvestila);
        }
    }
    std::optional<TReplacingFile> file;
    try {
        file.emplace(path);
    } catch (const EInOutError&) {
        throw Exception(QStringLiteral("Failed to create key %1").arg(path));
    }
    try {
        file->Write(store.Text());
        file->Commit();
    } catch (const EInOutError&) {
        throw Exception(QStringLiteral("Failed to set data for '%1'").arg(path));
    }
}
