// The main window driven as a user would, in-process (offscreen), against a
// real pyftpdlib server: first start with the language question, quick
// connect through its window, listing, download, upload, the Okno commands,
// closing; then the files, Kvado.ini and the log file are checked.
#include "app/localpane.h"
#include "app/logview.h"
#include "app/mainwindow.h"
#include "app/remotepane.h"
#include "app/sessioncontroller.h"
#include "app/windowfixture.h"
#include "dialogs/sistemobrazec.h"
#include "files/filelist.h"
#include "lang/multilang.h"
#include "sites/programpaths.h"
#include "support/ftppyftpdserver.h"
#include "support/pump.h"
#include "widgets/officebutton.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <deque>

using namespace windowfixture;

TEST(MainWindow, FirstStartConnectTransferAndClose)
{
    QTemporaryDir home;
    const QString local = home.path() + "/local";
    ASSERT_TRUE(QDir().mkpath(local));
    UseHome(home, {{"LokMapa", local}, {"DANE", "1"}}); // the automatic transfer type keeps every byte
    PyftpdServer server;
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    const QByteArray remoteBytes = Pattern(300000, 3);
    ASSERT_TRUE(server.PutFile("pub/a.bin", remoteBytes));
    ASSERT_TRUE(server.MakeDir("upload"));

    ScriptedPrompts prompts;
    {
        TGlavniObrazec window(&prompts);
        int languageQuestions = 0;
        window.AskLanguage = [&] {
            ++languageQuestions;
            return quint8(2); // English
        };
        window.FormCreate();
        window.CreateDialogs();
        window.show();
        EXPECT_EQ(languageQuestions, 1);
        EXPECT_EQ(window.Words()->ActiveLanguage(), 1);
        EXPECT_EQ(window.Ukazi().FTPPovezi->text(), "&Connect");
        EXPECT_EQ(QDir::currentPath(), local);
        EXPECT_TRUE(
            PumpUntil([&] { return window.RemotePane()->model()->headerData(0, Qt::Horizontal) == "Name"; }));
        EXPECT_FALSE(window.Ukazi().HitriGumb2->isEnabled());

        // Quick connect, filled in as a user would.
        OnNextModal([&](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("VnosNaslov1")->setText("127.0.0.1");
            dialog->findChild<QLineEdit*>("VnosVrata1")->setText(QString::number(server.Port()));
            dialog->findChild<QPushButton*>("Povezi1")->click();
        });
        window.Ukazi().FTPPovezi->trigger();
        ASSERT_TRUE(PumpUntil([&] { return RowOf(window.RemotePane(), "pub") > 0; }, 10000))
            << window.LogView()->toPlainText().toStdString();
        EXPECT_TRUE(window.Ukazi().HitriGumb2->isEnabled());
        const QString log = window.LogView()->toPlainText();
        EXPECT_TRUE(log.contains("Kvado state:    Contacting 127.0.0.1")) << log.toStdString();
        EXPECT_EQ(window.RemotePane()->RowCaption(0), "..");

        // Into pub and download a.bin with F5's action.
        window.RemotePane()->setCurrentIndex(
            window.RemotePane()->model()->index(RowOf(window.RemotePane(), "pub"), 0));
        window.RemotePane()->OnActivate();
        ASSERT_TRUE(PumpUntil([&] { return RowOf(window.RemotePane(), "a.bin") > 0; }, 10000));
        EXPECT_EQ(window.windowTitle(), "Kvado - [127.0.0.1/pub]");
        const int row = RowOf(window.RemotePane(), "a.bin");
        window.RemotePane()->setCurrentIndex(window.RemotePane()->model()->index(row, 0));
        EXPECT_EQ(window.StatusPanel(1)->text(), "(1)");
        ASSERT_TRUE(window.Ukazi().Pla1Prenesi->isEnabled());
        window.Ukazi().Pla1Prenesi->trigger();
        ASSERT_TRUE(PumpUntil(
            [&] { return ReadAll(local + "/a.bin") == remoteBytes && !window.Session().Seja().PrenosTece(); },
            10000))
            << window.LogView()->toPlainText().toStdString() << " size " << ReadAll(local + "/a.bin").size()
            << " dir " << window.LocalPane()->Directory().toStdString() << " busy "
            << window.Session().Seja().PrenosTece();

        // Upload from the local pane into /upload.
        const QByteArray upBytes = Pattern(200000, 11);
        QFile up(local + "/up.bin");
        ASSERT_TRUE(up.open(QIODevice::WriteOnly));
        up.write(upBytes);
        up.close();
        window.LocalPane()->Refresh();
        SelectLocal(window.LocalPane(), "up.bin");
        ASSERT_TRUE(PumpUntil([&] { return window.StatusPanel(0)->text() == "(1)"; }));
        window.Ukazi().Pla2Prenesi->trigger();
        const QString uploaded = server.RootPath() + "/pub/up.bin";
        ASSERT_TRUE(PumpUntil(
            [&] { return ReadAll(uploaded) == upBytes && !window.Session().Seja().PrenosTece(); }, 10000))
            << window.LogView()->toPlainText().toStdString() << " size " << ReadAll(uploaded).size();

        // The Okno commands and their check marks.
        window.Ukazi().OknoSkrijLok->trigger();
        EXPECT_TRUE(PumpUntil([&] { return window.LocalPane()->width() == 1; }));
        EXPECT_TRUE(window.Ukazi().OknoSkrijLok->isChecked());
        window.Ukazi().OknoSkrijLok->trigger();
        EXPECT_TRUE(PumpUntil([&] { return window.LocalPane()->width() == 240; }));
        EXPECT_FALSE(window.Ukazi().OknoSkrijLok->isChecked());
        window.Ukazi().OknoSkrijInfo->trigger();
        EXPECT_TRUE(PumpUntil([&] { return window.LogView()->height() == 2; }));
        EXPECT_TRUE(window.Ukazi().OknoSkrijInfo->isChecked());

        window.Ukazi().Seznam1->trigger();
        window.close();
        EXPECT_FALSE(window.Session().Connected());
    }
    QSettings ini(home.path() + "/Kvado.ini", QSettings::IniFormat);
    EXPECT_EQ(ini.value("Jezik").toString(), "2");
    EXPECT_EQ(ini.value("TPogledaLok").toString(), "3");
    EXPECT_EQ(ini.value("ZNaslov").toString(), "127.0.0.1");
    EXPECT_EQ(ini.value("ZVrata").toString(), QString::number(server.Port()));
    EXPECT_EQ(ini.value("PozOkna/WinSplit1").toString(), "2");
    const QString logFile = QString::fromLatin1(ReadAll(home.path() + "/Dnevnik.kvl"));
    EXPECT_TRUE(logFile.startsWith("****    Kvado dnevnik ustvarjen ")) << logFile.toStdString();
    EXPECT_TRUE(logFile.contains("RETR a.bin")) << logFile.toStdString();
    EXPECT_TRUE(logFile.trimmed().endsWith("    ----")) << logFile.toStdString();
    EXPECT_TRUE(prompts.asked.isEmpty()) << prompts.asked.join('|').toStdString();
}

