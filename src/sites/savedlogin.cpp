#include "sites/savedlogin.h"

#include "keyring/passwordstore.h"
#include "sites/settings.h"

#include <QUrl>

QString TSavedLogin::Key(const QString& host, const QString& port, const QString& user)
{
    auto part = [](const QString& text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text.trimmed()));
    };
    return QStringLiteral("login:%1@%2:%3").arg(part(user), part(host.toLower()), part(port));
}

QString TSavedLogin::currentKey() const
{
    return Key(m_settings.ZNaslov, m_settings.ZVrata, m_settings.ZUporIme);
}

void TSavedLogin::Load()
{
    if (!m_store)
        return;
    if (!m_settings.ZGesloVShrambi || !m_settings.ZUporGeslo.isEmpty()) {
        Remember();
        return;
    }
    const QString key = currentKey();
    ++m_pending;
    m_store->ReadPassword(key, [this, key](TPasswordStatus status, const QString& password) {
        --m_pending;
        if (status != TPasswordStatus::tpsOk || key != currentKey() || !m_settings.ZUporGeslo.isEmpty())
            return;
        m_settings.ZUporGeslo = password;
        m_storedKey = key;
    });
}

void TSavedLogin::Remember()
{
    if (!m_store || m_settings.ZUporGeslo.isEmpty())
        return;
    const QString key = currentKey();
    const QString password = m_settings.ZUporGeslo;
    ++m_pending;
    m_store->WritePassword(key, password, [this, key, password](TPasswordStatus status) {
        --m_pending;
        if (key != currentKey() || password != m_settings.ZUporGeslo)
            return; // the parameters changed meanwhile: a later answer decides
        m_settings.ZGesloVShrambi = status != TPasswordStatus::tpsNoKeyring;
        if (status != TPasswordStatus::tpsOk)
            return;
        if (!m_storedKey.isEmpty() && m_storedKey != key)
            m_store->DeletePassword(m_storedKey, [](TPasswordStatus) {});
        m_storedKey = key;
    });
}
