#pragma once
// The base exception of Kvado and the one application-wide reporter.
//
// Contract: an exception that escapes an event handler is caught where the
// event is dispatched (socket notifications, timers, widget slots) and passed
// to ReportException(std::current_exception()). The program installs a
// reporter that shows a message box; tests install a recorder. With no
// reporter installed the message goes to qWarning. ReportException never
// throws and may be called from inside any event.
#include <QString>
#include <QByteArray>
#include <exception>
#include <functional>
#include <utility>

class Exception : public std::exception {
public:
    explicit Exception(QString message);
    const QString& Message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

using TExceptionReporter = std::function<void(std::exception_ptr)>;

// Installs the reporter; returns the previous one so that a caller can restore it.
TExceptionReporter SetExceptionReporter(TExceptionReporter reporter);

// Hands an escaped exception to the installed reporter.
void ReportException(std::exception_ptr error) noexcept;

// The message text of any exception: Message() for Exception, what() otherwise.
QString ExceptionMessage(std::exception_ptr error);

// Raises an event from inside a Qt event: the handler runs when assigned, and
// an exception that escapes it goes to the reporter, so a failing handler
// never unwinds through Qt's event dispatch.
template <class Handler, class... Args> void FireEvent(const Handler& handler, Args&&... args)
{
    if (!handler)
        return;
    try {
        handler(std::forward<Args>(args)...);
    } catch (...) {
        ReportException(std::current_exception());
    }
}
