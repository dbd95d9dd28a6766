#pragma once
// Column widths that show a list's texts unclipped: the caption (with the
// style's margins and sort mark), the rows the view holds (the first thousand
// at most, as the header's resize-to-contents measures them) and sample texts
// of the widest values a column may show (a 10-digit size, an attribute text,
// a date). Widths only grow: a designed or user-chosen wider column stays.
// Pure measuring, UI thread; nothing is kept between calls.
#include <QStringList>

class QTreeView;

// The width column of view needs for its caption and the rows it holds.
int NeededColumnWidth(const QTreeView& view, int column);

// The width column of view needs, also for the samples; never less than its current width.
int FittedColumnWidth(const QTreeView& view, int column, const QStringList& samples);

// A date and time as the interface's locale writes it in short form, at its widest
// (late in December, late in the day), for sizing date columns.
QString WidestShortDateTime();
