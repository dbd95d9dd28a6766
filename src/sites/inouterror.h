#pragma once
// The run-time's input/output error: a file operation failed with a system
// error number. The message is "I/O error <errno>: <system text>", for example
// "I/O error 28: No space left on device". Thrown by file writers; the event
// dispatch hands it to ReportException, which shows it.
#include "core/exception.h"

class EInOutError : public Exception {
public:
    explicit EInOutError(int errorCode);
    int ErrorCode() const noexcept { return m_errorCode; }

private:
    int m_errorCode;
};
