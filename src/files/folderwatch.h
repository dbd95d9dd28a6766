#pragma once
// TFolderWatch: tells its owner when the entries of one folder changed on disk
// (added, removed, renamed, written), so a list can follow the disk by itself.
//
// Contract:
// - OnChanged(sender) fires on the UI thread, from a timer, never from inside
//   SetFolder or Hold. Changes are coalesced: the first change starts a wait
//   of Interval() ms (300 by default) and every change until it ends is
//   answered by that one event, so a folder that changes all the time costs
//   at most one event per wait.
// - Hold(true) while the owner reads the folder; a change meanwhile (or a
//   wait that ends meanwhile) fires once Hold(false) has been called and a
//   wait as long as the read itself has passed, so reading a huge folder can
//   never take more than half of the time (no reload storm).
// - SetFolder("") stops watching. A folder that is removed and made again is
//   watched again at its next change or SetFolder call.
// Handlers may call any method, SetFolder included.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class QFileSystemWatcher;

class TFolderWatch : public QObject {
    Q_OBJECT
public:
    explicit TFolderWatch(QObject* parent = nullptr);

    QString Folder() const { return m_folder; }
    void SetFolder(const QString& folder);
    int Interval() const { return m_interval; }
    void SetInterval(int ms) { m_interval = ms; }
    void Hold(bool hold);
    // As if the folder changed (the owner could not follow a change yet).
    void NoteChange();

    std::function<void(TFolderWatch* sender)> OnChanged;

private:
    void fire();

    QFileSystemWatcher* m_watcher;
    QTimer m_wait;
    QString m_folder;
    int m_interval = 300;
    bool m_held = false;
    bool m_pending = false; // a change came while held
    QElapsedTimer m_readTime;
};
