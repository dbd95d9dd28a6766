#pragma once
// TTransferMeter: the bytes done of the total, the speed and the time left of
// the running transfer, shown in a label of its own beside the progress bar
// (the described status panels keep their texts).
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
    // "31 MB / 73 MB   1.2 MB/s   0:35 left": the time left only with a total and a speed.
    QString Text(qint64 bytes, qint64 total, double bytesPerSecond) const;
    // The longest text Text gives (a label sized for it never cuts one).
    QString WidestText() const;
    // "0:35", "12:05", "1:02:03".
    static QString Duration(qint64 seconds);
    // The time left in the interface's language, "%1" standing for the duration.
    void SetLeftFormat(const QString& format) { m_leftFormat = format; }

private:
    struct TSample {
        qint64 ms;
        qint64 bytes;
    };
    QLabel* m_label;
    QString m_leftFormat = QStringLiteral("%1 left");
    QElapsedTimer m_clock;
    std::deque<TSample> m_samples;
    qint64 m_lastShown = -1000;
};
