#pragma once
// TPasswordStore: where saved passwords live when the desktop offers a keyring.
// An interface, so the site list, the settings and the tests share one path
// whatever the keyring is (the desktop's Secret Service, or a stand-in).
//
// Contract:
// - Every operation is asynchronous: it returns at once and its callback runs
//   later from the event loop, exactly once, never from inside the call. The
//   caller's thread (the UI thread) never waits for the keyring.
// - A callback may start further operations and may destroy nothing but the
//   objects it owns; the store outlives every callback it promised.
// - Keys are plain text chosen by the caller; the store keeps them apart from
//   every other program's entries.
// - tpsNoKeyring means no keyring answers at all (no Secret Service on the
//   session bus, no bus): the caller keeps the password where it always did.
//   tpsRefused means a keyring is there but did not do it (locked, the user
//   dismissed the question, an error): the password is not kept anywhere.
#include <QString>

#include <functional>

enum class TPasswordStatus { tpsOk, tpsNotFound, tpsRefused, tpsNoKeyring };

class TPasswordStore {
public:
    using TReadDone = std::function<void(TPasswordStatus status, const QString& password)>;
    using TDone = std::function<void(TPasswordStatus status)>;

    virtual ~TPasswordStore() = default;

    virtual void ReadPassword(const QString& key, TReadDone done) = 0;
    virtual void WritePassword(const QString& key, const QString& password, TDone done) = 0;
    // tpsNotFound when there was nothing under the key.
    virtual void DeletePassword(const QString& key, TDone done) = 0;
};