TEST(MainWindow, SiteConnectAskedWhileConnectedAndFailuresAreShown)
{
    QTemporaryDir home;
    UseHome(home, {{"LokMapa", home.path()},
                   {"Jezik", "1"},
                   {"DANE", "1"},
                   {"ZUporIme", "janez"},
                   {"ZUporGeslo", "skrito"},
                   {"TipPri", "1"}});
    PyftpdServer server;
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    ScriptedPrompts prompts;
    {
        TGlavniObrazec window(&prompts);
        window.FormCreate();
        window.CreateDialogs();
        window.show();
        ASSERT_TRUE(PumpUntil([&] { return window.FirstActivationDone(); }));
        TSiteRecord site;
        site.SetName(u"Domači strežnik");
        site.SetHost(u"127.0.0.1");
        site.SetPort(server.Port());
        site.loginType = 0;  // anonymous: the stored normal login stays
        site.serverKind = 1; // UNIX: the site's own host type reaches the engine
        ASSERT_EQ(window.Sites().AddSite(site), 1);

        auto connectFromManager = [&] {
            OnNextModal([](QWidget* dialog) {
                auto* manager = qobject_cast<TSistemObrazec*>(dialog);
                if (manager == nullptr) {
                    ADD_FAILURE() << "not the site manager: " << dialog->metaObject()->className();
                    dialog->close();
                    return;
                }
                manager->SelectSite(1);
                manager->Povei1Click();
            });
            window.Ukazi().OfficeButton1->OnClick(nullptr);
        };
        connectFromManager();
        ASSERT_TRUE(PumpUntil([&] { return window.RemotePane()->RowCount() > 0; }, 10000));
        QString log = window.LogView()->toPlainText();
        EXPECT_TRUE(log.contains("Povezujem s \"Domači strežnik\"")) << log.toStdString();
        EXPECT_TRUE(log.contains("Povezava vzpostavljena s \"Domači strežnik\"")) << log.toStdString();
        EXPECT_EQ(window.Session().Seja().Parametri().serverKind, 1);
        EXPECT_EQ(window.Settings().ZUporIme, "janez");
        EXPECT_EQ(window.Settings().ZUporGeslo, "skrito");

        // Connected: the question comes first, and No changes nothing.
        const QString caption = window.windowTitle();
        const int lines = window.LogView()->Lines();
        prompts.answers = {mrNo};
        connectFromManager();
        EXPECT_EQ(prompts.asked.size(), 1);
        EXPECT_TRUE(window.Session().Connected());
        EXPECT_EQ(window.windowTitle(), caption);
        EXPECT_EQ(window.LogView()->Lines(), lines);

        // A host that cannot be looked up is reported, never silent, and the buttons are off again.
        prompts.asked.clear();
        prompts.answers = {mrYes, mrOk};
        window.Sites().SiteTable(1).SetHost(u"no-such-host.invalid");
        connectFromManager();
        ASSERT_TRUE(PumpUntil([&] { return prompts.asked.size() == 2; }, 15000))
            << prompts.asked.join('|').toStdString();
        EXPECT_TRUE(prompts.asked.at(1).startsWith("Zgodila se je napaka"))
            << prompts.asked.at(1).toStdString();
        EXPECT_FALSE(window.Ukazi().HitriGumb2->isEnabled());

        // The site list cannot be written at exit (a folder stands in its place): that is
        // reported, and the log file still gets its closing banner.
        ASSERT_TRUE(QDir(home.path()).mkpath("Naslovi.kvs/x"));
        prompts.asked.clear();
        window.close();
    }
    EXPECT_EQ(prompts.asked.size(), 1) << prompts.asked.join('|').toStdString();
    const QString logFile = QString::fromLatin1(ReadAll(home.path() + "/Dnevnik.kvl"));
    EXPECT_TRUE(logFile.trimmed().endsWith("    ----")) << logFile.toStdString();
}

