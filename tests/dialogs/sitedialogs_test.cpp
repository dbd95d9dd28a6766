// The site manager, the site editor and the options window driven as a user
// drives them (offscreen), with every message box answered by a recorder.
#include "dialogs/oknomoznosti.h"
#include "dialogs/sistemobrazec.h"
#include "dialogs/urediobrazec.h"
#include "lang/multilang.h"
#include "sites/eventsounds.h"
#include "sites/sitelist.h"
#include "support/pump.h"
#include "widgets/radiogroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

struct TAsked {
    QString title;
    QString text;
};

// Answers every box at once and remembers what was asked.
struct TRecorder {
    QList<TAsked> asked;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    TAskBox box()
    {
        return [this](QMessageBox::Icon, const QString& title, const QString& text,
                      QMessageBox::StandardButtons, QMessageBox::StandardButton) {
            asked.append({title, text});
            return answer;
        };
    }
};

template <typename T> T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Gives a widget the keyboard, as a click into its active window would.
void focusOn(QWidget* widget)
{
    widget->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(widget->window()));
    widget->setFocus();
    ASSERT_TRUE(PumpUntil([widget] { return widget->hasFocus(); }, 2000));
}

// Runs body once the next modal loop is running (a modal dialog was opened).
void WhenModal(std::function<void()> body)
{
    QTimer::singleShot(0, [body = std::move(body)] {
        if (PumpUntil([] { return QApplication::activeModalWidget() != nullptr; }, 2000))
            body();
        else
            ADD_FAILURE() << "no modal window opened";
    });
}

class SiteDialogsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        qputenv("KVADO_HOME", m_home.path().toLocal8Bit());
    }

    QByteArray siteFile() const
    {
        QFile file(m_home.filePath("Naslovi.kvs"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static TSiteRecord site(const QString& name, const QString& host, quint8 login, const QString& user = {},
                            const QString& password = {})
    {
        TSiteRecord record;
        record.SetName(name);
        record.SetHost(host);
        record.SetUser(user);
        record.SetPassword(password);
        record.loginType = login;
        record.SetPort(21);
        return record;
    }

    QTemporaryDir m_home;
};

// Length byte + text at an offset of a record in the file.
QByteArray Field(const QByteArray& file, int record, int offset)
{
    const int at = record * 936 + offset;
    return file.mid(at + 1, quint8(file[at]));
}

quint32 Int32(const QByteArray& file, int record, int offset)
{
    const auto* p = reinterpret_cast<const quint8*>(file.constData() + record * 936 + offset);
    return p[0] | p[1] << 8 | p[2] << 16 | quint32(p[3]) << 24;
}

TEST_F(SiteDialogsTest, AddEditDeleteThroughTheWindowsKeepListAndFileInStep)
{
    TSiteList sites;
    TSistemObrazec manager(sites);
    TRecorder recorder;
    manager.AskUser = recorder.box();
    manager.Editor()->AskUser = recorder.box();
    manager.Begin(2, "kvado-guest@example.org");
    manager.show(); // the keyboard reaches an active window only
    manager.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&manager));
    auto* list = child<QTreeWidget>(&manager, "Naslovi");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Most visited sites");
    EXPECT_EQ(manager.windowTitle(), "Site Manager");

    auto* editor = manager.Editor();
    const QString longName = QString(60, 'N');
    WhenModal([&] {
        EXPECT_EQ(editor->windowTitle(), "Edit site");
        child<QLineEdit>(editor, "ImePov2")->setText(longName);
        child<QLineEdit>(editor, "VnosNaslov2")->setText("ftp.zorvek.si");
        child<TRadioGroup>(editor, "TipPrijave2")->Button(1)->click();
        child<QLineEdit>(editor, "VnosIme2")->setText("janez");
        child<QLineEdit>(editor, "VnosGeslo2")->setText("skrivnost");
        child<QLineEdit>(editor, "VnosVrata2")->setText("2121");
        child<QLineEdit>(editor, "VnosBralPom2")->setText("8192");
        child<TRadioGroup>(editor, "TipPrenosa2")->Button(2)->click();
        child<QComboBox>(editor, "TipFTP2")->setCurrentIndex(3);
        child<QPlainTextEdit>(editor, "Komentar2")->setPlainText("prva\nvrstica\r\ntri");
        child<QPushButton>(editor, "Povezi2")->click();
    });
    child<QPushButton>(&manager, "DodajStrez")->click();
    ASSERT_EQ(sites.SiteCount(), 1);
    EXPECT_TRUE(sites.SitesModified());
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), QString(50, 'N'));
    EXPECT_EQ(manager.SelectedSite(), 1);
    EXPECT_EQ(manager.PropertiesText(1), "Address: ftp.zorvek.si\nUsername: janez\nPassword: skrivnost\n"
                                         "Port: 2121\nComment: prva vrstica tri");

    // A second, anonymous site added with Insert: the editor starts from the last texts.
    focusOn(list);
    WhenModal([&] {
        EXPECT_EQ(child<QLineEdit>(editor, "ImePov2")->text(), longName.left(50));
        EXPECT_EQ(child<QLineEdit>(editor, "VnosVrata2")->text(), "21");
        EXPECT_EQ(child<QLineEdit>(editor, "VnosIme2")->text(), "anonymous");
        child<QLineEdit>(editor, "ImePov2")->setText("Zrcalo");
        child<QPushButton>(editor, "Povezi2")->click();
    });
    QTest::keyClick(list, Qt::Key_Insert);
    ASSERT_EQ(sites.SiteCount(), 2);
    EXPECT_EQ(sites.SiteTable(2).User(), "anonymous");
    EXPECT_EQ(sites.SiteTable(2).Password(), "kvado-guest@example."); // the record keeps 20 characters

    // Editing site 1 with F2: the fields come from the record; Anonymous and back brings the stored login.
    manager.SelectSite(1);
    focusOn(list);
    WhenModal([&] {
        EXPECT_EQ(child<QLineEdit>(editor, "VnosVrata2")->text(), "2121");
        EXPECT_EQ(child<QPlainTextEdit>(editor, "Komentar2")->toPlainText(), "prva vrstica tri");
        auto* login = child<TRadioGroup>(editor, "TipPrijave2");
        login->Button(0)->click();
        EXPECT_EQ(child<QLineEdit>(editor, "VnosIme2")->text(), "anonymous");
        login->Button(1)->click();
        EXPECT_EQ(child<QLineEdit>(editor, "VnosIme2")->text(), "janez");
        EXPECT_EQ(child<QLineEdit>(editor, "VnosGeslo2")->text(), "skrivnost");
        child<QLineEdit>(editor, "VnosNaslov2")->setText("ftp2.zorvek.si");
        child<QPushButton>(editor, "Povezi2")->click();
    });
    QTest::keyClick(list, Qt::Key_F2);
    EXPECT_EQ(sites.SiteTable(1).Host(), "ftp2.zorvek.si");
    EXPECT_TRUE(recorder.asked.isEmpty());

    sites.WriteSiteList();
    const QByteArray file = siteFile();
    ASSERT_EQ(file.size(), 2 * 936);
    EXPECT_EQ(Field(file, 0, 0), QByteArray(50, 'N'));
    EXPECT_EQ(Field(file, 0, 51), "ftp2.zorvek.si");
    EXPECT_EQ(Field(file, 0, 102), "janez");
    EXPECT_EQ(Field(file, 0, 133), "skrivnost");
    EXPECT_EQ(quint8(file[154]), 2121 % 256);
    EXPECT_EQ(quint8(file[667]), 2121 / 256);
    EXPECT_EQ(Int32(file, 0, 668), 8192u);
    EXPECT_EQ(Int32(file, 0, 672), 4096u);
    EXPECT_EQ(quint8(file[676]), 3); // VMS
    EXPECT_EQ(quint8(file[677]), 1); // normal login
    EXPECT_EQ(quint8(file[678]), 2); // binary
    EXPECT_EQ(Field(file, 0, 679), "prva vrstica tri");
    EXPECT_EQ(Field(file, 1, 0), "Zrcalo");

    // Deleting the first site with Del: no question, the focus mark goes to the header.
    manager.SelectSite(1);
    focusOn(list);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(sites.SiteCount(), 1);
    EXPECT_EQ(sites.SiteTable(1).Name(), "Zrcalo");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "Zrcalo");
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
    EXPECT_EQ(manager.SelectedSite(), 0);
    EXPECT_EQ(child<QWidget>(&manager, "Lastnosti")->property("Caption").toString(), "");
    EXPECT_TRUE(recorder.asked.isEmpty());
}

