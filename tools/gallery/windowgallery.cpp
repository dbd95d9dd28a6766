// Renders every registered window into PNGs: kvado_window_gallery <output
// directory> <scale>. Run it on the offscreen platform; the scale (1 or 2) is
// the device pixel ratio, set through QT_SCALE_FACTOR by the gallery target.
#include "tools/gallery/windowgallery.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

std::vector<TGalleryWindow>& GalleryWindows()
{
    static std::vector<TGalleryWindow> windows;
    return windows;
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kvado"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("window-gallery");
    const QString scale = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("1");
    QDir().mkpath(out);
    int failures = 0;
    for (const auto& window : GalleryWindows()) {
        for (int language = 0; language < 2; ++language) {
            QWidget* widget = window.make(language);
            widget->show();
            for (int i = 0; i < 5; ++i) {
                QApplication::processEvents();
            }
            const QString path = QStringLiteral("%1/%2-%3-%4x.png")
                                     .arg(out, window.name, language == 0 ? "sl" : "en", scale);
            if (!widget->grab().save(path)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                ++failures;
            }
            delete widget;
        }
    }
    return failures == 0 ? 0 : 1;
}
