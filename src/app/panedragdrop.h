#pragma once
// TPaneDragDrop: drag and drop between the two file panes, and from the
// desktop's file manager onto the remote pane. It watches the panes' views
// (an event filter on their viewports); the panes themselves know nothing of it.
//
// - A drag starts only from a press on a selected row followed by a move of
//   the drag distance; it carries the whole selection. A press on an
//   unselected row or on empty space goes to the view as usual (selection,
//   rubber band). A press on a selected row that ends without a move reaches
//   the view at its release, so clicks, double-clicks and the slow second
//   click that renames keep working.
// - Local pane → remote pane: the local selection as file: URLs (and its
//   exact bytes for Kvado's own drops). Remote pane → local pane: the remote
//   selection, taken when the drag starts. Files and folders from the desktop
//   (text/uri-list of file: URLs) are taken by the remote pane.
// - A drop is only ever a copy: a drag that offers no copy is refused, and
//   the drop action is set to copy, so no source deletes its originals.
// - The events fire from the event loop once the drop has ended (the
//   dragging program is not kept waiting): OnUpload(paths, remoteEntry) with
//   the listing's entry under the drop (-1: none; the receiver decides whether
//   it is a folder), OnDownload(entries, folder, localFolder) with the local folder
//   under the drop or the current one. Accept* say whether a drop is taken now
//   (connected, not busy); a refused drop shows the forbidden cursor.
#include "ftp/remotelisting.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <vector>

class QAbstractItemView;
class QDropEvent;
class QMimeData;
class QMouseEvent;
class TLocalPane;
class TRemotePane;

class TPaneDragDrop : public QObject {
    Q_OBJECT
public:
    TPaneDragDrop(TLocalPane& local, TRemotePane& remote, QObject* parent = nullptr);

    // The remote selection's entries and folder, read when a drag starts from the remote pane.
    std::function<std::vector<TRemoteEntry>()> RemoteSelection;
    std::function<QString()> RemoteFolder;
    std::function<bool()> AcceptUpload;
    std::function<bool()> AcceptDownload;

    std::function<void(const QStringList& localPaths, int remoteEntry)> OnUpload;
    std::function<void(const std::vector<TRemoteEntry>& entries, const QString& remoteFolder,
                       const QString& localFolder)>
        OnDownload;

    // Local paths of a drag's data: Kvado's own exact bytes when present, else the file: URLs.
    static QStringList LocalPaths(const QMimeData* data);
    // Data for a drag of local paths (URLs and exact bytes).
    static QMimeData* LocalPathsData(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* viewOf(QObject* viewport) const;
    bool isRemote(QAbstractItemView* view) const;
    bool mouse(QAbstractItemView* view, QMouseEvent* event);
    bool drop(QAbstractItemView* view, QDropEvent* event);
    void startDrag(QAbstractItemView* view);

    TLocalPane& m_local;
    TRemotePane& m_remote;
    std::vector<QAbstractItemView*> m_views; // the remote pane's view first, then the local list's
    QPointer<QWidget> m_pressViewport;       // a press on a selected row held back, or null
    QPoint m_pressAt;
    Qt::KeyboardModifiers m_pressModifiers;
    bool m_replaying = false;
    std::vector<TRemoteEntry> m_dragged; // the remote drag's entries, while it runs
    QString m_draggedFolder;
};
