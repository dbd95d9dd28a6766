#include "sites/inouterror.h"

#include <cstring>

EInOutError::EInOutError(int errorCode)
    : Exception(QStringLiteral("I/O error %1: %2")
                    .arg(errorCode)
                    .arg(QString::fromLocal8Bit(std::strerror(errorCode)))),
      m_errorCode(errorCode)
{
}
