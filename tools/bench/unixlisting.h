#pragma once
// A UNIX "ls -l" listing of the given number of entries (a "total" line, then
// folders, links and files in turn), shared by the benchmarks that parse or
// show listings.
#include <QByteArray>

inline QByteArray UnixListing(int lines)
{
    QByteArray raw = "total " + QByteArray::number(lines * 4) + "\r\n";
    raw.reserve(lines * 72);
    for (int i = 0; i < lines; ++i) {
        const QByteArray n = QByteArray::number(i);
        switch (i % 4) {
        case 0:
            raw += "drwxr-xr-x    2 kvado    users        4096 Jan  1 12:00 folder " + n + "\r\n";
            break;
        case 1:
            raw += "lrwxrwxrwx    1 kvado    users          11 Feb 12  2019 link" + n + " -> target/" + n +
                   "\r\n";
            break;
        default:
            raw += "-rw-r--r--    1 kvado    users   " + QByteArray::number(qint64(i) * 7919) +
                   " Mar 31 23:59 file_" + n + ".tar.gz\r\n";
        }
    }
    return raw;
}