TEST_F(SiteDialogsTest, BadNumbersAreRefusedBeforeAnythingIsStored)
{
    TSiteList sites;
    sites.AddSite(site("Prvi", "a.example", 1, "u", "p"));
    const TSiteRecord before = sites.SiteTable(1);
    sites.SetSitesModified(false);
    TUrediObrazec editor;
    TRecorder recorder;
    editor.AskUser = recorder.box();
    auto* port = child<QLineEdit>(&editor, "VnosVrata2");
    auto* receive = child<QLineEdit>(&editor, "VnosBralPom2");

    // Adding: no record is appended while a field is bad.
    editor.Begin(sites, 0, false, 1, "g@x");
    for (const char* bad : {"", "0", "65536", "99999"}) {
        port->setText(bad);
        EXPECT_FALSE(editor.Povezi2Click()) << bad;
    }
    port->setText("21");
    receive->setText("0");
    EXPECT_FALSE(editor.Povezi2Click());
    EXPECT_EQ(sites.SiteCount(), 1);
    ASSERT_EQ(recorder.asked.size(), 5);
    EXPECT_EQ(recorder.asked[0].title, "Kvado opozorilo!");
    EXPECT_EQ(recorder.asked[0].text, "Vrata morajo biti število od 1 do 65535.");
    EXPECT_EQ(recorder.asked[4].text, "Velikost pomnilnika mora biti število od 1 do 99999.");

    // Editing: a bad send buffer leaves every byte of the record as it was.
    editor.Begin(sites, 1, true, 1, "g@x");
    child<QLineEdit>(&editor, "ImePov2")->setText("Spremenjen");
    child<QLineEdit>(&editor, "VnosPisPom2")->clear();
    EXPECT_FALSE(editor.Povezi2Click());
    EXPECT_EQ(memcmp(&before, &sites.SiteTable(1), sizeof before), 0);
    EXPECT_FALSE(sites.SitesModified());

    // Digits only, typed or pasted; at most five.
    port->clear();
    port->setFocus();
    QTest::keyClicks(port, "2x1-2");
    EXPECT_EQ(port->text(), "212");
    for (const char* pasted : {"80a", "x", "1 2", "123456", "-5"}) {
        QApplication::clipboard()->setText(pasted);
        port->setText("2");
        port->paste();
        EXPECT_TRUE(QRegularExpression("^[0-9]{1,5}$").match(port->text()).hasMatch()) << pasted;
    }
}

