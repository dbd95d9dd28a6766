// Passwords in the windows, in both languages: a new site and quick connect to
// another server start without a password, texts the record cannot hold are
// refused with their limit (a keyring keeps a long password whole), the site
// manager shows passwords as dots, and a deleted site can be brought back.
#include "dialogs/hitra1.h"
#include "dialogs/oknomoznosti.h"
#include "dialogs/sistemobrazec.h"
#include "dialogs/urediobrazec.h"
#include "sites/fakepasswordstore.h"
#include "sites/sitelist.h"
#include "support/pump.h"
#include "widgets/radiogroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

template <typename T> T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// One site with a normal login in a list held in a temporary home; messages recorded.
class SiteSecretsTest : public testing::TestWithParam<quint8> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        qputenv("KVADO_HOME", m_home.path().toLocal8Bit());
        TSiteRecord record;
        record.SetName(u"Delo");
        record.SetHost(u"ftp.zorvek.si");
        record.SetUser(u"janez");
        record.SetPassword(u"skrivnost");
        record.loginType = 1;
        record.SetPort(21);
        m_sites.AddSite(record);
        m_manager.AskUser =
            m_manager.Editor()->AskUser = [this](QMessageBox::Icon, const QString&, const QString& text,
                                                 QMessageBox::StandardButtons, QMessageBox::StandardButton) {
                m_asked << text;
                return QMessageBox::Ok;
            };
        m_manager.Begin(GetParam(), "g@x");
    }
    bool english() const { return GetParam() == 2; }
    QLineEdit* field(const char* name) { return child<QLineEdit>(m_manager.Editor(), name); }

    QTemporaryDir m_home;
    TSiteList m_sites;
    TSistemObrazec m_manager{m_sites};
    QStringList m_asked;
};

TEST_P(SiteSecretsTest, ANewSiteStartsWithoutAPasswordAndLongTextsAreRefusedWithTheirLimit)
{
    TUrediObrazec* editor = m_manager.Editor();
    editor->Begin(m_sites, 1, false, GetParam(), "g@x"); // adding while "Delo" is selected
    child<TRadioGroup>(editor, "TipPrijave2")->Button(1)->click();
    EXPECT_EQ(field("VnosIme2")->text(), "janez") << "the user name may be offered";
    EXPECT_EQ(field("VnosGeslo2")->text(), "") << "another site's password never is";

    field("ImePov2")->setText("Drugi");
    field("VnosGeslo2")->setText("novo");
    const struct {
        const char* field;
        QString text;
        QString message;
    } tooLong[] = {
        {"VnosNaslov2", QString(51, 'h'),
         english() ? "The host address can be at most 50 characters long."
                   : "Naslov FTP strežnika je lahko dolg največ 50 znakov."},
        {"VnosIme2", QString(31, 'u'),
         english() ? "The user name can be at most 30 characters long."
                   : "Uporabniško ime je lahko dolgo največ 30 znakov."},
        {"VnosGeslo2", QString(21, 'p'),
         english()
             ? "The desktop offers no keyring, so the password is stored in the site file, which holds at "
               "most 20 characters."
             : "Namizje nima shrambe gesel, zato se geslo shrani v datoteko, ki sprejme največ 20 znakov."},
    };
    for (const auto& c : tooLong) {
        const QString kept = field(c.field)->text();
        field(c.field)->setText(c.text);
        EXPECT_EQ(field(c.field)->text(), c.text) << "nothing is cut while typed";
        m_asked.clear();
        EXPECT_FALSE(editor->Povezi2Click()) << c.field;
        EXPECT_EQ(m_asked, QStringList{c.message});
        EXPECT_EQ(m_sites.SiteCount(), 1);
        field(c.field)->setText(kept);
    }

    // With a keyring the password is kept whole.
    TFakePasswordStore keyring;
    m_sites.SetPasswordStore(&keyring);
    m_sites.SetSitePassword(1, "skrivnost"); // the keyring answers: it is there
    ASSERT_TRUE(PumpUntil([&] { return m_sites.KeyringState() == TKeyringState::tksAvailable; }));
    const QString longPassword(60, 'p');
    field("VnosGeslo2")->setText(longPassword);
    ASSERT_TRUE(editor->Povezi2Click());
    ASSERT_EQ(m_sites.SiteCount(), 2);
    EXPECT_EQ(m_sites.SitePassword(2), longPassword);
    ASSERT_TRUE(PumpUntil([&] { return keyring.pending == 0; }));
    EXPECT_EQ(keyring.entries.value(TSiteList::PasswordKey(m_sites.SiteTable(2))), longPassword);
}

