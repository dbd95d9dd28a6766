#pragma once
// Drawing primitives of the raised and embossed look shared by the controls:
// bevel frames and 3D text.
#include <QColor>
#include <QRect>
#include <QString>

class QPainter;

// Text looks of the 3D panel's caption and title.
enum class TPanelText3DBevel { bvNone3, bvLowered3, bvRaised3, bvShadow3 };

// Draws a frame `width` pixels wide on the edge of rect, topLeft on the top and
// left, bottomRight on the bottom and right, and shrinks rect by width.
void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight, int width);

// Fills rect with a checker pattern of 1-pixel squares: `same` where column and
// row have the same parity, `other` elsewhere (the pattern of a down button).
void FillChecker(QPainter& painter, const QRect& rect, const QColor& same, const QColor& other);

struct TText3D {
    TPanelText3DBevel style = TPanelText3DBevel::bvNone3;
    QColor light;
    QColor dark;
    QColor text;
    QColor grayText;
    int offset = 1;
    bool enabled = true;
};

// Draws text in rect with Qt flags in the given 3D style: lowered = dark at
// (-s,-s) and light at (+s,+s), raised = light at (-s,-s) and dark at (+s,+s),
// shadow = dark at (+s,+s); the text itself last at (0,0). Disabled leaves out
// the first offset copy and draws the text in grayText.
void DrawText3D(QPainter& painter, const QRect& rect, int flags, const QString& text, const TText3D& look);
