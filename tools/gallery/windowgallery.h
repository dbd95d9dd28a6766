#pragma once
// The window gallery: every window of Kvado rendered in both languages at 100%
// and 200% scale. Each file tools/gallery/windows_*.cpp registers its windows
// with KVADO_GALLERY_WINDOW; `cmake --build build --target window_gallery`
// writes build/window-gallery/<name>-<sl|en>-<1x|2x>.png.
//
// Contract: a registered function builds its window for the given language
// (0 Slovenian, 1 English), fills it with sample values and returns it; the
// gallery shows it, lets it lay out, grabs it and destroys it. It runs on the
// UI thread of a QApplication whose device pixel ratio is the scale.
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

struct TGalleryWindow {
    QString name;
    std::function<QWidget*(int language)> make;
};

std::vector<TGalleryWindow>& GalleryWindows();

struct TGalleryRegistration {
    TGalleryRegistration(const QString& name, std::function<QWidget*(int language)> make)
    {
        GalleryWindows().push_back({name, std::move(make)});
    }
};

#define KVADO_GALLERY_CONCAT2(a, b) a##b
#define KVADO_GALLERY_CONCAT(a, b) KVADO_GALLERY_CONCAT2(a, b)
// KVADO_GALLERY_WINDOW("quick-connect", [](int language) -> QWidget* { ... });
#define KVADO_GALLERY_WINDOW(name, make)                                                                     \
    static TGalleryRegistration KVADO_GALLERY_CONCAT(galleryRegistration, __LINE__)(QStringLiteral(name), make)