TEST_P(SiteSecretsTest, PasswordsShowAsDotsAndADeletedSiteComesBackUntilTheManagerCloses)
{
    auto* panel = child<QWidget>(&m_manager, "Lastnosti");
    auto* show = child<QCheckBox>(&m_manager, "PokaziGeslo");
    auto* list = child<QTreeWidget>(&m_manager, "Naslovi");
    EXPECT_EQ(show->text(), english() ? "Show &password" : "Pokaži &geslo");
    m_manager.SelectSite(1);
    EXPECT_FALSE(panel->property("Caption").toString().contains("skrivnost"));
    EXPECT_TRUE(panel->property("Caption").toString().contains(QString(9, QChar(0x2022))));
    show->click();
    EXPECT_TRUE(panel->property("Caption").toString().contains("skrivnost"));
    m_manager.Begin(GetParam(), "g@x"); // each opening starts hidden
    m_manager.SelectSite(1);
    EXPECT_FALSE(panel->property("Caption").toString().contains("skrivnost"));

    auto* undo = child<QPushButton>(&m_manager, "RazveljaviStrez");
    EXPECT_EQ(undo->accessibleName(), english() ? "Undo delete" : "Razveljavi brisanje"); // names follow the language
    EXPECT_FALSE(undo->isEnabled());
    m_manager.show();
    m_manager.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_manager));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(m_sites.SiteCount(), 0);
    EXPECT_TRUE(undo->isEnabled());
    QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(m_sites.SiteCount(), 1);
    EXPECT_EQ(m_sites.SitePassword(1), "skrivnost");
    EXPECT_EQ(list->topLevelItem(1)->text(0), "Delo");
    EXPECT_EQ(m_manager.SelectedSite(), 1);
    EXPECT_FALSE(undo->isEnabled());

    m_manager.IzbrisiStrezClick();
    m_manager.reject(); // closing forgets what was deleted
    EXPECT_FALSE(m_sites.CanUndoDelete());
    EXPECT_EQ(m_sites.SiteCount(), 0);
}

TEST_P(SiteSecretsTest, TheOptionsSayOnceWhenNoKeyringKeepsThePasswords)
{
    TSettings settings;
    settings.Jezik = GetParam();
    TOknoMoznosti options(settings, QFont("Technical", 11), false, QString());
    auto* note = child<QLabel>(&options, "BrezShrambe");
    EXPECT_TRUE(note->isHidden());
    options.SetNoKeyring(true);
    EXPECT_FALSE(note->isHidden());
    EXPECT_EQ(note->text(), english()
                                ? "The desktop offers no keyring: saved passwords are kept in the files "
                                  "Naslovi.kvs and Kvado.ini."
                                : "Namizje nima shrambe gesel: shranjena gesla so v datotekah Naslovi.kvs in "
                                  "Kvado.ini.");
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, SiteSecretsTest, testing::Values(quint8(1), quint8(2)));

TEST(QuickConnectSecrets, TheRememberedPasswordIsNeverOfferedToAnotherServer)
{
    TSettings settings;
    settings.ZNaslov = "ftp.zorvek.si";
    settings.ZVrata = "21";
    settings.ZUporIme = "janez";
    settings.ZUporGeslo = "Skrivno1";
    settings.TipPri = 1;
    THitra1 quick(settings, false);
    quick.show();
    auto* host = child<QLineEdit>(&quick, "VnosNaslov1");
    auto* port = child<QLineEdit>(&quick, "VnosVrata1");
    auto* password = child<QLineEdit>(&quick, "VnosGeslo1");
    auto* login = child<TRadioGroup>(&quick, "TipPrijave1");
    EXPECT_EQ(password->text(), "Skrivno1");

    host->end(false); // typing goes behind the host, not over it
    port->end(false);
    QTest::keyClicks(host, "x");
    EXPECT_EQ(password->text(), "") << "another host";
    EXPECT_EQ(child<QLineEdit>(&quick, "VnosIme1")->text(), "janez");
    QTest::keyClick(host, Qt::Key_Backspace);
    EXPECT_EQ(password->text(), "Skrivno1") << "its own host again";
    QTest::keyClicks(port, "0");
    EXPECT_EQ(password->text(), "") << "another port";
    login->Button(0)->click();
    login->Button(1)->click();
    EXPECT_EQ(password->text(), "") << "the login choice offers it only to its server";
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(password->text(), "Skrivno1");
    password->setText("drugo");
    QTest::keyClicks(host, "x");
    EXPECT_EQ(password->text(), "drugo") << "a password the user typed stays";
}

} // namespace
