#pragma once
// The kinds of a line the session engine writes to the session log
// (KvadoUkazi): a command sent, or a status. Any other value writes nothing.
#include <QtGlobal>

enum TLogKind : quint8 { lkCommand = 0, lkStatus = 1 };
