// Kvado's start: the splash, the application title, the main window (which
// asks the language on its first start), the dialogs that live until the end,
// then the event loop until the main window closes. An ftp:// or ftps:// link
// among the arguments is opened in the window once it is up, or handed to the
// Kvado already running in this desktop session (TSingleInstance).
#include "app/layoutreport.h"
#include "app/mainwindow.h"
#include "app/singleinstance.h"
#include "dialogs/uvodnizaslon.h"
#include "keyring/keychainstore.h"
#include "widgets/accessibility.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QElapsedTimer started;
    started.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kvado"));
    QApplication::setApplicationVersion(QStringLiteral(KVADO_VERSION));
    InstallAccessibility();

    // An ftp:// or ftps:// link (a browser's or file manager's, through the desktop entry's %u) goes to
    // the Kvado already running in this session when there is one; otherwise this one opens it once its
    // window is up, as quick connect would.
    QString link;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        if (argument.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive) ||
            argument.startsWith(QLatin1String("ftps://"), Qt::CaseInsensitive)) {
            link = argument;
        }
    }
    TSingleInstance instance;
    if (!instance.Serve() && !link.isEmpty() && TSingleInstance::HandOver(link)) {
        return 0;
    }

    TUvodniZaslon splash;
    splash.Show();

    TKeychainStore keyring; // the desktop's Secret Service; outlives the window
    TGlavniObrazec window;
    window.SetPasswordStore(&keyring);
    // The splash never covers the language question.
    window.BeforeLanguageQuestion = [&splash] { splash.Close(); };
    window.FormCreate();
    window.CreateDialogs();
    instance.OnOpen = [&window](const QString& handed) {
        window.showNormal();
        window.raise();
        window.activateWindow();
        window.OpenFtpUrl(handed);
    };
    if (qEnvironmentVariableIsSet("KVADO_REPORT_STARTUP")) {
        // For the start-up benchmark: the time from process start to the first shown main window.
        window.OnFirstShown = [&started] {
            std::fprintf(stderr, "kvado: main window shown after %lld ms\n",
                         static_cast<long long>(started.elapsed()));
        };
    }
    if (qEnvironmentVariableIsSet("KVADO_REPORT_LAYOUT")) {
        // For the end-to-end check of the first window: its size and every column's width against
        // what its caption and rows need, once the window manager has placed the window.
        window.OnFirstShown = [&window] {
            QTimer::singleShot(1500, &window, [&window] {
                for (const QString& line : LayoutReport(window))
                    std::fprintf(stderr, "kvado layout: %s\n", qPrintable(line));
                std::fflush(stderr);
            });
        };
    }
    window.show();
    if (!link.isEmpty()) {
        // The splash gives way to the link's questions (a password, a file to download).
        QTimer::singleShot(800, &window, [&window, &splash, link] {
            splash.Close();
            window.OpenFtpUrl(link);
        });
    }
    splash.raise(); // until its time is up the splash stays in front
    return QApplication::exec();
}