TEST(MainWindow, ClosingDuringAMultiFileDownloadEndsCleanly)
{
    QTemporaryDir home;
    UseHome(home, {{"LokMapa", home.path()},
                   {"Jezik", "1"},
                   {"TipPre", "1"},
                   {"ZNaslov", "127.0.0.1"},
                   {"PodatkovnaPovezava", "1"},
                   {"KodiranjeImen", "2"}});
    PyftpdServer server;
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    ASSERT_TRUE(server.PutFile("one.bin", Pattern(40 << 20, 1)));
    ASSERT_TRUE(server.PutFile("two.bin", Pattern(40 << 20, 2)));
    ScriptedPrompts prompts;
    bool closedInside = false;
    {
        TGlavniObrazec window(&prompts);
        window.FormCreate();
        window.CreateDialogs();
        window.show();
        window.Settings().ZVrata = QString::number(server.Port());
        window.Session().Connect(window.Settings(), 0, "contacting", "connected");
        ASSERT_TRUE(PumpUntil([&] { return RowOf(window.RemotePane(), "two.bin") > 0; }, 10000));
        window.RemotePane()->setCurrentIndex(
            window.RemotePane()->model()->index(RowOf(window.RemotePane(), "one.bin"), 0));
        window.RemotePane()->SetRowSelected(RowOf(window.RemotePane(), "two.bin"), true);
        EXPECT_TRUE(window.Session().Seja().Pasivno());                 // the stored data connection choice
        EXPECT_EQ(window.Session().Seja().Parametri().nameEncoding, 2); // and the name encoding
        // The window is closed from inside the download command's wait, once bytes flow.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (window.Session().Seja().PrenosTece() && QFileInfo(home.path() + "/one.bin").size() > 0) {
                poll.stop();
                closedInside = true;
                window.close();
            }
        });
        poll.start(5);
        window.Ukazi().Pla1Prenesi->trigger();
        EXPECT_TRUE(PumpUntil([&] { return closedInside && !window.Session().Connected(); }, 20000));
        EXPECT_FALSE(window.isVisible());
    }
    EXPECT_TRUE(closedInside);
    EXPECT_TRUE(QFile::exists(home.path() + "/Kvado.ini"));
    QSettings ini(home.path() + "/Kvado.ini", QSettings::IniFormat);
    EXPECT_EQ(ini.value("ZVrata").toString(), QString::number(server.Port()));
    EXPECT_TRUE(prompts.asked.isEmpty()) << prompts.asked.join('|').toStdString();
}

