#include "sites/sitelist.h"

#include "sites/programpaths.h"
#include "sites/replacingfile.h"

#include "sites/inouterror.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstdio>

#include <algorithm>
#include <utility>

namespace {
constexpr qsizetype kRecordSize = sizeof(TSiteRecord);
} // namespace

TSiteList::TSiteList() : m_table(MaxSites), m_passwords(MaxSites) {}

QString TSiteList::FilePath()
{
    return ProgramFilePath(QStringLiteral("Naslovi.kvs"));
}

int TSiteList::AddSite(const TSiteRecord& record)
{
    if (m_count >= MaxSites)
        return 0;
    m_table[std::size_t(m_count)] = record;
    m_passwords[std::size_t(m_count)] = TPassword{m_nextId++, record.Password()};
    m_modified = true;
    return ++m_count;
}

void TSiteList::DeleteSite(int k)
{
    if (k < 1 || k > m_count)
        return;
    m_deleted.push_back({k, m_table[std::size_t(k - 1)], m_passwords[std::size_t(k - 1)]});
    std::copy(m_table.begin() + k, m_table.begin() + m_count, m_table.begin() + (k - 1));
    std::move(m_passwords.begin() + k, m_passwords.begin() + m_count, m_passwords.begin() + (k - 1));
    --m_count;
    m_modified = true;
}

int TSiteList::UndoDelete()
{
    if (m_deleted.empty() || m_count >= MaxSites)
        return 0;
    TDeleted deleted = std::move(m_deleted.back());
    m_deleted.pop_back();
    const int k = std::min(deleted.k, m_count + 1);
    std::copy_backward(m_table.begin() + (k - 1), m_table.begin() + m_count, m_table.begin() + m_count + 1);
    std::move_backward(m_passwords.begin() + (k - 1), m_passwords.begin() + m_count,
                       m_passwords.begin() + m_count + 1);
    m_table[std::size_t(k - 1)] = deleted.record;
    m_passwords[std::size_t(k - 1)] = std::move(deleted.password);
    ++m_count;
    m_modified = true;
    return k;
}

void TSiteList::ForgetDeleted()
{
    auto stillUsed = [this](const QString& key) {
        return std::any_of(m_passwords.begin(), m_passwords.begin() + m_count,
                           [&key](const TPassword& entry) { return entry.storedKey == key; });
    };
    for (const TDeleted& deleted : m_deleted)
        if (m_store && !deleted.password.storedKey.isEmpty() && !stillUsed(deleted.password.storedKey))
            m_store->DeletePassword(deleted.password.storedKey,
                                    [this](TPasswordStatus status) { keyringAnswered(status); });
    m_deleted.clear();
}

void TSiteList::OpenSiteList()
{
    probeKeyring();
    m_count = 0;
    const QFileInfo info(FilePath());
    m_fileNotReadWhole = info.exists();
    if (!info.isFile())
        return; // missing, or a FIFO or device that would block or never end
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const qint64 records = file.size() / kRecordSize;
    const qsizetype wanted = std::min<qint64>(records, MaxSites) * kRecordSize;
    const qint64 got = file.read(reinterpret_cast<char*>(m_table.data()), wanted);
    m_count = got > 0 ? int(got / kRecordSize) : 0;
    m_fileNotReadWhole = got != wanted || records > MaxSites;
    for (int k = 1; k <= m_count; ++k)
        takePassword(k);
}

void TSiteList::probeKeyring()
{
    // Even a list without passwords learns whether a keyring is there (the options say so).
    if (m_store)
        m_store->ReadPassword(QStringLiteral("probe"),
                              [this](TPasswordStatus status, const QString&) { keyringAnswered(status); });
}

void TSiteList::takePassword(int k)
{
    const TSiteRecord& record = m_table[std::size_t(k - 1)];
    TPassword& entry = m_passwords[std::size_t(k - 1)];
    entry = TPassword{m_nextId++, record.Password()};
    if (!record.PasswordInKeyring() || !record.Password().isEmpty()) {
        if (!record.Password().isEmpty())
            storeInKeyring(k); // a password found in the file moves into the keyring
        return;
    }
    if (!m_store || !usesKeyring(record)) {
        entry.state = TSitePasswordState::spsUnknown;
        return;
    }
    entry.state = TSitePasswordState::spsReading;
    const QString key = PasswordKey(record);
    ++m_pending;
    m_store->ReadPassword(key, [this, id = entry.id, key](TPasswordStatus status, const QString& password) {
        --m_pending;
        keyringAnswered(status);
        const int at = indexOf(id);
        TPassword* entry = entryOf(id, at);
        if (!entry || entry->state != TSitePasswordState::spsReading)
            return; // given a password by the user meanwhile
        TPassword& read = *entry;
        read.state =
            status == TPasswordStatus::tpsOk ? TSitePasswordState::spsKnown : TSitePasswordState::spsUnknown;
        read.text = password;
        if (status == TPasswordStatus::tpsOk)
            read.storedKey = key;
        if (OnPasswordRead && at != 0)
            OnPasswordRead(this, at);
    });
}

