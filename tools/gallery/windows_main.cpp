// The main window in the window gallery: idle at its first start, and as it
// looks during a session (log lines, a listing, a transfer under way).
#include "tools/gallery/windowgallery.h"

#include "app/localpane.h"
#include "app/mainwindow.h"
#include "app/remotepane.h"
#include "ftp/listingparser.h"
#include "lang/multilang.h"
#include "widgets/progressbar3d.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

namespace {

// A home of the gallery's own, so the user's settings are never read, with a
// local folder holding a few files.
QString GalleryHome()
{
    static QTemporaryDir home;
    static bool made = false;
    if (!made) {
        made = true;
        qputenv("KVADO_HOME", home.path().toLocal8Bit());
        QDir(home.path()).mkpath(QStringLiteral("Prenosi/slike"));
        for (const char* name : {"porocilo.pdf", "seznam.txt", "kvado-0.1.tar.gz"}) {
            QFile file(home.path() + QStringLiteral("/Prenosi/") + QString::fromLatin1(name));
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray(1234 * int(qstrlen(name)), 'x'));
        }
    }
    return home.path();
}

TGlavniObrazec* MainWindow(int language)
{
    const QString home = GalleryHome();
    QFile ini(home + QStringLiteral("/Kvado.ini"));
    ini.open(QIODevice::WriteOnly | QIODevice::Truncate);
    ini.write(
        QStringLiteral("[General]\nLokMapa=%1/Prenosi\nJezik=%2\n").arg(home).arg(language + 1).toUtf8());
    ini.close();
    auto* window = new TGlavniObrazec;
    window->FormCreate();
    window->resize(760, 480);
    return window;
}

} // namespace

KVADO_GALLERY_WINDOW("main-idle", [](int language) -> QWidget* { return MainWindow(language); });

KVADO_GALLERY_WINDOW("main-session", [](int language) -> QWidget* {
    TGlavniObrazec* window = MainWindow(language);
    static TRemoteListing listing;
    listing.Clear();
    QByteArray raw("drwxr-xr-x   2 ftp ftp      4096 Dec  7 10:15 pub\r\n"
                   "drwxrwxrwx   2 ftp ftp      4096 Dec  8 09:02 upload\r\n"
                   "-rw-r--r--   1 ftp ftp  73400320 Dec  1 18:40 debian.iso\r\n"
                   "-rw-r--r--   1 ftp ftp      1523 Nov 30 07:11 README\r\n");
    RazcleniSeznam(raw, listing);
    window->RemotePane()->Show(listing);
    window->RemotePane()->SetLanguage(language);
    TSessionLog& log = window->Log();
    log.KvadoUkazi(lkStatus, window->Words()->GetWord(QStringLiteral("@idPriMapo")), {});
    log.Reply(QStringLiteral("226 Transfer complete."));
    log.KvadoUkazi(lkCommand, QStringLiteral("PORT"), QStringLiteral("127,0,0,1,5,40"));
    log.KvadoUkazi(lkCommand, QStringLiteral("RETR"), QStringLiteral("debian.iso"));
    log.Reply(QStringLiteral("150 Opening BINARY mode data connection for debian.iso (73400320 bytes)."));
    window->setWindowTitle(QStringLiteral("Kvado - [ftp.example.org/pub]"));
    window->StatusPanel(1)->setText(QStringLiteral("(1)"));
    window->StatusPanel(2)->setText(QStringLiteral("31457280/73400320"));
    window->Gauge()->SetProgress(43);
    window->Gauge()->SetShowText(true);
    return window;
});
