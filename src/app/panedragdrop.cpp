#include "app/panedragdrop.h"

#include "app/localpane.h"
#include "app/remotepane.h"
#include "core/utf8kept.h"
#include "files/filelist.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

// Kvado's own drags: the exact bytes of local paths (NUL-separated), and the marker of a remote selection.
const QString LocalBytesType = QStringLiteral("application/x-kvado-local-paths");
const QString RemoteType = QStringLiteral("application/x-kvado-remote-entries");

} // namespace

TPaneDragDrop::TPaneDragDrop(TLocalPane& local, TRemotePane& remote, QObject* parent)
    : QObject(parent), m_local(local), m_remote(remote)
{
    m_views.push_back(&remote);
    for (QAbstractItemView* view : local.List()->findChildren<QAbstractItemView*>()) {
        m_views.push_back(view);
    }
    // The local list's own file drop (AcceptFiles, files of other programs)
    // stays off: the local list takes the remote pane's drags here instead,
    // its views registered as drop targets directly, so the list's own drop
    // handling never sees (and refuses) them.
    for (QAbstractItemView* view : m_views) {
        view->viewport()->setAcceptDrops(true);
        view->viewport()->installEventFilter(this);
    }
}

QStringList TPaneDragDrop::LocalPaths(const QMimeData* data)
{
    QStringList paths;
    if (data == nullptr) {
        return paths;
    }
    if (data->hasFormat(LocalBytesType)) {
        for (const QByteArray& bytes : data->data(LocalBytesType).split('\0')) {
            if (bytes.startsWith('/')) {
                paths.append(FromUtf8Kept(bytes));
            }
        }
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            continue; // only files of this machine can be sent
        }
        // The URL's own percent-encoding keeps the bytes of a name that is no valid UTF-8.
        const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (bytes.startsWith('/')) {
            paths.append(FromUtf8Kept(bytes));
        }
    }
    return paths;
}

QMimeData* TPaneDragDrop::LocalPathsData(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray bytes;
    for (const QString& path : paths) {
        const QByteArray exact = ToUtf8Kept(path);
        QUrl url;
        url.setScheme(QStringLiteral("file"));
        url.setPath(QString::fromLatin1(exact.toPercentEncoding("/")), QUrl::StrictMode);
        urls.append(url);
        bytes += exact + '\0';
    }
    data->setUrls(urls);
    data->setData(LocalBytesType, bytes);
    return data;
}

QAbstractItemView* TPaneDragDrop::viewOf(QObject* viewport) const
{
    for (QAbstractItemView* view : m_views) {
        if (view->viewport() == viewport) {
            return view;
        }
    }
    return nullptr;
}

bool TPaneDragDrop::isRemote(QAbstractItemView* view) const
{
    return view == &m_remote;
}

bool TPaneDragDrop::eventFilter(QObject* watched, QEvent* event)
{
    QAbstractItemView* view = viewOf(watched);
    if (view == nullptr || m_replaying) {
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return mouse(view, static_cast<QMouseEvent*>(event));
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return drop(view, static_cast<QDropEvent*>(event));
    default:
        return false;
    }
}

bool TPaneDragDrop::mouse(QAbstractItemView* view, QMouseEvent* event)
{
    QWidget* viewport = view->viewport();
    const QPoint at = event->position().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const QModelIndex index = view->indexAt(at);
        const bool plain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
        if (event->button() != Qt::LeftButton || !plain || !index.isValid() ||
            !view->selectionModel()->isRowSelected(index.row(), index.parent())) {
            return false; // selection and rubber band as usual
        }
        m_pressViewport = viewport;
        m_pressAt = at;
        m_pressModifiers = event->modifiers();
        return true; // held back: a drag, or a click replayed at the release
    }
    case QEvent::MouseMove:
        if (m_pressViewport != viewport) {
            return false;
        }
        if (!(event->buttons() & Qt::LeftButton)) {
            m_pressViewport = nullptr;
            return false;
        }
        if ((at - m_pressAt).manhattanLength() >= QApplication::startDragDistance()) {
            m_pressViewport = nullptr;
            startDrag(view);
        }
        return true;
    default: // release
        if (m_pressViewport != viewport) {
            return false;
        }
        m_pressViewport = nullptr;
        {
            // The press that did not become a drag reaches the view now, before its release.
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(m_pressAt),
                              viewport->mapToGlobal(QPointF(m_pressAt)), Qt::LeftButton, Qt::LeftButton,
                              m_pressModifiers);
            m_replaying = true;
            QCoreApplication::sendEvent(viewport, &press);
            m_replaying = false;
        }
        return false;
    }
}

void TPaneDragDrop::startDrag(QAbstractItemView* view)
{
    QMimeData* data = nullptr;
    if (isRemote(view)) {
        m_dragged = RemoteSelection ? RemoteSelection() : std::vector<TRemoteEntry>();
        m_draggedFolder = RemoteFolder ? RemoteFolder() : QString();
        if (m_dragged.empty()) {
            return;
        }
        data = new QMimeData;
        data->setData(RemoteType, QByteArray::number(QCoreApplication::applicationPid()));
    } else {
        const QStringList paths = m_local.SelectedPaths();
        if (paths.isEmpty()) {
            return;
        }
        data = LocalPathsData(paths);
    }
    auto* drag = new QDrag(view);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
    m_dragged.clear();
}

bool TPaneDragDrop::drop(QAbstractItemView* view, QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    const bool remoteTarget = isRemote(view);
    bool taken = false;
    if (remoteTarget) {
        taken = (data->hasUrls() || data->hasFormat(LocalBytesType)) && !LocalPaths(data).isEmpty() &&
                (!AcceptUpload || AcceptUpload());
    } else {
        // Only a drag of this program's remote pane, while it runs.
        taken = data->hasFormat(RemoteType) && !m_dragged.empty() && (!AcceptDownload || AcceptDownload());
    }
    if (!taken || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return true;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (event->type() != QEvent::Drop) {
        return true;
    }
    const int row = view->indexAt(event->position().toPoint()).row();
    if (remoteTarget) {
        const int entry = m_remote.EntryOfRow(row); // sorted rows show table entries in another order
        const QStringList paths = LocalPaths(data);
        QMetaObject::invokeMethod(
            this,
            [this, paths, entry] {
                if (OnUpload) {
                    OnUpload(paths, entry);
                }
            },
            Qt::QueuedConnection);
    } else {
        QString folder = m_local.FolderOfRow(row);
        if (folder.isEmpty()) {
            folder = m_local.Directory();
        }
        QMetaObject::invokeMethod(
            this,
            [this, entries = m_dragged, remoteFolder = m_draggedFolder, folder] {
                if (OnDownload) {
                    OnDownload(entries, remoteFolder, folder);
                }
            },
            Qt::QueuedConnection);
    }
    return true;
}
