#include "keyring/keychainstore.h"

#include <qt6keychain/keychain.h>

const QString TKeychainStore::ServiceName = QStringLiteral("Kvado");

namespace {

TPasswordStatus statusOf(const QKeychain::Job* job)
{
    switch (job->error()) {
    case QKeychain::NoError:
        return TPasswordStatus::tpsOk;
    case QKeychain::EntryNotFound:
        return TPasswordStatus::tpsNotFound;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return TPasswordStatus::tpsNoKeyring;
    case QKeychain::OtherError: {
        // The libsecret backend reports a missing session bus ("Cannot
        // autolaunch D-Bus ...", "Could not connect: ...") or a bus without a Secret Service ("The name
        // org.freedesktop.secrets was not provided ...", ServiceUnknown) as an
        // other error; anything else (a time-out, a locked or missing
        // collection) is a keyring that answered and failed, and counts as a
        // refusal, so the password never falls back to a file.
        const QString text = job->errorString();
        const bool noKeyring = text.contains(QLatin1String("org.freedesktop.secrets")) ||
                               text.contains(QLatin1String("ServiceUnknown")) ||
                               text.contains(QLatin1String("Could not connect")) ||
                               text.contains(QLatin1String("autolaunch"), Qt::CaseInsensitive);
        return noKeyring ? TPasswordStatus::tpsNoKeyring : TPasswordStatus::tpsRefused;
    }
    default:
        return TPasswordStatus::tpsRefused;
    }
}

} // namespace

TKeychainStore::TKeychainStore(QObject* parent) : QObject(parent) {}

void TKeychainStore::start(QKeychain::Job* job, const QString& key,
                           std::function<void(QKeychain::Job*)> finished)
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    connect(job, &QKeychain::Job::finished, this,
            [finished = std::move(finished)](QKeychain::Job* done) { finished(done); });
    job->start();
}

void TKeychainStore::ReadPassword(const QString& key, TReadDone done)
{
    auto* job = new QKeychain::ReadPasswordJob(ServiceName, this);
    start(job, key, [done = std::move(done)](QKeychain::Job* finished) {
        const auto* read = static_cast<QKeychain::ReadPasswordJob*>(finished);
        const TPasswordStatus status = statusOf(read);
        done(status, status == TPasswordStatus::tpsOk ? read->textData() : QString());
    });
}

void TKeychainStore::WritePassword(const QString& key, const QString& password, TDone done)
{
    auto* job = new QKeychain::WritePasswordJob(ServiceName, this);
    job->setTextData(password);
    start(job, key, [done = std::move(done)](QKeychain::Job* finished) { done(statusOf(finished)); });
}

void TKeychainStore::DeletePassword(const QString& key, TDone done)
{
    auto* job = new QKeychain::DeletePasswordJob(ServiceName, this);
    start(job, key, [done = std::move(done)](QKeychain::Job* finished) { done(statusOf(finished)); });
}