TEST(MainWindow, AStrangeLanguageValueSwitchesNothingAndTheLogIsCapped)
{
    QTemporaryDir home;
    UseHome(home, {{"LokMapa", home.path()}, {"Jezik", "3"}});
    ScriptedPrompts prompts;
    TGlavniObrazec window(&prompts);
    int boxes = 0;
    window.Words()->AskUser = [&](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) {
        ++boxes;
        return QMessageBox::Cancel;
    };
    bool asked = false;
    window.AskLanguage = [&] {
        asked = true;
        return quint8(1);
    };
    window.FormCreate();
    EXPECT_FALSE(asked);
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(window.Words()->ActiveLanguage(), 0);
    EXPECT_EQ(window.Ukazi().FTPPovezi->text(), "&Poveži");

    // A server that never stops talking: the view keeps its newest lines, at the bottom.
    window.show();
    const int total = TLogView::MaxLines + TLogView::TrimStep + 1;
    for (int i = 0; i < total; ++i) {
        window.Log().Reply(QStringLiteral("220-line %1").arg(i));
    }
    EXPECT_GE(window.LogView()->Lines(), TLogView::MaxLines);
    EXPECT_LE(window.LogView()->Lines(), TLogView::MaxLines + TLogView::TrimStep);
    EXPECT_TRUE(window.LogView()->toPlainText().endsWith(QStringLiteral("220-line %1").arg(total - 1)));
    QScrollBar* bar = window.LogView()->verticalScrollBar();
    EXPECT_TRUE(PumpUntil([&] { return bar->value() == bar->maximum(); }));
}

TEST(MainWindow, AMaximisedWindowReopensMaximisedAndItsBoundsFitTheScreen)
{
    QTemporaryDir home;
    UseHome(home, {{"LokMapa", home.path()},
                   {"Jezik", "1"},
                   {"PozOkna/Max", "1"},
                   {"PozOkna/Levo", "-300"},
                   {"PozOkna/Zgoraj", "-4"},
                   {"PozOkna/Sirina", "5000"},
                   {"PozOkna/Visina", "4000"}});
    TGlavniObrazec window;
    window.FormCreate();
    window.show();
    EXPECT_TRUE(window.isMaximized());
    const QRect area = window.screen()->availableGeometry();
    EXPECT_TRUE(area.contains(window.normalGeometry())) << "restored bounds must fit the screen";
}
