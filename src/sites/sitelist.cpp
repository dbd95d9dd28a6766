#include "sites/sitelist.h"

#include "sites/programpaths.h"
#include "sites/replacingfile.h"

#include "sites/inouterror.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

#include <algorithm>

namespace {
constexpr qsizetype kRecordSize = sizeof(TSiteRecord);
} // namespace

TSiteList::TSiteList() : m_table(MaxSites) {}

QString TSiteList::FilePath()
{
    return ProgramFilePath(QStringLiteral("Naslovi.kvs"));
}

int TSiteList::AddSite(const TSiteRecord& record)
{
    if (m_count >= MaxSites)
        return 0;
    m_table[std::size_t(m_count)] = record;
    m_modified = true;
    return ++m_count;
}

void TSiteList::DeleteSite(int k)
{
    if (k < 1 || k > m_count)
        return;
    std::copy(m_table.begin() + k, m_table.begin() + m_count, m_table.begin() + (k - 1));
    --m_count;
    m_modified = true;
}

void TSiteList::OpenSiteList()
{
    m_count = 0;
    const QFileInfo info(FilePath());
    m_fileNotReadWhole = info.exists();
    if (!info.isFile())
        return; // missing, or a FIFO or device that would block or never end
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const qint64 records = file.size() / kRecordSize;
    const qsizetype wanted = std::min<qint64>(records, MaxSites) * kRecordSize;
    const qint64 got = file.read(reinterpret_cast<char*>(m_table.data()), wanted);
    m_count = got > 0 ? int(got / kRecordSize) : 0;
    m_fileNotReadWhole = got != wanted || records > MaxSites;
}

void TSiteList::WriteSiteList()
{
    const QString path = FilePath();
    if (m_fileNotReadWhole) {
        const QByteArray from = QFile::encodeName(path);
        if (::rename(from.constData(), (from + ".bak").constData()) != 0 && errno != ENOENT)
            throw EInOutError(errno);
        m_fileNotReadWhole = false;
    }
    TReplacingFile file(path);
    file.Write(QByteArrayView(reinterpret_cast<const char*>(m_table.data()), m_count * kRecordSize));
    file.Commit();
}
