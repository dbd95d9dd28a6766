// Saved passwords and the keyring (a stand-in keyring, see fakepasswordstore.h):
// the site list moves passwords out of Naslovi.kvs and reads them back, the
// quick-connect login moves out of Kvado.ini; without a keyring, or with one
// that refuses, nothing is lost and nothing typed is written to a file.
#include "sites/fakepasswordstore.h"
#include "sites/possaver.h"
#include "sites/programpaths.h"
#include "sites/savedlogin.h"
#include "sites/settings.h"
#include "sites/sitelist.h"
#include "support/pump.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SitePasswordsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        qputenv("KVADO_HOME", m_home.path().toLocal8Bit());
    }

    static TSiteRecord site(const QString& name, quint8 login, const QString& password)
    {
        TSiteRecord record;
        record.SetName(name);
        record.SetHost(u"ftp.zorvek.si");
        record.SetUser(login == 1 ? u"janez" : u"anonymous");
        record.SetPassword(password);
        record.loginType = login;
        record.SetPort(21);
        return record;
    }

    // A file as an earlier Kvado wrote it: a normal login with its password, an anonymous one.
    QByteArray writeOldFile()
    {
        TSiteList old;
        old.AddSite(site("Delo", 1, "skrivnost"));
        old.AddSite(site("Zrcalo", 0, "gost@kvado.si"));
        old.WriteSiteList();
        return siteFile();
    }

    QByteArray siteFile() const
    {
        QFile file(TSiteList::FilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool settle()
    {
        return PumpUntil([this] { return m_store.pending == 0; }, 5000);
    }

    QTemporaryDir m_home;
    TFakePasswordStore m_store;
};

TEST_F(SitePasswordsTest, AnOldFileMovesIntoTheKeyringAndTheNextStartReadsItBack)
{
    writeOldFile();
    {
        TSiteList sites;
        sites.SetPasswordStore(&m_store);
        sites.OpenSiteList();
        EXPECT_EQ(sites.SitePassword(1), "skrivnost"); // usable at once, from the file
        ASSERT_TRUE(settle());
        EXPECT_EQ(sites.KeyringState(), TKeyringState::tksAvailable);
        EXPECT_TRUE(sites.SitesModified()) << "the first save removes it from the file";
        EXPECT_EQ(m_store.entries.value(TSiteList::PasswordKey(sites.SiteTable(1))), "skrivnost");
        EXPECT_EQ(m_store.entries.size(), 1) << "an anonymous login keeps its password in the file";
        sites.WriteSiteList();
    }
    const QByteArray file = siteFile();
    ASSERT_EQ(file.size(), 2 * 936);
    EXPECT_FALSE(file.contains("skrivnost"));
    EXPECT_EQ(quint8(file[133]), 0) << "the password field is empty";
    EXPECT_EQ(quint8(file[935]) & 0xE0, 0x80) << "the pad byte says: in the keyring";
    EXPECT_TRUE(file.mid(936).contains("gost@kvado.si"));

    TSiteList next;
    next.SetPasswordStore(&m_store);
    QList<int> read;
    next.OnPasswordRead = [&](TSiteList*, int k) { read << k; };
    next.OpenSiteList();
    EXPECT_EQ(next.PasswordState(1), TSitePasswordState::spsReading);
    ASSERT_TRUE(settle());
    EXPECT_EQ(read, QList<int>{1});
    EXPECT_EQ(next.PasswordState(1), TSitePasswordState::spsKnown);
    EXPECT_EQ(next.SitePassword(1), "skrivnost");

    // A password longer than the record's field is kept whole; a new name moves it to the new key.
    const QString longPassword(40, 'x');
    next.SiteTable(1).SetName(u"Delo doma");
    next.SetSitePassword(1, longPassword);
    ASSERT_TRUE(settle());
    EXPECT_EQ(m_store.entries.keys(), QStringList{TSiteList::PasswordKey(next.SiteTable(1))});
    EXPECT_EQ(m_store.entries.first(), longPassword);
    next.WriteSiteList();
    EXPECT_FALSE(siteFile().contains("xxxxxxxxxx"));

    // A site deleted while its password is being read gets it when the delete is undone.
    {
        TSiteList third;
        third.SetPasswordStore(&m_store);
        third.OpenSiteList();
        third.DeleteSite(1);
        ASSERT_TRUE(settle());
        ASSERT_EQ(third.UndoDelete(), 1);
        EXPECT_EQ(third.PasswordState(1), TSitePasswordState::spsKnown);
        EXPECT_EQ(third.SitePassword(1), longPassword);
    }

    // A delete can be undone with its password; once forgotten, the keyring forgets it too.
    next.DeleteSite(1);
    ASSERT_EQ(next.UndoDelete(), 1);
    EXPECT_EQ(next.SitePassword(1), longPassword);
    next.DeleteSite(1);
    next.ForgetDeleted();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(m_store.entries.isEmpty());
    EXPECT_EQ(next.UndoDelete(), 0);
}

TEST_F(SitePasswordsTest, KeysNeverLetAPasswordAttachToAnotherSite)
{
    TSiteRecord base = site("A", 1, {});
    QStringList keys{TSiteList::PasswordKey(base)};
    for (auto change : std::initializer_list<std::function<void(TSiteRecord&)>>{
             [](TSiteRecord& r) { r.SetName(u"B"); }, [](TSiteRecord& r) { r.SetHost(u"ftp.drugi.si"); },
             [](TSiteRecord& r) { r.SetPort(2121); }, [](TSiteRecord& r) { r.SetUser(u"micka"); },
             // Separators inside a part cannot make two sites look alike.
             [](TSiteRecord& r) {
                 r.SetName(u"A/janez@ftp.zorvek.si:21");
                 r.SetUser(u"");
             }}) {
        TSiteRecord other = base;
        change(other);
        keys << TSiteList::PasswordKey(other);
    }
    keys.removeDuplicates();
    EXPECT_EQ(keys.size(), 6) << keys.join(" | ").toStdString();
}

TEST_F(SitePasswordsTest, WithoutAKeyringOrWithARefusalNothingTypedReachesAFileAndNothingIsLost)
{
    const QByteArray old = writeOldFile();
    {
        // No keyring: the described file, byte for byte.
        m_store.answer = TPasswordStatus::tpsNoKeyring;
        TSiteList sites;
        sites.SetPasswordStore(&m_store);
        sites.OpenSiteList();
        ASSERT_TRUE(settle());
        EXPECT_EQ(sites.KeyringState(), TKeyringState::tksNone);
        EXPECT_FALSE(sites.SitesModified());
        sites.WriteSiteList();
        EXPECT_EQ(siteFile(), old);
        sites.SiteTable(1).SetPassword(u"novo");
        sites.SetSitePassword(1, "novo");
        ASSERT_TRUE(settle());
        sites.WriteSiteList();
        EXPECT_TRUE(siteFile().contains("novo"));
        EXPECT_NE(quint8(siteFile()[935]) & 0xE0, 0x80) << "not marked: in the file";
    }
    {
        // A keyring that refuses: the password from the file stays there; one typed now never goes there.
        m_store.answer = TPasswordStatus::tpsRefused;
        TSiteList sites;
        sites.SetPasswordStore(&m_store);
        sites.OpenSiteList();
        ASSERT_TRUE(settle());
        sites.WriteSiteList();
        EXPECT_TRUE(siteFile().contains("novo"));
        sites.SetSitePassword(1, "tajno");
        ASSERT_TRUE(settle());
        EXPECT_EQ(sites.SitePassword(1), "tajno") << "kept for this run";
        sites.WriteSiteList();
        EXPECT_FALSE(siteFile().contains("tajno"));
        EXPECT_FALSE(siteFile().contains("novo"));
    }
    // The next start cannot read it: it is asked for at connect.
    TSiteList next;
    next.SetPasswordStore(&m_store);
    next.OpenSiteList();
    ASSERT_TRUE(settle());
    EXPECT_EQ(next.PasswordState(1), TSitePasswordState::spsUnknown);
    EXPECT_EQ(next.PasswordState(2), TSitePasswordState::spsKnown);
}

TEST_F(SitePasswordsTest, TheQuickConnectLoginLeavesKvadoIniOnlyForAKeyring)
{
    for (const TPasswordStatus answer : {TPasswordStatus::tpsOk, TPasswordStatus::tpsNoKeyring}) {
        m_store.answer = answer;
        m_store.entries.clear();
        QFile::remove(SettingsFilePath());
        TSettings settings;
        settings.ZNaslov = "ftp.zorvek.si";
        settings.ZUporIme = "janez";
        settings.ZUporGeslo = "Skrivno1";
        TSavedLogin login(settings, &m_store);
        login.Load(); // a password found in the file moves
        ASSERT_TRUE(settle());
        TPosSaver().SaveSettings(settings, TWindowState());
        const QString stored =
            QSettings(SettingsFilePath(), QSettings::IniFormat).value("ZUporGeslo").toString();
        EXPECT_EQ(stored, answer == TPasswordStatus::tpsOk ? "" : "Skrivno1");

        TSettings next;
        TPosSaver().LoadSettings(next);
        TSavedLogin nextLogin(next, &m_store);
        nextLogin.Load();
        ASSERT_TRUE(settle());
        EXPECT_EQ(next.ZUporGeslo, "Skrivno1");
    }
    // Another server's login never gets it.
    m_store.answer = TPasswordStatus::tpsOk;
    TSettings other;
    other.ZNaslov = "ftp.drugi.si";
    other.ZUporIme = "janez";
    other.ZGesloVShrambi = true;
    TSavedLogin otherLogin(other, &m_store);
    otherLogin.Load();
    ASSERT_TRUE(settle());
    EXPECT_EQ(other.ZUporGeslo, "");
}

} // namespace
