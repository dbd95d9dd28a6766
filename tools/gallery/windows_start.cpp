// The start-up and quick-connect windows in the window gallery.
#include "tools/gallery/windowgallery.h"

#include "dialogs/hitra1.h"
#include "dialogs/oknojezik.h"
#include "dialogs/oprogramu.h"
#include "dialogs/prepisidialog1.h"
#include "dialogs/uvodnizaslon.h"

namespace {

TSettings SampleSettings(int language)
{
    TSettings settings;
    settings.Jezik = quint8(language + 1);
    settings.ZNaslov = QStringLiteral("ftp.example.org");
    settings.ZUporIme = QStringLiteral("janez");
    settings.ZUporGeslo = QStringLiteral("geslo");
    settings.TipPri = 1;
    settings.TipPre = 2;
    settings.FTPMapa = QStringLiteral("/pub/kvado");
    settings.LokMapa = QStringLiteral("/home/janez/Prenosi");
    return settings;
}

} // namespace

KVADO_GALLERY_WINDOW("quick-connect",
                     [](int language) -> QWidget* { return new THitra1(SampleSettings(language), false); });

KVADO_GALLERY_WINDOW("quick-connect-plain", [](int language) -> QWidget* {
    TSettings settings = SampleSettings(language);
    settings.Ozadje = false;
    return new THitra1(settings, false);
});

KVADO_GALLERY_WINDOW("language-choice", [](int) -> QWidget* { return new TOknoJezik; });

KVADO_GALLERY_WINDOW("file-exists", [](int language) -> QWidget* {
    auto* dialog = new TPrepisiDialog1;
    dialog->SetLanguage(language);
    return dialog;
});

// The question for one file of many, with a long name and a target whose date is unknown.
KVADO_GALLERY_WINDOW("file-exists-several", [](int language) -> QWidget* {
    auto* dialog = new TPrepisiDialog1;
    dialog->SetLanguage(language);
    const QDateTime modified(QDate(2026, 11, 30), QTime(17, 42));
    dialog->SetPodatki({QStringLiteral("slike/počitnice/Bohinj-2026-jezero-in-Triglav-ob-sončnem-zahodu.jpg"),
                        5242880, 1048576, modified, QDateTime(), true});
    return dialog;
});

// One file with its details: a name too long for the window, elided in the middle.
KVADO_GALLERY_WINDOW("file-exists-details", [](int language) -> QWidget* {
    auto* dialog = new TPrepisiDialog1;
    dialog->SetLanguage(language);
    dialog->SetPodatki({QStringLiteral("arhiv/") + QString(30, u'x') +
                            QStringLiteral("-zelo-dolgo-ime-datoteke-"
                                           "ki-ne-gre-v-okno-2026.tar.gz"),
                        734003200, 1234, QDateTime(QDate(2026, 12, 1), QTime(9, 5)),
                        QDateTime(QDate(2025, 3, 14), QTime(23, 59)), false});
    return dialog;
});

KVADO_GALLERY_WINDOW("about",
                     [](int language) -> QWidget* { return new TOProgramu(true, quint8(language + 1)); });

KVADO_GALLERY_WINDOW("about-plain",
                     [](int language) -> QWidget* { return new TOProgramu(false, quint8(language + 1)); });

KVADO_GALLERY_WINDOW("splash", [](int) -> QWidget* { return new TUvodniZaslon; });
