#pragma once
// TLocalPaneDelete: deletes a list of local entries on a worker thread, so
// that a large folder never freezes the window. Each entry goes either to the
// desktop's Trash or for good (see localpanefs.h); a failed move to the Trash
// is reported as a failure and never turns into deleting for good.
//
// Events (UI thread): OnDone(sender, failures) exactly once, after the last
// entry, with one text per entry that could not go ("path: reason"), in the
// order given. It is not raised when the job is destroyed first. The handler
// may destroy the job with deleteLater() (not delete).
//
// Destroying the job stops the worker after the entry it is on and waits for
// it; what was deleted stays deleted.
#include <QObject>
#include <QStringList>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

class TLocalPaneDelete : public QObject {
    Q_OBJECT
public:
    using TDoneEvent = std::function<void(TLocalPaneDelete* sender, const QStringList& failures)>;

    TLocalPaneDelete(std::vector<QByteArray> paths, bool toTrash, QObject* parent = nullptr);
    ~TLocalPaneDelete() override;

    // Starts the worker; call once, after OnDone is assigned.
    void Start();

    TDoneEvent OnDone;

private:
    void Run();

    std::vector<QByteArray> m_paths;
    bool m_toTrash;
    std::atomic<bool> m_cancel{false};
    std::thread m_worker;
};