TEST_F(SiteDialogsTest, FullListRefusesAnAddAndRecommendedSettingsAskFirst)
{
    TSiteList sites;
    for (int k = 1; k <= TSiteList::MaxSites; ++k)
        sites.AddSite(site(QString("S%1").arg(k), "h", 0));
    TSistemObrazec manager(sites);
    TRecorder recorder;
    manager.AskUser = recorder.box();
    manager.Begin(1, "g@x");
    bool editorShown = false;
    QTimer guard; // closes the editor should it ever open
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (manager.Editor()->isVisible()) {
            editorShown = true;
            manager.Editor()->reject();
        }
    });
    guard.start(10);
    manager.DodajStrezClick();
    PumpFor(30);
    EXPECT_FALSE(editorShown);
    EXPECT_EQ(sites.SiteCount(), 255);
    ASSERT_EQ(recorder.asked.size(), 1);
    EXPECT_EQ(recorder.asked[0].text, "Seznam je poln: shranite lahko največ 255 strežnikov.");
    EXPECT_EQ(manager.findChild<QTreeWidget*>("Naslovi")->topLevelItemCount(), 256);

    // Recommended settings: No changes nothing, Yes sets the recommended values.
    TUrediObrazec* editor = manager.Editor();
    editor->AskUser = recorder.box();
    editor->Begin(sites, 3, true, 2, "g@x");
    auto* port = child<QLineEdit>(editor, "VnosVrata2");
    port->setText("990");
    recorder.answer = QMessageBox::No;
    editor->PriporNastavitve2Click();
    EXPECT_EQ(port->text(), "990");
    EXPECT_EQ(recorder.asked.last().title, "Kvado - Default settings");
    EXPECT_EQ(recorder.asked.last().text, "Set default settings?");
    recorder.answer = QMessageBox::Yes;
    child<TRadioGroup>(editor, "TipPrenosa2")->SetItemIndex(3);
    editor->PriporNastavitve2Click();
    EXPECT_EQ(port->text(), "21");
    EXPECT_EQ(child<QLineEdit>(editor, "VnosBralPom2")->text(), "4096");
    EXPECT_EQ(child<QLineEdit>(editor, "VnosPisPom2")->text(), "4096");
    EXPECT_EQ(child<QLineEdit>(editor, "VnosFTPMapa2")->text(), "/");
    EXPECT_EQ(child<QLineEdit>(editor, "VnosIme2")->text(), "anonymous");
    EXPECT_EQ(child<QLineEdit>(editor, "VnosGeslo2")->text(), "g@x");
    EXPECT_EQ(child<TRadioGroup>(editor, "TipPrenosa2")->ItemIndex(), 0);
}

TEST_F(SiteDialogsTest, EveryEntryStaysOnItsRecordWhenOneGoes)
{
    TSiteList sites;
    for (const char* name : {"A", "B", "C", "D"})
        sites.AddSite(site(name, "h", 0));
    TSistemObrazec manager(sites);
    manager.Begin(1, "g@x");
    auto* list = child<QTreeWidget>(&manager, "Naslovi");
    auto texts = [&] {
        QStringList shown;
        for (int k = 0; k < list->topLevelItemCount(); ++k)
            shown << list->topLevelItem(k)->text(0);
        return shown;
    };
    manager.SelectSite(2);
    manager.IzbrisiStrezClick();
    EXPECT_EQ(texts(), QStringList({"Najbolj obiskani naslovi", "A", "C", "D"}));
    EXPECT_EQ(manager.SelectedSite(), 1);
    manager.SelectSite(3);
    manager.IzbrisiStrezClick();
    EXPECT_EQ(texts(), QStringList({"Najbolj obiskani naslovi", "A", "C"}));
    EXPECT_EQ(manager.SelectedSite(), 2);
    ASSERT_EQ(sites.SiteCount(), 2);
    EXPECT_EQ(sites.SiteTable(2).Name(), "C");
    manager.SelectSite(0);
    manager.IzbrisiStrezClick(); // the header is never deleted
    EXPECT_EQ(sites.SiteCount(), 2);
}

