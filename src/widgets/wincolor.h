#pragma once
// Windows colour values as the controls store them: 0x00BBGGRR for a plain
// colour, 0x800000nn for a system colour (nn = the system colour index). Every
// control keeps its colour properties as TColor and converts them here; system
// colours resolve through the palette so that they follow the desktop theme.
#include <QColor>
#include <QPalette>

using TColor = quint32;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clGray = 0x808080;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWindowFrame = 0x80000006;
constexpr TColor clWindowText = 0x80000008;
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clBtnShadow = 0x80000010;
constexpr TColor clGrayText = 0x80000011;
constexpr TColor clBtnText = 0x80000012;
constexpr TColor clBtnHighlight = 0x80000014;

constexpr bool IsSystemColor(TColor color)
{
    return (color & 0xFF000000u) == 0x80000000u;
}

// The colour a Windows value stands for; system colours come from palette
// (Light = 3D highlight, Dark = 3D shadow, Button = face, disabled Text = grey
// text, Shadow = window frame). A default palette is the application's.
QColor FromWinColor(TColor color, const QPalette& palette = QPalette());

// The 0x00BBGGRR value of a colour (alpha is dropped).
TColor ToWinColor(const QColor& color);
