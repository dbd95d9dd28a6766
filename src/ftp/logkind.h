#pragma once
// The kinds of a line the session engine writes to the session log
// (KvadoUkazi): a command sent, or a status. Any other value writes nothing.
// lkReply marks a server's reply line where one stream carries all three
// (a background connection's log, TSejaView::LogReply in a window).
#include <QtGlobal>

enum TLogKind : quint8 { lkCommand = 0, lkStatus = 1, lkReply = 2 };
