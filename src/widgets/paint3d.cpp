#include "widgets/paint3d.h"

#include <QPainter>

void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight, int width)
{
    for (int i = 0; i < width && rect.width() > 0 && rect.height() > 0; ++i) {
        painter.fillRect(rect.left(), rect.top(), rect.width(), 1, topLeft);
        painter.fillRect(rect.left(), rect.top(), 1, rect.height(), topLeft);
        painter.fillRect(rect.left() + 1, rect.bottom(), rect.width() - 1, 1, bottomRight);
        painter.fillRect(rect.right(), rect.top() + 1, 1, rect.height() - 1, bottomRight);
        rect.adjust(1, 1, -1, -1);
    }
}

void FillChecker(QPainter& painter, const QRect& rect, const QColor& same, const QColor& other)
{
    if (rect.isEmpty())
        return;
    // An 8 x 8 tile repeated over the rectangle, anchored at the rectangle's origin.
    QImage tile(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tile.setPixelColor(x, y, (x % 2) == (y % 2) ? same : other);
    painter.save();
    painter.setBrushOrigin(rect.topLeft());
    painter.fillRect(rect, QBrush(tile));
    painter.restore();
}

void DrawText3D(QPainter& painter, const QRect& rect, int flags, const QString& text, const TText3D& look)
{
    const int s = look.offset;
    auto draw = [&](const QColor& color, int dx, int dy) {
        painter.setPen(color);
        painter.drawText(rect.translated(dx, dy), flags, text);
    };
    switch (look.style) {
    case TPanelText3DBevel::bvNone3:
        break;
    case TPanelText3DBevel::bvLowered3:
        if (look.enabled)
            draw(look.dark, -s, -s);
        draw(look.light, s, s);
        break;
    case TPanelText3DBevel::bvRaised3:
        if (look.enabled)
            draw(look.light, -s, -s);
        draw(look.dark, s, s);
        break;
    case TPanelText3DBevel::bvShadow3:
        if (look.enabled)
            draw(look.dark, s, s);
        break;
    }
    draw(look.enabled ? look.text : look.grayText, 0, 0);
}