TEST_F(SiteDialogsTest, ConnectChoiceFilterAndPopup)
{
    TSiteList sites;
    sites.AddSite(site("Arhiv", "ftp.zorvek.si", 1));
    sites.AddSite(site("Zrcalo", "ftp.debian.org", 0));
    TSistemObrazec manager(sites);
    auto* list = child<QTreeWidget>(&manager, "Naslovi");

    // A double-click on a site closes with that site.
    WhenModal([&] {
        QTreeWidgetItem* second = list->topLevelItem(2);
        ASSERT_TRUE(PumpUntil([&] { return !list->visualItemRect(second).isEmpty(); }, 2000));
        const QPoint at = list->visualItemRect(second).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        if (manager.isVisible()) {
            ADD_FAILURE() << "a double-click on a site did not close the manager";
            manager.reject();
        }
    });
    TSiteChoice choice = manager.Open(1, "g@x");
    EXPECT_TRUE(choice.connect);
    EXPECT_EQ(choice.site, 2);

    // Poveži with the header selected connects to nothing; the pop-up commands are disabled there.
    WhenModal([&] {
        manager.PopupMenu1Popup();
        for (const char* name : {"Povei1", "Dodajstrenik1", "Izbriistrenik1", "Uredistrenik1"})
            EXPECT_FALSE(child<QAction>(&manager, name)->isEnabled()) << name;
        child<QPushButton>(&manager, "PoveziStrez")->click();
    });
    choice = manager.Open(1, "g@x");
    EXPECT_FALSE(choice.connect);
    EXPECT_EQ(choice.site, 0);

    // Typing in the search field shows the matches (by host too) and selects the first; Enter connects.
    WhenModal([&] {
        auto* search = child<QLineEdit>(&manager, "Iskanje");
        search->setFocus();
        QTest::keyClicks(search, "DEBIAN");
        EXPECT_TRUE(list->topLevelItem(1)->isHidden());
        EXPECT_FALSE(list->topLevelItem(2)->isHidden());
        EXPECT_EQ(manager.SelectedSite(), 2);
        manager.PopupMenu1Popup();
        EXPECT_TRUE(child<QAction>(&manager, "Povei1")->isEnabled());
        QTest::keyClick(search, Qt::Key_Return);
    });
    choice = manager.Open(1, "g@x");
    EXPECT_TRUE(choice.connect);
    EXPECT_EQ(choice.site, 2);
    // Opening again starts unfiltered from the header.
    manager.Begin(1, "g@x");
    EXPECT_FALSE(list->topLevelItem(1)->isHidden());
    EXPECT_EQ(manager.SelectedSite(), 0);
}

TEST(SiteEditor, FieldsFollowInTheirTabOrder)
{
    TUrediObrazec editor;
    QStringList order;
    QWidget* widget = editor.findChild<QWidget*>("ImePov2");
    for (int i = 0; i < 60 && order.size() < 19; ++i, widget = widget->nextInFocusChain()) {
        QWidget* named = widget;
        while (named && named->parentWidget() != &editor)
            named = named->parentWidget();
        if (named && (named->focusPolicy() & Qt::TabFocus || widget != named) &&
            !named->objectName().isEmpty() && (order.isEmpty() || order.last() != named->objectName()))
            order << named->objectName();
    }
    EXPECT_EQ(order, QStringList({"ImePov2", "VnosNaslov2", "VnosIme2", "VnosGeslo2", "TipPrijave2",
                                  "VnosFTPMapa2", "VnosLokMapa2", "VnosVrata2", "VnosBralPom2", "VnosPisPom2",
                                  "TipPrenosa2", "TipFTP2", "KodiranjeImen2", "Sifriranje2", "Pasivno2",
                                  "Komentar2", "PriporNastavitve2", "Povezi2", "Preklici2"}));
}

// A misspelt key in a word table would leave its component in Slovenian for ever.
TEST(SiteWordTables, EveryKeyNamesAComponentOfItsWindow)
{
    TSiteList sites;
    TSistemObrazec manager(sites);
    TOknoMoznosti options(TSettings(), QFont(), false, QString());
    const std::pair<QWidget*, TMultiLang*> windows[] = {
        {&manager, manager.ML4()}, {manager.Editor(), manager.Editor()->ML5()}, {&options, options.ML6()}};
    for (const auto& [window, table] : windows) {
        const QStringList& words = table->Words();
        ASSERT_EQ(words.size() % 3, 0);
        for (int i = 0; i < words.size(); i += 3) {
            const QString& key = words[i];
            if (key.startsWith("@id") || key.startsWith('"') || key == "%Form%")
                continue;
            const auto found = window->findChildren<QObject*>();
            const bool named = std::any_of(found.begin(), found.end(), [&](QObject* object) {
                return object->objectName().compare(key, Qt::CaseInsensitive) == 0;
            });
            EXPECT_TRUE(named) << key.toStdString() << " in " << window->objectName().toStdString();
        }
    }
    EXPECT_EQ(manager.ML4()->GetWord("@idPrekPov"), "Prekinem trenutno povezavo?");
}

