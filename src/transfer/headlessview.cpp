#include "transfer/headlessview.h"

void THeadlessView::KvadoUkazi(TLogKind kind, const QString& text, const QString& argument)
{
    if (OnLog)
        OnLog(kind, Prefix + text, argument);
}

void THeadlessView::LogReply(const QString& line)
{
    if (OnLog)
        OnLog(lkReply, Prefix + line, {});
}

void THeadlessView::LogViewOnly(const QString& line)
{
    if (OnLog)
        OnLog(lkStatus, Prefix + line, {});
}
