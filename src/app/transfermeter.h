#pragma once
// TTransferMeter: the bytes done of the total and the speed of the running
// transfer, shown in a label of the status line of its own (the described
// panels keep their texts).
//
// Contract: Progress is called for every block the engine reports; the label
// is rewritten at most four times a second, so the cost per block is a clock
// read. The speed is measured over the last two seconds. Stop clears the label
// and forgets the transfer; the next Progress with fewer bytes than the last
// one starts a new measurement.
#include <QElapsedTimer>
#include <QString>

#include <deque>

class QLabel;

class TTransferMeter {
public:
    explicit TTransferMeter(QLabel* label) : m_label(label) {}

    void Progress(qint64 bytes, qint64 total);
    void Stop();

    // "1.5 MB", "730 kB", "12 B": decimal units, one decimal below 10.
    static QString Size(qint64 bytes);
    static QString Text(qint64 bytes, qint64 total, double bytesPerSecond);

private:
    struct TSample {
        qint64 ms;
        qint64 bytes;
    };
    QLabel* m_label;
    QElapsedTimer m_clock;
    std::deque<TSample> m_samples;
    qint64 m_lastShown = -1000;
};
