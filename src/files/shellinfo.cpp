#include "files/shellinfo.h"

#include <QFileIconProvider>
#include <QHash>
#include <QMimeDatabase>

namespace {

class TShellCache {
public:
    TShellEntry For(const QString& fileName, bool isDirectory)
    {
        const QMimeType type = isDirectory
                                   ? m_directoryType
                                   : m_database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
        const QString name = type.name();
        auto found = m_entries.constFind(name);
        if (found == m_entries.constEnd())
            found = m_entries.insert(name, MakeEntry(type, isDirectory));
        return found.value();
    }

    void RereadTexts()
    {
        for (auto entry = m_entries.begin(); entry != m_entries.end(); ++entry)
            entry->TypeText = m_database.mimeTypeForName(entry.key()).comment();
    }

    std::vector<QIcon> Icons;

private:
    TShellEntry MakeEntry(const QMimeType& type, bool isDirectory)
    {
        QIcon icon = QIcon::fromTheme(type.iconName());
        if (icon.isNull())
            icon = QIcon::fromTheme(type.genericIconName());
        if (icon.isNull())
            icon = m_provider.icon(isDirectory ? QAbstractFileIconProvider::Folder
                                               : QAbstractFileIconProvider::File);
        Icons.push_back(icon);
        return TShellEntry{type.comment(), static_cast<int>(Icons.size()) - 1};
    }

    QMimeDatabase m_database;
    QMimeType m_directoryType = m_database.mimeTypeForName(QStringLiteral("inode/directory"));
    QFileIconProvider m_provider;
    QHash<QString, TShellEntry> m_entries;
};

TShellCache& Cache()
{
    static TShellCache cache;
    return cache;
}

} // namespace

TShellEntry ShellInfoFor(const QString& fileName, bool isDirectory)
{
    return Cache().For(fileName, isDirectory);
}

void RereadShellTexts()
{
    Cache().RereadTexts();
}

const std::vector<QIcon>& ShellIcons()
{
    return Cache().Icons;
}
