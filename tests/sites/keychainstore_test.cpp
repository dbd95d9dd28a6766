// The desktop's keyring for real: a private session bus with GNOME Keyring as
// its Secret Service, unlocked with a test password, all in a temporary
// folder. The site list moves an old file's password into it, and a new
// keyring connection (as at the next start) reads it back.
#include "keyring/keychainstore.h"
#include "sites/sitelist.h"
#include "support/pump.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A session bus that starts nothing by itself: only what the test runs is on it.
const char* const kBusConfig =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

class PrivateKeyring {
public:
    // Empty on success, else what failed.
    QString Start()
    {
        for (const char* tool : {"dbus-daemon", "gnome-keyring-daemon"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                return QStringLiteral("%1 is not installed (tools/install-deps)").arg(tool);
        const QString config = m_dir.filePath("bus.conf");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(QString(kBusConfig).arg(m_dir.path()).toUtf8()) < 0)
            return "cannot write the bus configuration";
        file.close();
        m_bus.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address=1"});
        if (!PumpUntil([this] { return m_bus.canReadLine() || m_bus.state() == QProcess::NotRunning; },
                       10000) ||
            !m_bus.canReadLine())
            return "the session bus did not start: " + m_bus.readAllStandardError();
        const QByteArray address = m_bus.readLine().trimmed();
        // The keyring's files and sockets stay in the temporary folder.
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
            qputenv(name, m_dir.path().toLocal8Bit());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        m_keyring.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        m_keyring.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
        if (!m_keyring.waitForStarted(10000))
            return "gnome-keyring-daemon did not start";
        m_keyring.write("kvado-test-password");
        m_keyring.closeWriteChannel();
        return QString();
    }

    ~PrivateKeyring()
    {
        for (QProcess* process : {&m_keyring, &m_bus}) {
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
            process->waitForFinished(3000);
        }
    }

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_keyring;
};

TEST(KeychainStore, ASavedSiteLeavesNoPasswordInTheFileAndTheNextStartReadsIt)
{
    PrivateKeyring keyring;
    const QString failed = keyring.Start();
    if (!failed.isEmpty())
        GTEST_SKIP() << failed.toStdString();
    QTemporaryDir home;
    qputenv("KVADO_HOME", home.path().toLocal8Bit());

    // The Secret Service answers once it owns its name: a probe is then "not found", not "no keyring".
    TKeychainStore probe;
    TPasswordStatus answer = TPasswordStatus::tpsNoKeyring;
    bool outstanding = false;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (!outstanding && answer == TPasswordStatus::tpsNoKeyring) {
                outstanding = true;
                probe.ReadPassword("probe", [&](TPasswordStatus status, const QString&) {
                    answer = status;
                    outstanding = false;
                });
            }
            return answer != TPasswordStatus::tpsNoKeyring;
        },
        15000))
        << "the keyring never answered";
    EXPECT_EQ(answer, TPasswordStatus::tpsNotFound);

    const QString password = "Dolgo geslo, ki ga zapis z 20 znaki ne bi sprejel";
    {
        TSiteRecord record;
        record.SetName(u"Delo");
        record.SetHost(u"127.0.0.1");
        record.SetUser(u"janez");
        record.SetPassword(u"skrivnost"); // as an earlier Kvado wrote it
        record.loginType = 1;
        record.SetPort(2121);
        TSiteList old;
        old.AddSite(record);
        old.WriteSiteList();
    }
    {
        TKeychainStore store;
        TSiteList sites;
        sites.SetPasswordStore(&store);
        sites.OpenSiteList();
        ASSERT_TRUE(PumpUntil([&] { return sites.SitesModified(); }, 10000))
            << "the old password did not move";
        sites.SetSitePassword(1, password);
        sites.SetSitesModified(false);
        ASSERT_TRUE(PumpUntil([&] { return sites.SitesModified(); }, 10000)) << "the keyring did not take it";
        sites.WriteSiteList();
    }
    QFile file(TSiteList::FilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.size(), 936);
    EXPECT_FALSE(bytes.contains("skrivnost"));
    EXPECT_FALSE(bytes.contains("Dolgo geslo"));

    TKeychainStore nextStart;
    TSiteList next;
    next.SetPasswordStore(&nextStart);
    next.OpenSiteList();
    ASSERT_TRUE(PumpUntil([&] { return next.PasswordState(1) != TSitePasswordState::spsReading; }, 10000));
    EXPECT_EQ(next.PasswordState(1), TSitePasswordState::spsKnown);
    EXPECT_EQ(next.SitePassword(1), password);
}

} // namespace
