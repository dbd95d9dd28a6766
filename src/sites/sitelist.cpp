#include "sites/sitelist.h"

#include "sites/programpaths.h"
#include "sites/replacingfile.h"

#include <QFile>

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
    QFile file(FilePath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const qsizetype wanted = std::min<qint64>(file.size() / kRecordSize, MaxSites) * kRecordSize;
    const qint64 got = file.read(reinterpret_cast<char*>(m_table.data()), wanted);
    m_count = got > 0 ? int(got / kRecordSize) : 0;
}

void TSiteList::WriteSiteList() const
{
    TReplacingFile file(FilePath());
    file.Write(QByteArrayView(reinterpret_cast<const char*>(m_table.data()), m_count * kRecordSize));
    file.Commit();
}
