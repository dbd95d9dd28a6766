#pragma once
// TPosSaver: reads and writes the settings store.
//
// The store is an INI file (SettingsFilePath()) in the layout QSettings reads,
// read and written through TIniText (one reading of its lines): the base-key
// values at the top level, the groups "PozOkna", "Pisava", "Barve" and "Zvoki",
// every value a string:
//   - text as is;
//   - integers as decimal text; on reading, a text of more than two characters
//     starting "0x" or "0X" is hexadecimal ("0x1F" = 31; "0x" alone is no number);
//   - booleans "0"/"1"; read as an integer, anything but 0 is true.
// A missing value, a text that is not a number where a number is read, a one-byte
// value outside 0..255, and a value that is not a plain string (a hand-written
// "@Rect(...)" for instance) keep the field's current value (its default), and
// loading goes on with the next value. This also holds for the five values
// converted strictly (Pisanje, Branje, TipPre, TipPri, Velikost): a value that
// is not a whole number takes its default, the rest still loads, the start
// continues, and nothing is reported. An unquoted hand-written "b,i" is taken
// as the text "b,i".
//
// LoadSettings reads in this order: ShrNast, Pot, DANE; PozOkna; ZNaslov,
// ZUporIme, ZUporGeslo (each cut to 255 characters), ZVrata, Pisanje, Branje,
// FTPMapa, LokMapa, TipPre, TipPri, PrivGeslo; Pisava; TipFTP, Dnevnik; Barve;
// PrikNam, TimeOut, Ozadje, TPogledaLok, Zvok, Jezik; Zvoki "1", "2".
// Applying the values to widgets is the caller's work.
//
// SaveSettings writes, in this order: Pot (this program file's path), ShrNast;
// with ShrNast off it stops there and every other stored value keeps its text.
// Otherwise: DANE; PozOkna from the window state; ZNaslov, ZVrata, Pisanje,
// Branje, FTPMapa, LokMapa (the process's current directory at this moment, not
// the field), TipPre, TipPri, PrivGeslo, ZUporIme, ZUporGeslo (empty when
// ZGesloVShrambi: the keyring keeps it, see TSavedLogin), ZGesloVShrambi
// (read after ZUporGeslo, default 0); Pisava from the
// local list's font; TipFTP, Dnevnik; Barve; PrikNam, TimeOut, Zvok; Zvoki;
// Ozadje, TPogledaLok, Jezik; then Kvado's own PodatkovnaPovezava (0 active,
// 1 passive), KodiranjeImen (0 code page 1250, 1 UTF-8, 2 automatic) and
// Sifriranje (0 none, 1 explicit TLS when offered, 2 explicit TLS required,
// 3 implicit TLS); any other stored value of these three reads as 0; and
// Prenosi (0 transfers in the browsing session, 1..10 background connections),
// clamped to 0..10 on reading; Obvestila (1 notify the desktop of finished
// transfers, the default; 0 never). PozOkna.Stored tells whether the store held
// a window width at all (a first start then fits the window to the screen).
// The file is rewritten through a temporary file and a rename (TReplacingFile),
// every line SaveSettings does not write kept byte for byte (TIniText), so a
// failure leaves the previous file whole. Failures throw Exception:
//   - "Failed to create key <settings file>" when the file or its directory
//     cannot be created (nothing is written);
//   - "Failed to set data for '<settings file>'" when writing the values out
//     fails (a full disk, a file size limit, an I/O error).
// The caller (the main window's closing) lets ReportException show it and closes.
#include "sites/settings.h"

#include <QFont>
#include <QRect>

// The live values SaveSettings takes from the main window at closing.
struct TWindowState {
    QRect bounds; // current bounds; for a maximised window its maximised bounds
    bool maximised = false;
    int logHeight = 89;                   // height of FTPInfo1
    int localWidth = 200;                 // width of ScrollBox1
    QFont localListFont;                  // the local list's font: family, point size, style
    TColor localListFontColour = clBlack; // and its colour
};

// Style text of a font: exactly bold "b", exactly italic "i", bold and italic
// "b,i"; every other style (plain, or anything underlined or struck out) "".
QString EncodeFontStyle(const QFont& font);

// Applies a stored style text: containing "," bold and italic; "b" bold; "i"
// italic; any other text leaves the font's style as it is.
void DecodeFontStyle(const QString& style, QFont& font);

class TPosSaver {
public:
    // Published but unused: the store's location is fixed.
    QString RegName() const { return m_regName; }
    void SetRegName(const QString& name) { m_regName = name; }

    void LoadSettings(TSettings& settings) const;
    void SaveSettings(const TSettings& settings, const TWindowState& window) const;

private:
    QString m_regName;
};
