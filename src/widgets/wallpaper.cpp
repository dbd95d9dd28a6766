#include "widgets/wallpaper.h"

#include <QPainter>

QList<QPoint> WallpaperTiles(const QRect& inner, QSize tile)
{
    QList<QPoint> tiles;
    if (tile.width() < 1 || tile.height() < 1 || inner.width() < 1 || inner.height() < 1)
        return tiles;
    const int columns = inner.width() / tile.width();
    const int rows = inner.height() / tile.height();
    tiles.reserve((columns + 1) * (rows + 1));
    for (int row = 0; row <= rows; ++row)
        for (int column = 0; column <= columns; ++column)
            tiles.append(inner.topLeft() + QPoint(column * tile.width(), row * tile.height()));
    return tiles;
}

TWallpaper::TWallpaper(QWidget* parent) : TCustomPanel(parent)
{
    SetControlAlign(this, TAlign::alTop);
}

void TWallpaper::SetWallpaper(const QPixmap& picture)
{
    m_wallpaper = picture;
    update();
}

void TWallpaper::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintPanel(painter);
    if (m_wallpaper.isNull())
        return;
    const QRect inner = InnerRect();
    painter.setClipRect(inner);
    for (const QPoint& corner : WallpaperTiles(inner, m_wallpaper.size()))
        painter.drawPixmap(corner, m_wallpaper);
}
