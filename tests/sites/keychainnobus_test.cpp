// The desktop's keyring where there is no desktop (CI, a bare session): no
// session bus at all must read as "no keyring", so saved passwords stay in
// the files as described, and not as a refusal (which would keep them out).
#include "keyring/keychainstore.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <optional>

TEST(KeychainStoreWithoutABus, EveryOperationSaysNoKeyring)
{
    // Before anything in this process has looked for the bus.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DISPLAY");
    TKeychainStore store;
    std::optional<TPasswordStatus> wrote, read;
    store.WritePassword("site:a/b@c:21", "x", [&](TPasswordStatus status) { wrote = status; });
    store.ReadPassword("site:a/b@c:21", [&](TPasswordStatus status, const QString&) { read = status; });
    ASSERT_TRUE(PumpUntil([&] { return wrote && read; }, 10000));
    EXPECT_EQ(*wrote, TPasswordStatus::tpsNoKeyring);
    EXPECT_EQ(*read, TPasswordStatus::tpsNoKeyring);
}
