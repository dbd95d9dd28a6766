#include "app/transfermeter.h"

#include <QLabel>

#include <cmath>

QString TTransferMeter::Size(qint64 bytes)
{
    static const char* const units[] = {"B", "kB", "MB", "GB", "TB"};
    double value = double(qMax<qint64>(0, bytes));
    int unit = 0;
    while (value >= 1000.0 && unit < 4) {
        value /= 1000.0;
        ++unit;
    }
    const int decimals = unit > 0 && value < 10.0 ? 1 : 0;
    return QStringLiteral("%1 %2").arg(value, 0, 'f', decimals).arg(QLatin1String(units[unit]));
}

QString TTransferMeter::Duration(qint64 seconds)
{
    const qint64 hours = seconds / 3600;
    const QString minutesAndSeconds =
        QStringLiteral("%1:%2")
            .arg(hours > 0 ? (seconds / 60) % 60 : seconds / 60, hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1:%2").arg(hours).arg(minutesAndSeconds) : minutesAndSeconds;
}

QString TTransferMeter::Text(qint64 bytes, qint64 total, double bytesPerSecond) const
{
    QString text = total > 0 ? Size(bytes) + QStringLiteral(" / ") + Size(total) : Size(bytes);
    if (bytesPerSecond > 0) {
        text += QStringLiteral("   ") + Size(qint64(bytesPerSecond)) + QStringLiteral("/s");
        if (total > bytes) {
            const double left = double(total - bytes) / bytesPerSecond;
            text +=
                QStringLiteral("   ") + m_leftFormat.arg(Duration(qint64(std::ceil(qMin(left, 359999.0)))));
        }
    }
    return text;
}

QString TTransferMeter::WidestText() const
{
    // 8 is the widest digit in most fonts; three-digit amounts in their longest units, the longest time left.
    const QString amount = Size(888'000'000'000LL);
    return amount + QStringLiteral(" / ") + amount + QStringLiteral("   ") + amount +
           QStringLiteral("/s   ") + m_leftFormat.arg(QStringLiteral("88:88:88"));
}

void TTransferMeter::Progress(qint64 bytes, qint64 total)
{
    if (!m_clock.isValid() || (!m_samples.empty() && bytes < m_samples.back().bytes)) {
        m_clock.start();
        m_samples.clear();
        m_lastShown = -1000;
    }
    const qint64 now = m_clock.elapsed();
    if (!m_samples.empty() && now - m_samples.back().ms < 50 && now - m_lastShown < 250) {
        return; // a sample every 50 ms is plenty for the speed
    }
    m_samples.push_back({now, bytes});
    while (m_samples.size() > 2 && now - m_samples.front().ms > 2000) {
        m_samples.pop_front();
    }
    if (now - m_lastShown < 250) {
        return;
    }
    m_lastShown = now;
    const TSample& first = m_samples.front();
    const double seconds = double(now - first.ms) / 1000.0;
    const double speed = seconds > 0.2 ? double(bytes - first.bytes) / seconds : 0.0;
    m_label->setText(Text(bytes, total, speed));
}

void TTransferMeter::Stop()
{
    m_clock.invalidate();
    m_samples.clear();
    m_label->clear();
}