TEST(SiteEditor, FlattenCommentMakesOneLine)
{
    EXPECT_EQ(TUrediObrazec::FlattenComment("a\r\nb\nc\rd"), "a b c d");
    EXPECT_EQ(TUrediObrazec::FlattenComment("\r\n\r\n"), "  ");
    EXPECT_EQ(TUrediObrazec::FlattenComment("x\n\ry"), "x  y");
    EXPECT_EQ(TUrediObrazec::FlattenComment(QString(300, 'k')).size(), 255);
}

TEST(SiteSession, SiteBecomesTheSessionWithoutLosingANormalLogin)
{
    TSettings settings;
    settings.PrivGeslo = "kvado-guest@example.org";
    settings.ZUporIme = "janez";
    settings.ZUporGeslo = "skrivnost";
    TSiteRecord anonymous;
    anonymous.SetHost(u"ftp.debian.org");
    anonymous.SetUser(u"anonymous");
    anonymous.SetPassword(settings.PrivGeslo); // kept as its first 20 characters
    anonymous.SetPort(2121);
    anonymous.SetSendBuffer(1000);
    anonymous.SetReceiveBuffer(2000);
    anonymous.SetRemoteDir(u"/pub");
    anonymous.transferType = 3;
    TakeSiteAsSession(anonymous, settings);
    EXPECT_EQ(settings.ZNaslov, "ftp.debian.org");
    EXPECT_EQ(settings.ZUporIme, "janez");
    EXPECT_EQ(settings.ZUporGeslo, "skrivnost");
    EXPECT_EQ(settings.ZVrata, "2121");
    EXPECT_EQ(settings.Pisanje, 1000);
    EXPECT_EQ(settings.Branje, 2000);
    EXPECT_EQ(settings.FTPMapa, "/pub");
    EXPECT_EQ(settings.TipPre, 3);
    EXPECT_EQ(settings.TipPri, 0);

    TSiteRecord normal = anonymous;
    normal.loginType = 1;
    normal.SetUser(u"ANONYMOUS");
    normal.SetPassword(u"novo");
    TakeSiteAsSession(normal, settings);
    EXPECT_EQ(settings.ZUporIme, "janez");
    EXPECT_EQ(settings.ZUporGeslo, "novo");
    EXPECT_EQ(settings.TipPri, 1);
}

class OptionsTest : public SiteDialogsTest {
protected:
    static TSettings stored()
    {
        TSettings settings;
        settings.Jezik = 1;
        settings.PrivGeslo = "gost@kvado.si";
        settings.TimeOut = 12;
        settings.Dnevnik = "stari.kvl";
        settings.Zvok = 2;
        settings.Zvoki = {"ena.wav", "dva.wav"};
        return settings;
    }
};

