#include "transfer/targetfolders.h"

#include "transfer/existspolicy.h"

QString TTargetFolders::key(quint32 job, const QString& folder)
{
    return QString::number(job) + QLatin1Char(':') + folder;
}

bool TTargetFolders::Known(quint32 job, const QString& folder) const
{
    return m_folders.contains(key(job, folder));
}

void TTargetFolders::SetListing(quint32 job, const QString& folder, const std::vector<TRemoteEntry>& entries)
{
    TNames& names = m_folders[key(job, folder)];
    names.clear();
    for (const TRemoteEntry& entry : entries)
        if (entry.kind != ekParent)
            names.insert(entry.name, {entry.size, EntryModified(entry)});
}

void TTargetFolders::SetListing(quint32 job, const QString& folder, const TRemoteListing& listing)
{
    std::vector<TRemoteEntry> entries;
    for (int i = 1; i < listing.Count(); ++i)
        entries.push_back(listing.At(i));
    SetListing(job, folder, entries);
}

void TTargetFolders::SetEmpty(quint32 job, const QString& folder)
{
    m_folders[key(job, folder)].clear();
}

void TTargetFolders::Put(quint32 job, const QString& folder, const QString& name, const TFile& file)
{
    const auto it = m_folders.find(key(job, folder));
    if (it != m_folders.end())
        it->insert(name, file);
}

void TTargetFolders::Forget(quint32 job, const QString& folder)
{
    m_folders.remove(key(job, folder));
}

std::optional<TTargetFolders::TFile> TTargetFolders::Find(quint32 job, const QString& folder,
                                                          const QString& name, bool ignoreCase) const
{
    const auto it = m_folders.constFind(key(job, folder));
    if (it == m_folders.constEnd())
        return std::nullopt;
    const auto exact = it->constFind(name);
    if (exact != it->constEnd())
        return *exact;
    if (ignoreCase)
        for (auto other = it->constBegin(); other != it->constEnd(); ++other)
            if (other.key().compare(name, Qt::CaseInsensitive) == 0)
                return *other;
    return std::nullopt;
}
