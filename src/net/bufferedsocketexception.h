#pragma once
// EBufferedSocketException: the failures of the buffered and line sockets.
//
// Contract: carries only its message, one of the fixed texts below (or, for a
// stream that refuses bytes, that stream's own error text). Raised to the
// caller of the operation; raised from inside a notification (a read buffer
// that stays full) it reaches ReportException where the notification is
// dispatched.
#include "core/exception.h"

class EBufferedSocketException : public Exception {
public:
    using Exception::Exception;
};

namespace BufferedSocketText {
inline constexpr char SendRecv[] = "Recv or Send cannot be called on a buffered socket.";
inline constexpr char ResizeLosesData[] = "Cannot change buffer size - data will be lost.";
inline constexpr char PullUpTooLarge[] =
    "Cannot pull up buffer - amount to pull up larger than total buffer.";
inline constexpr char ReadBufferFull[] = "Read buffer full, user did not flush";
inline constexpr char BlockTooLarge[] = "Block size is larger than buffer size.";
inline constexpr char BlockSizeZero[] = "Cannot read block/record - size is zero.";
inline constexpr char WriteBufferFull[] = "Write buffer full, user did not flush";
} // namespace BufferedSocketText

[[noreturn]] void RaiseBufferedSocketError(const char* text);
