#include "transfer/queuefile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QHash>
#include <QSaveFile>

#include <cstdio>
#include <vector>

namespace {

constexpr char kMagic[] = "KVQUEUE1";
constexpr int kMagicLength = 8;
constexpr int kDigestLength = 16;
constexpr qint64 kLargest = qint64(1) << 30;

void WriteText(QDataStream& out, const QString& text)
{
    out << quint32(text.size());
    out.writeRawData(reinterpret_cast<const char*>(text.constData()), int(text.size() * 2));
}

bool ReadText(QDataStream& in, qint64 left, QString& text)
{
    quint32 length = 0;
    in >> length;
    if (in.status() != QDataStream::Ok || qint64(length) * 2 > left)
        return false;
    text.resize(qsizetype(length));
    return in.readRawData(reinterpret_cast<char*>(text.data()), int(length * 2)) == int(length * 2);
}

bool Unfinished(const TQueueItem& item)
{
    return item.state == tsWaiting || item.state == tsRunning || item.state == tsFailed;
}

} // namespace

QByteArray TQueueFile::Encode(const TTransferQueue& queue)
{
    // Jobs and parents are written as indices into the file's own tables.
    QHash<quint32, quint32> jobIndex;
    std::vector<std::pair<quint32, quint8>> jobs; // id, direction
    QHash<quint32, qint32> itemIndex;
    std::vector<int> rows;
    for (int row = 0; row < queue.Count(); ++row) {
        const TQueueItem& item = queue.At(row);
        if (!Unfinished(item))
            continue;
        if (!jobIndex.contains(item.job)) {
            jobIndex.insert(item.job, quint32(jobs.size()));
            jobs.push_back({item.job, quint8(item.direction)});
        }
        itemIndex.insert(item.id, qint32(rows.size()));
        rows.push_back(row);
    }
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << quint32(jobs.size());
    for (const auto& [job, direction] : jobs)
        out << direction << quint8(queue.Policy(job)) << qint32(queue.JobFileCount(job));
    out << quint32(rows.size());
    for (int row : rows) {
        const TQueueItem& item = queue.At(row);
        // A parent that is done (so not written) needs nothing first after a load.
        out << jobIndex.value(item.job) << itemIndex.value(item.parent, -1) << quint8(item.kind)
            << quint8(item.direction) << quint8(item.state == tsFailed ? tsFailed : tsWaiting)
            << qint32(item.depth) << item.size << item.done << item.modified;
        WriteText(out, item.localPath);
        WriteText(out, item.remotePath);
        WriteText(out, item.reason);
    }
    QByteArray bytes(kMagic, kMagicLength);
    QDataStream header(&bytes, QIODevice::Append);
    header << quint64(payload.size());
    bytes += payload;
    bytes += QCryptographicHash::hash(payload, QCryptographicHash::Md5);
    return bytes;
}

bool TQueueFile::Decode(const QByteArray& bytes, TTransferQueue& queue, int* items)
{
    const qint64 overhead = kMagicLength + 8 + kDigestLength;
    if (bytes.size() < overhead || !bytes.startsWith(QByteArray(kMagic, kMagicLength)))
        return false;
    QDataStream header(bytes.mid(kMagicLength, 8));
    quint64 length = 0;
    header >> length;
    if (length != quint64(bytes.size() - overhead))
        return false;
    const QByteArray payload = bytes.mid(kMagicLength + 8, qsizetype(length));
    if (QCryptographicHash::hash(payload, QCryptographicHash::Md5) != bytes.right(kDigestLength))
        return false;

    // Everything is read and checked before the queue is touched.
    QDataStream in(payload);
    const auto left = [&] { return qint64(payload.size()) - in.device()->pos(); };
    quint32 jobCount = 0;
    in >> jobCount;
    if (in.status() != QDataStream::Ok || qint64(jobCount) * 6 > left())
        return false;
    struct TJobRecord {
        quint8 direction = 0, policy = 0;
        qint32 files = 0;
    };
    std::vector<TJobRecord> jobs(jobCount);
    for (TJobRecord& job : jobs) {
        in >> job.direction >> job.policy >> job.files;
        if (job.direction > tdUpload || job.policy > epOverwriteIfDifferent || job.files < 0)
            return false;
    }
    quint32 itemCount = 0;
    in >> itemCount;
    constexpr qint64 kSmallestItem = 4 + 4 + 3 + 4 + 24 + 12;
    if (in.status() != QDataStream::Ok || qint64(itemCount) * kSmallestItem > left())
        return false;
    struct TItemRecord {
        quint32 job = 0;
        qint32 parent = -1;
        TQueueItem item;
    };
    std::vector<TItemRecord> records(itemCount);
    for (quint32 i = 0; i < itemCount; ++i) {
        TItemRecord& r = records[i];
        quint8 kind = 0, direction = 0, state = 0;
        qint32 depth = 0;
        in >> r.job >> r.parent >> kind >> direction >> state >> depth >> r.item.size >> r.item.done >>
            r.item.modified;
        if (in.status() != QDataStream::Ok || r.job >= jobCount || r.parent < -1 ||
            r.parent >= qint32(itemCount) || r.parent == qint32(i) || kind > ikFolder ||
            direction > tdUpload || (state != tsWaiting && state != tsFailed) || depth < 0 ||
            r.item.size < 0 || r.item.done < 0)
            return false;
        if (!ReadText(in, left(), r.item.localPath) || !ReadText(in, left(), r.item.remotePath) ||
            !ReadText(in, left(), r.item.reason))
            return false;
        r.item.kind = TItemKind(kind);
        r.item.direction = TDirection(direction);
        r.item.state = TItemState(state);
        r.item.depth = depth;
    }
    if (in.status() != QDataStream::Ok || left() != 0)
        return false;

    std::vector<quint32> jobIds;
    for (const TJobRecord& job : jobs)
        jobIds.push_back(queue.NewJob(TDirection(job.direction), job.files, TExistsPolicy(job.policy)));
    std::vector<quint32> ids;
    ids.reserve(records.size());
    for (TItemRecord& r : records) {
        r.item.job = jobIds[r.job];
        ids.push_back(queue.Add(std::move(r.item)));
    }
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].parent >= 0)
            queue.Find(ids[i])->parent = ids[std::size_t(records[i].parent)];
    if (items)
        *items = int(records.size());
    return true;
}

bool TQueueFile::Save(const TTransferQueue& queue, const QString& path, QString* error)
{
    if (!queue.Unfinished()) {
        QFile::remove(path);
        return true;
    }
    QSaveFile file(path);
    const QByteArray bytes = Encode(queue);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancelWriting();
    return false;
}

TQueueFile::TLoaded TQueueFile::Load(const QString& path, TTransferQueue& queue,
                                     const std::function<QString(const QString& key)>& word)
{
    TLoaded loaded;
    QFile file(path);
    if (!file.exists())
        return loaded;
    const bool read = file.open(QIODevice::ReadOnly) && file.size() <= kLargest;
    if (read && Decode(file.readAll(), queue, &loaded.items))
        return loaded;
    file.close();
    loaded.damaged = true;
    const QString aside = path + QStringLiteral(".damaged");
    if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) == 0)
        loaded.setAside = aside;
    const QString text = word ? word(QStringLiteral("@idVrstaPoskodovana")) : QString();
    loaded.message = text + (loaded.setAside.isEmpty() ? path : loaded.setAside);
    return loaded;
}
