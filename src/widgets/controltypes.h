#pragma once
// Enumerations and small helpers shared by Kvado's own controls.
//
// Alignment of a control within its parent (`TAlign`) is kept as the dynamic
// property "Align" on the widget, so that a splitter can learn on which side of
// its target it sits; the windows lay such controls out with box layouts.
#include <QString>

class QWidget;

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TPanelBevel { bvNone, bvLowered, bvRaised };
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TBorderStyle { bsNone, bsSingle };

TAlign ControlAlign(const QWidget* control);
void SetControlAlign(QWidget* control, TAlign align);

// The caption without accelerator marks: each "&" is removed, "&&" becomes "&".
QString StripAccelChars(const QString& caption);

// Qt alignment flags for a horizontal TAlignment.
int HorizontalFlags(TAlignment alignment);
