// The meter's texts: amounts, speed and the time left of a running transfer.
#include "app/transfermeter.h"

#include <QLabel>
#include <gtest/gtest.h>

TEST(TransferMeter, TextsAndTheTimeLeft)
{
    QLabel label;
    TTransferMeter meter(&label);
    const struct {
        qint64 bytes, total;
        double speed;
        const char* text;
    } cases[] = {
        {0, 0, 0, "0 B"},
        {1'500'000, 0, 250'000, "1.5 MB   250 kB/s"}, // no total: no time left
        {1'000'000, 3'000'000, 0, "1.0 MB / 3.0 MB"}, // no speed yet: no time left
        {1'000'000, 3'000'000, 100'000, "1.0 MB / 3.0 MB   100 kB/s   0:20 left"},
        {0, 7'200'000'000, 1'000'000, "0 B / 7.2 GB   1.0 MB/s   2:00:00 left"},
        {3'000'000, 3'000'000, 100'000, "3.0 MB / 3.0 MB   100 kB/s"}, // done: nothing left
    };
    for (const auto& c : cases)
        EXPECT_EQ(meter.Text(c.bytes, c.total, c.speed).toStdString(), c.text);

    meter.SetLeftFormat(QStringLiteral("še %1"));
    EXPECT_EQ(meter.Text(1'000'000, 3'000'000, 100'000).toStdString(),
              "1.0 MB / 3.0 MB   100 kB/s   še 0:20");
    // The label is sized for the longest text: every real one fits in it.
    const int widest = label.fontMetrics().horizontalAdvance(meter.WidestText());
    for (const auto& c : cases)
        EXPECT_LE(label.fontMetrics().horizontalAdvance(meter.Text(c.bytes, c.total, c.speed)), widest);
    EXPECT_EQ(TTransferMeter::Duration(59).toStdString(), "0:59");
    EXPECT_EQ(TTransferMeter::Duration(3599).toStdString(), "59:59");
    EXPECT_EQ(TTransferMeter::Duration(360'000).toStdString(), "100:00:00");
}
