#include "core/exception.h"

#include <QtGlobal>

namespace {
TExceptionReporter& reporter()
{
    static TExceptionReporter instance;
    return instance;
}
} // namespace

Exception::Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

TExceptionReporter SetExceptionReporter(TExceptionReporter newReporter)
{
    return std::exchange(reporter(), std::move(newReporter));
}

QString ExceptionMessage(std::exception_ptr error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown exception");
    }
    return {};
}

void ReportException(std::exception_ptr error) noexcept
{
    try {
        if (reporter())
            reporter()(error);
        else
            qWarning("Kvado: %s", qUtf8Printable(ExceptionMessage(error)));
    } catch (...) {
        qWarning("Kvado: the exception reporter itself failed");
    }
}
