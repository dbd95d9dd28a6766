#pragma once
// The clock of a GIF animation: a one-shot timer that the animation arms
// again at every step. The control uses TGifQtTimer; tests put in a timer of
// their own and fire OnTimeout themselves, so that timing is checked without
// waiting.
//
// Contract: Start(ms) (re)arms the timer so that OnTimeout fires once, ms
// milliseconds later (0: as soon as the event loop runs); Stop() disarms it.
// OnTimeout runs on the user-interface thread and may call Start or Stop.
#include <QTimer>

#include <functional>

class TGifTimer {
public:
    virtual ~TGifTimer() = default;
    virtual void Start(int intervalMs) = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;

    std::function<void()> OnTimeout;
};

class TGifQtTimer : public TGifTimer {
public:
    TGifQtTimer();
    void Start(int intervalMs) override;
    void Stop() override;
    bool IsActive() const override;

private:
    QTimer m_timer;
};
