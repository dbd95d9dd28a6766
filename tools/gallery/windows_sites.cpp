// The site manager, the site editor and the options window (each tab) with
// sample values, for the window gallery.
#include "tools/gallery/windowgallery.h"

#include "dialogs/oknomoznosti.h"
#include "dialogs/sistemobrazec.h"
#include "dialogs/urediobrazec.h"
#include "sites/sitelist.h"

#include <QTabWidget>

namespace {

TSiteList& sampleSites()
{
    static TSiteList sites = [] {
        TSiteList list;
        const char* names[][3] = {{"Arhiv Zorvek", "ftp.zorvek.si", "janez"},
                                  {"Debian mirror", "ftp.debian.org", "anonymous"},
                                  {"Spletna stran", "www.example.org", "urednik"}};
        for (const auto& [name, host, user] : names) {
            TSiteRecord record;
            record.SetName(QString::fromUtf8(name));
            record.SetHost(QString::fromUtf8(host));
            record.SetUser(QString::fromUtf8(user));
            record.SetPassword(u"skrito");
            record.SetPort(21);
            record.loginType = 1;
            record.SetReceiveBuffer(4096);
            record.SetSendBuffer(4096);
            record.SetRemoteDir(u"/pub");
            record.SetComment(QString::fromUtf8("Strežnik za prenose. Prijava z geslom."));
            list.AddSite(record);
        }
        return list;
    }();
    return sites;
}

QWidget* optionsTab(int language, int tab)
{
    TSettings settings;
    settings.Jezik = quint8(language + 1);
    settings.DANE = true;
    settings.Prenosi = 4;
    auto* window = new TOknoMoznosti(settings, QFont("Technical", 11), false, QString());
    window->findChild<QTabWidget*>("PageControl1")->setCurrentIndex(tab);
    return window;
}

} // namespace

KVADO_GALLERY_WINDOW("site-manager", [](int language) -> QWidget* {
    auto* window = new TSistemObrazec(sampleSites());
    window->Begin(quint8(language + 1), "kvado-guest@example.org");
    window->SelectSite(1);
    return window;
});

KVADO_GALLERY_WINDOW("site-editor", [](int language) -> QWidget* {
    auto* window = new TUrediObrazec;
    window->Begin(sampleSites(), 1, true, quint8(language + 1), "kvado-guest@example.org");
    return window;
});

KVADO_GALLERY_WINDOW("options-client", [](int language) -> QWidget* { return optionsTab(language, 0); });
KVADO_GALLERY_WINDOW("options-display", [](int language) -> QWidget* { return optionsTab(language, 1); });
KVADO_GALLERY_WINDOW("options-sounds", [](int language) -> QWidget* { return optionsTab(language, 2); });
