#pragma once
// A keyring for tests: entries in a map, every answer delivered later from the
// event loop as the real store does. `answer` decides what the keyring does
// (tpsOk: it keeps passwords; tpsRefused: locked; tpsNoKeyring: not there).
#include "keyring/passwordstore.h"

#include <QMap>
#include <QTimer>

class TFakePasswordStore : public TPasswordStore {
public:
    TPasswordStatus answer = TPasswordStatus::tpsOk;
    QMap<QString, QString> entries;
    int pending = 0; // answers not yet delivered

    void ReadPassword(const QString& key, TReadDone done) override
    {
        const TPasswordStatus status = answer == TPasswordStatus::tpsOk && !entries.contains(key)
                                           ? TPasswordStatus::tpsNotFound
                                           : answer;
        later([done, status, password = entries.value(key)] { done(status, password); });
    }
    void WritePassword(const QString& key, const QString& password, TDone done) override
    {
        if (answer == TPasswordStatus::tpsOk)
            entries.insert(key, password);
        later([done, status = answer] { done(status); });
    }
    void DeletePassword(const QString& key, TDone done) override
    {
        const bool had = answer == TPasswordStatus::tpsOk && entries.remove(key) > 0;
        later([done, status = had ? TPasswordStatus::tpsOk : answer] { done(status); });
    }

private:
    void later(std::function<void()> call)
    {
        ++pending;
        QTimer::singleShot(0, [this, call = std::move(call)] {
            --pending;
            call();
        });
    }
};
