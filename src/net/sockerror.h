#pragma once
// ESockError: every failure of the socket library is reported with it; the
// texts of socket errors and the translation of errno into their numbers.
//
// Contract: carries only its message (built by RaiseSocketError from an error
// code and a message id, or one of the library's fixed texts). Raised to the
// caller of a socket operation; when it escapes an event handler it is caught
// where the notification is dispatched and handed to ReportException.
#include "core/exception.h"

#include <QString>

class ESockError : public Exception {
public:
    using Exception::Exception;
};

// The Windows Sockets number for an errno value. Numbers without a Windows
// Sockets counterpart become 12000 + errno ("Unknown Error 12xxx").
int WsaErrorFromErrno(int error);
// The Windows Sockets number for a getaddrinfo/getnameinfo result.
int WsaErrorFromResolver(int eaiError, int savedErrno);

// The text of an error code or message id: empty for 0, "Unknown Error %d" for
// a code without a text; at most 255 characters.
QString SocketErrorText(int code);
// Fills a message format with an error code and its text, %d and %s in the
// order they appear.
QString FormatSocketMessage(const QString& format, int code);
// Raises ESockError with the message for (code, message id).
[[noreturn]] void RaiseSocketError(int code, int messageId);
