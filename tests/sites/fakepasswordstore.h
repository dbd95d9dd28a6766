#pragma once
// A keyring for tests: entries in a map, every answer delivered later from the
// event loop as the real store does. `answer` decides what the keyring does
// (tpsOk: it keeps passwords; tpsRefused: locked; tpsNoKeyring: not there).
// With `hold` set, answers wait until Release(), as a slow keyring's do.
#include "keyring/passwordstore.h"

#include <QMap>
#include <QTimer>

#include <utility>
#include <vector>

class TFakePasswordStore : public TPasswordStore {
public:
    TPasswordStatus answer = TPasswordStatus::tpsOk;
    QMap<QString, QString> entries;
    int pending = 0; // answers not yet delivered
    bool hold = false;

    void Release()
    {
        hold = false;
        for (auto& call : std::exchange(m_held, {}))
            later(std::move(call));
    }

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
        if (hold) {
            m_held.push_back(std::move(call));
            return;
        }
        ++pending;
        QTimer::singleShot(0, [this, call = std::move(call)] {
            --pending;
            call();
        });
    }

    std::vector<std::function<void()>> m_held;
};
