#include "app/singleinstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>

namespace {

const QString kService = QStringLiteral("si.zorvek.Kvado");
const QString kPath = QStringLiteral("/si/zorvek/Kvado");

} // namespace

bool TSingleInstance::Serve()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerService(kService))
        return false;
    return bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots);
}

bool TSingleInstance::HandOver(const QString& link)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kService))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Open"));
    call << link;
    return bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

void TSingleInstance::Open(const QString& link)
{
    // Answer the caller first; the link may ask questions (modal) before it connects.
    QTimer::singleShot(0, this, [this, link] {
        if (OnOpen)
            OnOpen(link);
    });
}
