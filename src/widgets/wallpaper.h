#pragma once
// TWallpaper: a panel that tiles a picture over its inner rectangle (the
// client area less its border and bevels), from the top-left corner; the
// last column and row are cut off at the inner rectangle's edge.
//
// Contract: changing the picture repaints; Locked is stored only. No events.
#include "widgets/custompanel.h"

#include <QPixmap>

// The top-left corners of the tiles covering inner with a picture of size
// tile: columns 0 .. inner width / tile width, rows likewise. None for an
// empty tile.
QList<QPoint> WallpaperTiles(const QRect& inner, QSize tile);

class TWallpaper : public TCustomPanel {
    Q_OBJECT

public:
    explicit TWallpaper(QWidget* parent = nullptr);

    QPixmap Wallpaper() const { return m_wallpaper; }
    void SetWallpaper(const QPixmap& picture);
    bool Locked() const { return m_locked; }
    void SetLocked(bool on) { m_locked = on; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_wallpaper;
    bool m_locked = false;
};
