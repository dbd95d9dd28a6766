#pragma once
// TKeychainStore: the desktop's keyring through QtKeychain, which finds the
// Secret Service (GNOME Keyring, KWallet through its Secret Service, or any
// other) on the session bus. Entries are filed under the service name "Kvado"
// with the caller's key as their user attribute; nothing ever falls back to a
// file (QtKeychain's insecure fallback stays off).
//
// Contract: as TPasswordStore. Each operation is one QtKeychain job; its
// finished signal maps the job's error onto TPasswordStatus (no backend, or a
// bus or service that is not there: tpsNoKeyring; denied or locked:
// tpsRefused) and then calls the callback. Jobs still running when the store
// is destroyed are deleted with it and their callbacks never run.
#include "keyring/passwordstore.h"

#include <QObject>

namespace QKeychain {
class Job;
}

class TKeychainStore : public QObject, public TPasswordStore {
    Q_OBJECT
public:
    explicit TKeychainStore(QObject* parent = nullptr);

    void ReadPassword(const QString& key, TReadDone done) override;
    void WritePassword(const QString& key, const QString& password, TDone done) override;
    void DeletePassword(const QString& key, TDone done) override;

    static const QString ServiceName;

private:
    void start(QKeychain::Job* job, const QString& key, std::function<void(QKeychain::Job*)> finished);
};
