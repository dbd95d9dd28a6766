#pragma once
// ESockError: every failure of the socket library is reported with it.
//
// Contract: carries only its message (built by RaiseSocketError from an error
// code and a message id, or one of the library's fixed texts). Raised to the
// caller of a socket operation; when it escapes an event handler it is caught
// where the notification is dispatched and handed to ReportException.
#include "core/exception.h"

class ESockError : public Exception {
public:
    using Exception::Exception;
};