TEST_F(OptionsTest, EveryFieldReachesTheReturnedSettings)
{
    const TSettings settings = stored();
    TOknoMoznosti window(settings, QFont("Technical", 11), false, QString());
    TRecorder recorder;
    window.AskUser = recorder.box();
    EXPECT_EQ(child<QLineEdit>(&window, "MozGeslo1")->text(), "gost@kvado.si");
    EXPECT_EQ(child<QLineEdit>(&window, "MozPovStop")->text(), "12");
    EXPECT_FALSE(child<QLineEdit>(&window, "DnevnikDat")->isEnabled());

    child<QLineEdit>(&window, "MozGeslo1")->setText("drug@kvado.si");
    // The language preview switches the window and keeps what was typed.
    child<QComboBox>(&window, "IzberiJezik")->setCurrentIndex(1);
    EXPECT_EQ(window.windowTitle(), "Options");
    EXPECT_EQ(child<QPushButton>(&window, "OKBtn")->text(), "OK");
    EXPECT_EQ(child<QLineEdit>(&window, "MozGeslo1")->text(), "drug@kvado.si");
    child<QLineEdit>(&window, "MozGeslo1")->setText("drug@kvado.si");
    child<QLineEdit>(&window, "MozPovStop")->setText("30");
    child<QCheckBox>(&window, "DnevnikDANE")->click();
    EXPECT_TRUE(child<QLineEdit>(&window, "DnevnikDat")->isEnabled());
    child<QLineEdit>(&window, "DnevnikDat")->setText("nov.kvl");
    child<QCheckBox>(&window, "MozShraniNast")->click();
    child<QCheckBox>(&window, "MozPrikaziNam")->click();
    child<QCheckBox>(&window, "MozOzadje1")->click();
    child<TRadioGroup>(&window, "RadioGroup1")->Button(1)->click();
    EXPECT_FALSE(child<QComboBox>(&window, "IzberiZDogodek")->isEnabled());
    EXPECT_FALSE(child<QLineEdit>(&window, "ImeZDatoteke")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(&window, "ZTestGumb")->isEnabled());
    WhenModal([&] {
        window.BarveDialog1()->setCurrentColor(QColor(0x11, 0x22, 0x33));
        window.BarveDialog1()->accept();
    });
    QTest::mouseClick(child<QLabel>(&window, "FTPStanje"), Qt::LeftButton);

    ASSERT_TRUE(window.OKBtnClick());
    EXPECT_TRUE(recorder.asked.isEmpty());
    const TSettings& result = window.Settings();
    EXPECT_EQ(result.PrivGeslo, "drug@kvado.si");
    EXPECT_EQ(result.TimeOut, 30);
    EXPECT_EQ(result.Jezik, 2);
    EXPECT_TRUE(result.DANE);
    EXPECT_EQ(result.Dnevnik, "nov.kvl");
    EXPECT_FALSE(result.ShrNast);
    EXPECT_FALSE(result.PrikNam);
    EXPECT_FALSE(result.Ozadje);
    EXPECT_EQ(result.Zvok, 1);
    EXPECT_EQ(result.Barve.Stanje, TColor(0x332211));
    EXPECT_EQ(result.Barve.Ukaz, settings.Barve.Ukaz);
    EXPECT_EQ(window.LogFileAction(), TLogFileAction::lfaOpen);
}

TEST_F(OptionsTest, BadTimeOutKeepsTheWindowOpenAndStoresNothing)
{
    TOknoMoznosti window(stored(), QFont(), false, QString());
    TRecorder recorder;
    window.AskUser = recorder.box();
    child<QLineEdit>(&window, "MozGeslo1")->setText("drug@kvado.si");
    child<QLineEdit>(&window, "MozPovStop")->clear();
    WhenModal([&] {
        child<QPushButton>(&window, "OKBtn")->click();
        EXPECT_TRUE(window.isVisible());
        window.reject();
    });
    window.exec();
    ASSERT_EQ(recorder.asked.size(), 1);
    EXPECT_EQ(recorder.asked[0].text, "Čas za povezavo mora biti število sekund od 0 do 9999.");
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(window.Settings().PrivGeslo, "gost@kvado.si");
}

