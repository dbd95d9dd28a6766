#include "app/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVariantMap>

namespace {

const QString kDesktopEntry = QStringLiteral("si.zorvek.Kvado");

} // namespace

void TDesktopNotifier::Notify(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), kDesktopEntry}};
    call << QStringLiteral("Kvado") << 0u << kDesktopEntry << summary << body << QStringList() << hints
         << qint32(-1);
    bus.asyncCall(call); // no answer is awaited: a missing service costs nothing
}

void TDesktopNotifier::SetProgress(double fraction, bool visible)
{
    fraction = qBound(0.0, fraction, 1.0);
    if (visible == m_visible && (!visible || qAbs(fraction - m_fraction) < 0.001))
        return;
    m_fraction = fraction;
    m_visible = visible;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/si/zorvek/Kvado"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    const QVariantMap properties{{QStringLiteral("progress"), fraction},
                                 {QStringLiteral("progress-visible"), visible}};
    update << QStringLiteral("application://%1.desktop").arg(kDesktopEntry) << properties;
    bus.send(update);
}