int TSiteList::indexOf(quint64 id) const
{
    for (int k = 1; k <= m_count; ++k)
        if (m_passwords[std::size_t(k - 1)].id == id)
            return k;
    return 0;
}

TSiteList::TPassword* TSiteList::entryOf(quint64 id, int k)
{
    if (k != 0)
        return &m_passwords[std::size_t(k - 1)];
    // A deleted site keeps its password until the delete can no longer be undone.
    for (TDeleted& deleted : m_deleted)
        if (deleted.password.id == id)
            return &deleted.password;
    return nullptr;
}

bool TSiteList::usesKeyring(const TSiteRecord& record) const
{
    return m_store && record.loginType == 1;
}

void TSiteList::keyringAnswered(TPasswordStatus status)
{
    // A keyring that answered once stays this run's keyring: should it go away, passwords typed later
    // are still kept out of the file (and asked for at the next connect).
    if (status != TPasswordStatus::tpsNoKeyring)
        m_keyring = TKeyringState::tksAvailable;
    else if (m_keyring == TKeyringState::tksUnknown)
        m_keyring = TKeyringState::tksNone;
}

QString TSiteList::PasswordKey(const TSiteRecord& record)
{
    // Each part percent-encoded, so no name, user or host can look like another's.
    auto part = [](const QString& text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
    return QStringLiteral("site:%1/%2@%3:%4")
        .arg(part(record.Name()), part(record.User()), part(record.Host()), QString::number(record.Port()));
}

QString TSiteList::SitePassword(int k) const
{
    return m_passwords.at(std::size_t(k - 1)).text;
}

TSitePasswordState TSiteList::PasswordState(int k) const
{
    return m_passwords.at(std::size_t(k - 1)).state;
}

void TSiteList::SetSitePassword(int k, const QString& password)
{
    TPassword& entry = m_passwords.at(std::size_t(k - 1));
    entry.text = password;
    entry.state = TSitePasswordState::spsKnown;
    entry.typed = true;
    m_modified = true;
    storeInKeyring(k);
}

void TSiteList::storeInKeyring(int k)
{
    const TSiteRecord& record = m_table[std::size_t(k - 1)];
    TPassword& entry = m_passwords[std::size_t(k - 1)];
    const QString key = PasswordKey(record);
    if (!usesKeyring(record) || m_keyring == TKeyringState::tksNone || entry.text.isEmpty()) {
        if (m_store && !entry.storedKey.isEmpty()) // nothing of it stays under the old key
            m_store->DeletePassword(std::exchange(entry.storedKey, QString()),
                                    [this](TPasswordStatus status) { keyringAnswered(status); });
        return;
    }
    const int generation = ++entry.generation;
    ++m_pending;
    m_store->WritePassword(key, entry.text, [this, id = entry.id, generation, key](TPasswordStatus status) {
        --m_pending;
        keyringAnswered(status);
        TPassword* entry = entryOf(id, indexOf(id));
        if (!entry || entry->generation != generation || status != TPasswordStatus::tpsOk)
            return;
        TPassword& stored = *entry;
        const QString old = std::exchange(stored.storedKey, key);
        if (!old.isEmpty() && old != key)
            m_store->DeletePassword(old, [this](TPasswordStatus answer) { keyringAnswered(answer); });
        m_modified = true; // the file is written again, without the password
    });
}

TSiteRecord TSiteList::fileRecord(int k) const
{
    TSiteRecord record = m_table[std::size_t(k - 1)];
    const TPassword& entry = m_passwords[std::size_t(k - 1)];
    if (!usesKeyring(record) || entry.state != TSitePasswordState::spsKnown) {
        // As it was read, or as described; an unknown password stays marked for the next start.
        if (record.loginType == 1 || !record.PasswordInKeyring())
            return record;
        record.SetPasswordInKeyring(false);
        return record;
    }
    const bool inKeyring = !entry.storedKey.isEmpty() && entry.storedKey == PasswordKey(record);
    const bool fileKeepsIt = m_keyring == TKeyringState::tksNone || (!entry.typed && !inKeyring);
    if (fileKeepsIt && !entry.text.isEmpty() && entry.state == TSitePasswordState::spsKnown) {
        record.SetPassword(entry.text);
        if (record.PasswordInKeyring())
            record.SetPasswordInKeyring(false);
        return record;
    }
    // In the keyring, or refused by it: the file never holds a password the user typed.
    record.SetPassword(QString());
    record.SetPasswordInKeyring(!entry.text.isEmpty() || record.PasswordInKeyring());
    return record;
}

void TSiteList::WriteSiteList()
{
    const QString path = FilePath();
    if (m_fileNotReadWhole) {
        const QByteArray from = QFile::encodeName(path);
        if (::rename(from.constData(), (from + ".bak").constData()) != 0 && errno != ENOENT)
            throw EInOutError(errno);
        m_fileNotReadWhole = false;
    }
    std::vector<TSiteRecord> records;
    records.reserve(std::size_t(m_count));
    for (int k = 1; k <= m_count; ++k)
        records.push_back(fileRecord(k));
    TReplacingFile file(path);
    file.Write(QByteArrayView(reinterpret_cast<const char*>(records.data()), m_count * kRecordSize));
    file.Commit();
}