TEST_F(OptionsTest, SoundFilesStayWithTheEventTheyWereTypedFor)
{
    TOknoMoznosti window(stored(), QFont(), false, QString());
    auto* events = child<QComboBox>(&window, "IzberiZDogodek");
    auto* file = child<QLineEdit>(&window, "ImeZDatoteke");
    EXPECT_EQ(file->text(), "ena.wav");
    events->setFocus();
    QTest::keyClick(events, Qt::Key_Down); // keyboard
    EXPECT_EQ(file->text(), "dva.wav");
    file->setText("druga.wav");
    events->setCurrentIndex(0); // mouse or wheel land here too
    EXPECT_EQ(file->text(), "ena.wav");
    file->setText("prva.wav");
    events->setCurrentIndex(1);
    EXPECT_EQ(file->text(), "druga.wav");
    ASSERT_TRUE(window.OKBtnClick());
    EXPECT_EQ(window.Settings().Zvoki, QStringList({"prva.wav", "druga.wav"}));

    // Test plays what the window shows, through the shared player.
    QStringList played;
    int beeps = 0;
    TEventSounds& sounds = TEventSounds::Shared();
    const auto beep = sounds.BeepOutput;
    const auto play = sounds.PlayOutput;
    sounds.BeepOutput = [&] { ++beeps; };
    sounds.PlayOutput = [&](const QUrl& url) { played << url.toString(); };
    file->setText("thudclap.wav");
    window.ZTestGumbClick();
    child<TRadioGroup>(&window, "RadioGroup1")->Button(1)->click();
    window.ZTestGumbClick();
    child<TRadioGroup>(&window, "RadioGroup1")->Button(0)->click();
    window.ZTestGumbClick();
    sounds.BeepOutput = beep;
    sounds.PlayOutput = play;
    EXPECT_EQ(played, QStringList{"qrc:/sounds/thudclap.wav"});
    EXPECT_EQ(beeps, 1);
}

TEST_F(OptionsTest, UnchosenLanguageShowsSlovenianAndStoresAValidOne)
{
    for (quint8 jezik : {quint8(0), quint8(3), quint8(255)}) {
        TSettings settings = stored();
        settings.Jezik = jezik;
        TOknoMoznosti window(settings, QFont(), false, QString());
        EXPECT_EQ(window.windowTitle(), "Možnosti");
        EXPECT_EQ(child<QComboBox>(&window, "IzberiJezik")->currentIndex(), 0);
        ASSERT_TRUE(window.OKBtnClick());
        EXPECT_EQ(window.Settings().Jezik, 1) << int(jezik);
    }
}

TEST(OptionsLogFile, WhatHappensToTheLogFile)
{
    using A = TLogFileAction;
    EXPECT_EQ(TOknoMoznosti::DecideLogFile(true, "a.kvl", false, "a.kvl"), A::lfaClose);
    EXPECT_EQ(TOknoMoznosti::DecideLogFile(true, "a.kvl", true, "b.kvl"), A::lfaReopen);
    EXPECT_EQ(TOknoMoznosti::DecideLogFile(true, "a.kvl", true, "a.kvl"), A::lfaKeep);
    EXPECT_EQ(TOknoMoznosti::DecideLogFile(false, "", true, "a.kvl"), A::lfaOpen);
    EXPECT_EQ(TOknoMoznosti::DecideLogFile(false, "", false, "a.kvl"), A::lfaKeep);
}

TEST_F(OptionsTest, FontIsAppliedAtOnceAndStaysOnCancel)
{
    TOknoMoznosti window(stored(), QFont("Technical", 11), false, QString());
    QList<QFont> applied;
    window.OnFontApply = [&](TOknoMoznosti*, const QFont& font) { applied << font; };
    QFont chosen("Technical", 17);
    WhenModal([&] {
        window.MozPisDialog1()->setCurrentFont(chosen);
        auto* box = window.MozPisDialog1()->findChild<QDialogButtonBox*>();
        box->button(QDialogButtonBox::Apply)->click();
        window.MozPisDialog1()->reject();
    });
    window.MozIzberiPis1Click();
    ASSERT_EQ(applied.size(), 1);
    EXPECT_EQ(applied[0].pointSize(), 17);
    EXPECT_EQ(child<QLabel>(&window, "KvadoTest")->font().pointSize(), 17);
    window.reject();
    EXPECT_EQ(window.Settings().Zvoki, stored().Zvoki);
}

} // namespace

// Screen readers and test drivers find a field by the label the user reads, in either language.
TEST(SiteEditor, FieldsAreNamedAfterTheirLabelsInTheLanguageShown)
{
    TSiteList sites;
    TUrediObrazec editor;
    auto* port = editor.findChild<QWidget*>("VnosVrata2");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->accessibleName(), "FTP Vrata");
    editor.Begin(sites, 0, false, 2, QStringLiteral("gost@example.org"));
    EXPECT_EQ(port->accessibleName(), "Port");
}
