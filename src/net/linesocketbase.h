#pragma once
// TLineSocketBase: a buffered socket that splits what it receives into lines
// and writes lines with their terminator.
//
// Contract:
// - TerminatorKind: 0 CR, 1 LF, 2 CR LF (after construction); any other value
//   means no terminator (no line is ever found, WriteLine appends nothing).
//   A terminator is found only when all its bytes have arrived: with CR LF a
//   CR at the end of the held bytes leaves the line waiting, and in CR CR LF
//   the line keeps the first CR as its last byte. With LF, a CR before the LF
//   stays part of the line.
// - LineFlags (11 after construction):
//     lfWriteTerminator 1  WriteLine appends the terminator;
//     lfFlushWrites     2  WriteStr/WritePChar (so WriteLine) flush after a
//                          successful write;
//     lfKeepTerminator  4  lines handed to OnLine keep their terminator;
//     lfLineMode        8  received bytes are split into lines.
// - OnLine(Sender, Line, Complete) fires once per complete line, in order, as
//   soon as its terminator has arrived (Complete is true); bytes after the
//   last terminator wait for the next receipt. One read notification delivers
//   the lines the platform holds for a slice of a few milliseconds at most,
//   then returns to the event loop (timers, input and other sockets get their
//   turn); the next read notification, asked for at once, goes on with the
//   rest, in order. Handlers may write (WriteLine sends at
//   once with lfFlushWrites), read, close, or destroy the socket object or
//   its component; lines already received keep being delivered after a Close
//   from inside a handler, none after a destruction.
// - A line longer than the read buffer: when the buffer is full, all complete
//   lines are taken first; if it is still full, OnReadBufferFull fires, then
//   "Read buffer full, user did not flush" is raised (reported where the
//   notification is dispatched). The held bytes stay intact and receiving
//   waits until room is made (a read, or a larger SetReadBufferSize), after
//   which the rest of the line arrives and is delivered whole.
#include "net/bufferedsocketbase.h"

#include <chrono>

class TLineSocketBase;

using TLineEvent = std::function<void(TLineSocketBase* Sender, const QByteArray& Line, bool Complete)>;

enum TLineFlag : quint8 { lfWriteTerminator = 1, lfFlushWrites = 2, lfKeepTerminator = 4, lfLineMode = 8 };

class TLineSocketBase : public TBufferedSocketBase {
public:
    explicit TLineSocketBase(TSockCtrl* owner);

    TLineEvent OnLine;

    quint8 TerminatorKind() const { return m_terminatorKind; }
    void SetTerminatorKind(quint8 kind) { m_terminatorKind = kind; }
    quint8 LineFlags() const { return m_lineFlags; }
    void SetLineFlags(quint8 flags) { m_lineFlags = flags; }
    // The bytes TerminatorKind stands for (empty for an unknown kind).
    QByteArrayView LineTerminator() const;

    // WriteStr of the line and (with lfWriteTerminator) the terminator:
    // false, nothing written, when both do not fit in WriteBufferFree.
    bool WriteLine(QByteArrayView line);
    // Takes the first complete line and fires OnLine; false when there is
    // none, line mode is off, or taking it let a handler destroy this.
    virtual bool ExtractLine();
    virtual void DoLine(const QByteArray& line, bool complete);

    void DoReadBufferFull() override;
    bool WriteStr(QByteArrayView text, QByteArrayView terminator) override;
    bool WritePChar(const char* text, const char* terminator) override;
    void FillReadBuffer() override;

private:
    // ExtractLine until there is no line; false when a handler destroyed this.
    bool ExtractLines();
    // Flush when lfFlushWrites is set (after a successful line write).
    void FlushIfAsked();
    // True inside FillReadBuffer once its slice has passed.
    bool SliceOver() const;

    quint8 m_terminatorKind = 2;
    quint8 m_lineFlags = lfWriteTerminator | lfFlushWrites | lfLineMode;
    bool m_filling = false; // inside FillReadBuffer
    std::chrono::steady_clock::time_point m_sliceEnd;
};
