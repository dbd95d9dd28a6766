#include "app/localpanedelete.h"

#include "app/localpanefs.h"
#include "core/exception.h"

#include <QFile>

TLocalPaneDelete::TLocalPaneDelete(std::vector<QByteArray> paths, bool toTrash, QObject* parent)
    : QObject(parent), m_paths(std::move(paths)), m_toTrash(toTrash)
{
}

TLocalPaneDelete::~TLocalPaneDelete()
{
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
}

void TLocalPaneDelete::Start()
{
    m_worker = std::thread([this] { Run(); });
}

void TLocalPaneDelete::Run()
{
    QStringList failures;
    for (const QByteArray& path : m_paths) {
        if (m_cancel)
            return;
        QString reason;
        QByteArray failedPath = path;
        if (m_toTrash) {
            reason = MoveToTrash(path);
        } else if (const int error = RemoveForGood(path, failedPath, m_cancel)) {
            reason = IoErrorText(error);
        }
        if (!reason.isEmpty())
            failures.append(QFile::decodeName(failedPath) + QStringLiteral(": ") + reason);
    }
    if (m_cancel)
        return;
    // Posted to this object: a job destroyed before it arrives takes the event with it.
    QMetaObject::invokeMethod(
        this, [this, failures] { FireEvent(OnDone, this, failures); }, Qt::QueuedConnection);
}
