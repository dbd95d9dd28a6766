#pragma once
// What the main window shows of its lists, as text lines for an end-to-end
// check (the program prints them when KVADO_REPORT_LAYOUT is set): for every
// column of both panes its width and the width its caption and widest row
// need, and for each pane the width its viewport gives the columns.
//   "window <width> <height> screen <available width> <available height>"
//   "column <local|remote> <index> <width> <needed> <caption>"
//   "pane <local|remote> <viewport width> <columns width>"
#include <QStringList>

class TGlavniObrazec;

QStringList LayoutReport(TGlavniObrazec& window);
