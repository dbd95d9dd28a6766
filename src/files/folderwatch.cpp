#include "files/folderwatch.h"

#include "widgets/events.h"

#include <QFileSystemWatcher>

TFolderWatch::TFolderWatch(QObject* parent) : QObject(parent), m_watcher(new QFileSystemWatcher(this))
{
    m_wait.setSingleShot(true);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { NoteChange(); });
    connect(&m_wait, &QTimer::timeout, this, [this] { fire(); });
}

void TFolderWatch::SetFolder(const QString& folder)
{
    if (folder == m_folder && (folder.isEmpty() || m_watcher->directories().contains(folder)))
        return;
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    m_folder = folder;
    m_pending = false;
    m_wait.stop();
    if (!folder.isEmpty())
        m_watcher->addPath(folder); // fails quietly for a folder that cannot be watched
}

void TFolderWatch::NoteChange()
{
    // A folder removed and made again leaves the watch: take it up again.
    if (!m_folder.isEmpty() && !m_watcher->directories().contains(m_folder))
        m_watcher->addPath(m_folder);
    if (m_held) {
        m_pending = true;
        return;
    }
    if (!m_wait.isActive())
        m_wait.start(m_interval);
}

void TFolderWatch::Hold(bool hold)
{
    if (hold == m_held)
        return;
    m_held = hold;
    if (hold) {
        m_readTime.start();
        return;
    }
    if (m_pending) {
        m_pending = false;
        m_wait.start(qMax<qint64>(m_interval, m_readTime.elapsed()));
    }
}

void TFolderWatch::fire()
{
    if (m_held) {
        m_pending = true;
        return;
    }
    FireEvent(OnChanged, this);
}
