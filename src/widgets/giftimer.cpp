#include "widgets/giftimer.h"

TGifQtTimer::TGifQtTimer()
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (OnTimeout)
            OnTimeout();
    });
}

void TGifQtTimer::Start(int intervalMs)
{
    m_timer.start(intervalMs);
}

void TGifQtTimer::Stop()
{
    m_timer.stop();
}

bool TGifQtTimer::IsActive() const
{
    return m_timer.isActive();
}
