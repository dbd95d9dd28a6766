#include "widgets/wincolor.h"

QColor FromWinColor(TColor color, const QPalette& palette)
{
    if (IsSystemColor(color)) {
        switch (color) {
        case clWindowFrame:
            return palette.color(QPalette::Shadow);
        case clWindowText:
            return palette.color(QPalette::WindowText);
        case clBtnFace:
            return palette.color(QPalette::Button);
        case clBtnShadow:
            return palette.color(QPalette::Dark);
        case clGrayText:
            return palette.color(QPalette::Disabled, QPalette::Text);
        case clBtnText:
            return palette.color(QPalette::ButtonText);
        case clBtnHighlight:
            return palette.color(QPalette::Light);
        default:
            return palette.color(QPalette::Window);
        }
    }
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

TColor ToWinColor(const QColor& color)
{
    const QRgb rgb = color.rgb();
    return TColor(qRed(rgb)) | (TColor(qGreen(rgb)) << 8) | (TColor(qBlue(rgb)) << 16);
}
