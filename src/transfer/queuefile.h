#pragma once
// TQueueFile: keeps the queue's unfinished items across runs. Save writes the
// waiting, running (as waiting) and failed items with their jobs' policies;
// Load adds them back to a queue in new jobs.
//
// Contract:
// - Synchronous, no events. The caller chooses the path (the data folder) and
//   asks the user whether to continue the loaded items.
// - Save writes by replace: a temporary file in the same folder, renamed over
//   the old one when whole, so a crash or a full disk mid-write leaves the old
//   file as it was. Saving a queue with nothing unfinished removes the file.
// - Load never crashes on bad input: a file that is damaged in any way (cut,
//   foreign, a wrong length or checksum, values out of range) adds nothing, is
//   renamed to <path>.damaged (replacing an older one) and is reported in
//   message. A missing file loads nothing and reports nothing.
// - Texts keep every UTF-16 unit, so names keep their bytes.
#include "transfer/transferqueue.h"

#include <QByteArray>
#include <QString>

#include <functional>

class TQueueFile {
public:
    struct TLoaded {
        int items = 0; // items added to the queue
        bool damaged = false;
        QString setAside; // where a damaged file went ("" when it could not be renamed)
        QString message;  // for the user when damaged
    };

    // False (the old file untouched, error set) when the file could not be written.
    static bool Save(const TTransferQueue& queue, const QString& path, QString* error = nullptr);
    // word: the main window's word table, for the message.
    static TLoaded Load(const QString& path, TTransferQueue& queue,
                        const std::function<QString(const QString& key)>& word);

    // The file's bytes for a queue, and back (false: damaged, the queue untouched).
    static QByteArray Encode(const TTransferQueue& queue);
    static bool Decode(const QByteArray& bytes, TTransferQueue& queue, int* items);
};
