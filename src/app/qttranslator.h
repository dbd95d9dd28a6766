#pragma once
// TQtTranslator: Qt's own texts (standard buttons, the file, font and colour
// dialogs, the context menus of edit fields) in the interface's language,
// from the translations the system installed for Qt (Debian's
// qt6-translations-l10n, in QLibraryInfo's TranslationsPath).
//
// Slovenian comes as one catalogue of the Qt 4/5 era: its standard button
// texts live under the context "QDialogButtonBox", while Qt 6 asks for them
// under "QPlatformTheme" (and the GNOME theme under "QGnomeTheme", with "&"
// marks). A text not found under those contexts is looked up under
// "QDialogButtonBox" instead, also without its "&".
//
// SetInterfaceLanguage(language) (0 Slovenian, 1 English) installs the
// catalogue for the language (none for English: Qt's texts are English) and
// makes the language's locale the default QLocale, so dates and the
// desktop's file kinds follow it. Qt then sends LanguageChange to every
// widget, and standard buttons already shown retranslate themselves. When no
// catalogue is installed the texts simply stay English. UI thread only.
#include <QTranslator>

class TQtTranslator : public QTranslator {
    Q_OBJECT
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
};

// Returns whether a catalogue was found (always true for English).
bool SetInterfaceLanguage(int language);

// The locale of the interface language: Slovenian (Slovenia); for English the
// system's locale when it is an English one, else English (United States).
QLocale InterfaceLocale(int language);
