// The main window with a keyring (a stand-in, see sites/fakepasswordstore.h)
// against a real pyftpdlib server: a connect from the site manager waits for
// the keyring's answer with the window live, or asks for a password the
// keyring refused, and goes on. Also the window's small faults: a log file
// that cannot be opened, the caption after a language switch, the remote
// list's font colour and the icon of a missing folder.
#include "app/mainwindow.h"
#include "app/windowfixture.h"
#include "dialogs/sistemobrazec.h"
#include "lang/multilang.h"
#include "sites/fakepasswordstore.h"
#include "support/ftppyftpdserver.h"

#include <gtest/gtest.h>

using namespace windowfixture;

namespace {

// Records every message with its icon; input and password boxes answer from scripts.
class TRecordingPrompts : public ScriptedPrompts {
public:
    QList<std::pair<QString, TMsgIcon>> messages;
    std::deque<QString> inputs, passwords;
    QStringList passwordPrompts;
    TMsgResult MessageBox(const QString& text, const QString& title, TMsgIcon icon,
                          TMsgButtons buttons) override
    {
        messages.append({text, icon});
        return ScriptedPrompts::MessageBox(text, title, icon, buttons);
    }
    bool InputBox(const QString&, const QString&, QString& value) override { return answer(inputs, value); }
    bool PasswordBox(const QString&, const QString& prompt, QString& value) override
    {
        passwordPrompts << prompt;
        return answer(passwords, value);
    }

private:
    static bool answer(std::deque<QString>& script, QString& value)
    {
        if (script.empty())
            return false;
        value = script.front();
        script.pop_front();
        return true;
    }
};

class KeyringWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        QString error;
        ASSERT_TRUE(m_server.Start(&error)) << error.toStdString();
        UseHome(m_home, {{"Jezik", "2"}, {"LokMapa", m_home.path()}});
        // A site saved with its password in the keyring: the record's field is empty.
        TSiteRecord record;
        record.SetName(u"Delo");
        record.SetHost(u"127.0.0.1");
        record.SetUser(QString::fromLatin1(PyftpdServer::kUser));
        record.loginType = 1;
        record.SetPort(m_server.Port());
        record.SetRemoteDir(u"/"); // a folder to go to: the caption then names host and folder
        record.SetPasswordInKeyring(true);
        TSiteList sites;
        sites.AddSite(record);
        sites.WriteSiteList();
        m_key = TSiteList::PasswordKey(record);
    }

    void open(TGlavniObrazec& window)
    {
        window.SetPasswordStore(&m_keyring);
        window.FormCreate();
        window.CreateDialogs();
        window.show();
        ASSERT_TRUE(PumpUntil([&] { return window.FirstActivationDone(); }));
    }

    // Site manager, select the site, Poveži.
    static void connectToSite(TGlavniObrazec& window)
    {
        OnNextModal([](QWidget* dialog) {
            auto* manager = qobject_cast<TSistemObrazec*>(dialog);
            ASSERT_NE(manager, nullptr);
            manager->SelectSite(1);
            manager->accept();
        });
        window.OfficeButton1Click();
    }

    QTemporaryDir m_home;
    PyftpdServer m_server;
    TFakePasswordStore m_keyring;
    TRecordingPrompts m_prompts;
    QString m_key;
};

TEST_F(KeyringWindowTest, AConnectWaitsForTheKeyringAndKeepsTheCaptionThroughALanguageSwitch)
{
    m_keyring.entries.insert(m_key, QString::fromLatin1(PyftpdServer::kPassword));
    m_keyring.hold = true; // a slow keyring
    TGlavniObrazec window(&m_prompts);
    open(window);
    connectToSite(window);
    EXPECT_FALSE(m_server.CommandLog().contains("USER")) << "nothing is sent without the password";
    m_keyring.Release();
    ASSERT_TRUE(PumpUntil([&] { return window.windowTitle().contains("[127.0.0.1/"); }, 10000))
        << window.windowTitle().toStdString() << window.LogView()->toPlainText().toStdString();
    EXPECT_TRUE(m_server.CommandLog().contains(QStringLiteral("PASS ") + PyftpdServer::kPassword));
    EXPECT_TRUE(m_prompts.passwordPrompts.isEmpty());

    const QString caption = window.windowTitle();
    window.Words()->SetActiveLanguage(0);
    EXPECT_EQ(window.windowTitle(), caption) << "the host and folder stay in the caption";
}

TEST_F(KeyringWindowTest, APasswordTheKeyringRefusedIsAskedForAndTheConnectionGoesOn)
{
    m_keyring.answer = TPasswordStatus::tpsRefused;
    TGlavniObrazec window(&m_prompts);
    open(window);
    m_prompts.passwords = {QString::fromLatin1(PyftpdServer::kPassword)};
    connectToSite(window);
    ASSERT_EQ(m_prompts.passwordPrompts.size(), 1);
    EXPECT_TRUE(m_prompts.passwordPrompts[0].contains("\"Delo\""))
        << m_prompts.passwordPrompts[0].toStdString();
    ASSERT_TRUE(PumpUntil([&] { return window.windowTitle().contains("[127.0.0.1/"); }, 10000))
        << window.windowTitle().toStdString() << window.LogView()->toPlainText().toStdString();
    EXPECT_TRUE(m_server.CommandLog().contains(QStringLiteral("PASS ") + PyftpdServer::kPassword));
}

TEST(MainWindowFaults, LogFileFontColourAndAMissingFolderAreShownAsTheyShouldBe)
{
    QTemporaryDir home;
    // The log file's name is a folder: it cannot be opened. The stored font colour is red (0x0000FF).
    UseHome(home, {{"Jezik", "2"}, {"DANE", "1"}, {"Dnevnik", home.path()}, {"Pisava/Barva", "255"}});
    TRecordingPrompts prompts;
    TGlavniObrazec window(&prompts);
    window.FormCreate();
    const QString expected = "The log file \"" + home.path() + "\" cannot be opened; the log is not written.";
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].first, expected);
    EXPECT_EQ(prompts.messages[0].second, miError);
    EXPECT_TRUE(window.LogView()->toPlainText().contains(expected)) << "and a status line";
    EXPECT_FALSE(window.Log().DnevnikOdprt());

    EXPECT_EQ(window.RemotePane()->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(window.LocalPane()->List()->palette().color(QPalette::Text), QColor(255, 0, 0));

    prompts.inputs = {home.filePath("no-such-folder")};
    window.LocalPane()->Pla2SkociClick();
    ASSERT_EQ(prompts.messages.size(), 2);
    EXPECT_EQ(prompts.messages[1].first, "Vnešena mapa ne obstaja!");
    EXPECT_EQ(prompts.messages[1].second, miError);
}

} // namespace
