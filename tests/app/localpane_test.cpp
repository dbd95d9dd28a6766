// The local pane against real files in a temporary folder: navigation keeps the
// list and the process's current directory together, opening never runs a
// program, in-place rename never replaces, delete asks and acts on exact bytes.
#include "app/localpane.h"
#include "app/prompts.h"
#include "files/drivecombobox.h"
#include "files/filelist.h"
#include "support/pump.h"
#include "widgets/wallpaper.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <deque>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "app/localpanefixture.h"

TEST(DriveOfPath, LongestRootOnWholeNames)
{
    const QStringList roots{"/", "/home", "/media/usb", "/media/usb/inner"};
    EXPECT_EQ(DriveOfPath(roots, "/home/ana/x"), "/home");
    EXPECT_EQ(DriveOfPath(roots, "/home"), "/home");
    EXPECT_EQ(DriveOfPath(roots, "/homework/x"), "/");
    EXPECT_EQ(DriveOfPath(roots, "/media/usb/inner/a"), "/media/usb/inner");
    EXPECT_EQ(DriveOfPath(roots, "/media/usbstick"), "/");
    EXPECT_EQ(DriveOfPath(roots, "relative/path"), "");
    EXPECT_EQ(DriveOfPath({}, "/x"), "");
}

TEST_F(LocalPaneTest, ListAndCurrentDirectoryNeverDriftApart)
{
    // A start folder that is gone falls back to the home folder, shown absolute.
    pane.Start(base + QStringLiteral("/gone"));
    EXPECT_EQ(CurrentDir(), QFile::encodeName(base + "/home"));
    EXPECT_EQ(pane.Directory(), base + "/home/");
    EXPECT_EQ(pane.List()->Directory(), base + "/home/");

    // A relative start folder is shown absolute.
    ASSERT_EQ(::chdir(QFile::encodeName(base).constData()), 0);
    pane.Start(QStringLiteral("w"));
    EXPECT_EQ(pane.Directory(), work + "/");
    EXPECT_EQ(pane.Drive()->Drive(), DriveOfPath(pane.Drive()->Drives(), work));

    // Enter a folder with Enter, leave it with Backspace: the folder left is selected.
    Select({"sub"});
    QTest::keyClick(View(), Qt::Key_Return);
    EXPECT_EQ(CurrentDir(), QFile::encodeName(work + "/sub"));
    EXPECT_EQ(pane.List()->Directory(), work + "/sub/");
    QTest::keyClick(View(), Qt::Key_Backspace);
    EXPECT_EQ(pane.Directory(), work + "/");
    ASSERT_NE(pane.List()->Selected(), nullptr);
    EXPECT_EQ(pane.List()->Selected()->Caption(), "sub");

    // A typed path that does not exist: the error, the question again; Cancel changes nothing.
    prompts.inputs = {QStringLiteral("nowhere"), std::nullopt};
    pane.Pla2SkociClick();
    ASSERT_EQ(prompts.calls.size(), 3u);
    EXPECT_EQ(prompts.calls[0].title, "Kvado - Spremeni lokalno mapo");
    EXPECT_EQ(prompts.calls[0].text, "Vnesi pot lokalne mape|" + work);
    EXPECT_EQ(prompts.calls[1].text, "Vnešena mapa ne obstaja!");
    EXPECT_EQ(prompts.calls[1].title, "Kvado - Napaka");
    EXPECT_EQ(pane.Directory(), work + "/");
    // A relative path, then "~" for the home folder.
    prompts.inputs = {QStringLiteral("sub/deeper")};
    pane.Pla2SkociClick();
    EXPECT_EQ(CurrentDir(), QFile::encodeName(work + "/sub/deeper"));
    EXPECT_EQ(pane.Directory(), work + "/sub/deeper/");
    prompts.inputs = {QStringLiteral("~")};
    pane.Pla2SkociClick();
    EXPECT_EQ(pane.Directory(), base + "/home/");

    // The shown folder removed from under the program: the nearest existing folder above it.
    prompts.inputs = {work + "/sub/deeper"};
    pane.Pla2SkociClick();
    ASSERT_TRUE(QDir(work + "/sub").removeRecursively());
    pane.Refresh();
    EXPECT_EQ(pane.Directory(), work + "/");
    EXPECT_EQ(CurrentDir(), QFile::encodeName(work));

    // The drive picked by the user becomes current at its root.
    const int rootEntry = pane.Drive()->findData(QStringLiteral("/"));
    ASSERT_GE(rootEntry, 0);
    pane.Drive()->setCurrentIndex(rootEntry);
    emit pane.Drive()->activated(rootEntry);
    EXPECT_EQ(CurrentDir(), QByteArray("/"));
    EXPECT_EQ(pane.Directory(), "/");
}

TEST_F(LocalPaneTest, AReadOnlyFolderIsEnteredNotOpened)
{
    // /proc/sys holds folders nobody may write to, root included: attributes "DR".
    if (!QFileInfo(QStringLiteral("/proc/sys/kernel")).isDir())
        GTEST_SKIP() << "no /proc/sys here";
    std::vector<QUrl> opened;
    pane.OpenUrl = [&](const QUrl& url) {
        opened.push_back(url);
        return true;
    };
    pane.Start(QStringLiteral("/proc/sys"));
    ASSERT_NE(Row("kernel"), nullptr);
    const int attributes = pane.List()->ColumnOf(fiAttributes) - 1;
    ASSERT_EQ(Row("kernel")->SubItems().value(attributes), "DR");
    Select({"kernel"});
    pane.Odpri();
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(pane.Directory(), "/proc/sys/kernel/");
    EXPECT_EQ(CurrentDir(), QByteArray("/proc/sys/kernel"));
}

TEST_F(LocalPaneTest, OpenHandsOnDocumentsButNeverPrograms)
{
    Write("notes #1.txt", "plain words\n");
    Write("tool", "#!/bin/sh\necho hi\n", QFile::ExeOwner);
    Write("run", "#!/bin/sh\necho hi\n");
    Write("start.desktop", "[Desktop Entry]\nType=Application\nExec=true\n");
    QFile elf(QStringLiteral("/bin/true"));
    ASSERT_TRUE(elf.open(QIODevice::ReadOnly));
    Write("program", elf.readAll());
    std::vector<QUrl> opened;
    bool openerTakes = true;
    pane.OpenUrl = [&](const QUrl& url) {
        opened.push_back(url);
        return openerTakes;
    };
    pane.Start(work);

    Select({"notes #1.txt"});
    pane.Odpri();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toLocalFile(), work + "/notes #1.txt");
    EXPECT_TRUE(prompts.calls.empty());

    for (const char* program : {"tool", "run", "start.desktop", "program"}) {
        Select({program});
        prompts.calls.clear();
        pane.Odpri();
        ASSERT_EQ(prompts.calls.size(), 1u) << program;
        EXPECT_EQ(prompts.calls[0].text, "Dokument nima asociacije z nobenim programom.");
        EXPECT_EQ(prompts.calls[0].title, "Kvado opozorilo!");
        // Explore refuses it too, without a word.
        prompts.calls.clear();
        pane.Razii1Click();
        EXPECT_TRUE(prompts.calls.empty());
    }
    EXPECT_EQ(opened.size(), 1u);

    // An opener that finds no program: the same message.
    openerTakes = false;
    Select({"notes #1.txt"});
    pane.Odpri();
    EXPECT_EQ(prompts.Last("message"), "Dokument nima asociacije z nobenim programom.");
    // Explore hands a folder to the opener (a folder window); nothing selected does nothing.
    Select({"sub"});
    pane.Razii1Click();
    EXPECT_EQ(opened.back().toLocalFile(), work + "/sub");
    pane.List()->Items().SelectionModel()->clearSelection();
    const std::size_t before = opened.size();
    pane.Odpri();
    pane.Razii1Click();
    EXPECT_EQ(opened.size(), before);
}

TEST_F(LocalPaneTest, InPlaceRenameNeverReplacesAndReportsRefusals)
{
    Write("a.txt", "A");
    Write("c.txt", "C");
    pane.Start(work);
    auto rename = [&](const QString& from, const QString& to) {
        TListItem* row = Row(from);
        ASSERT_NE(row, nullptr) << from.toStdString();
        pane.List()->EditCaption(row);
        auto* editor = View()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(to);
        const quint64 reads = pane.List()->Items().ClearCount();
        QTest::keyClick(editor, Qt::Key_Return);
        // The list is read again once the editor has closed.
        ASSERT_TRUE(PumpUntil([&] { return pane.List()->Items().ClearCount() > reads; }));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the closed editor
    };

    rename("a.txt", "b.txt");
    EXPECT_FALSE(QFile::exists(work + "/a.txt"));
    EXPECT_TRUE(QFile::exists(work + "/b.txt"));
    ASSERT_NE(Row("b.txt"), nullptr);
    EXPECT_EQ(Row("b.txt")->PathBytes(), QFile::encodeName(work + "/b.txt"));
    EXPECT_TRUE(Row("b.txt")->Selected());
    EXPECT_TRUE(prompts.calls.empty());

    for (const QString& bad : {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("x/y"),
                               QStringLiteral("new\nline")}) {
        prompts.calls.clear();
        rename("b.txt", bad);
        ASSERT_EQ(prompts.calls.size(), 1u) << bad.toStdString();
        EXPECT_EQ(prompts.calls[0].title, "Kvado opozorilo!");
        EXPECT_TRUE(QFile::exists(work + "/b.txt"));
        EXPECT_NE(Row("b.txt"), nullptr);
    }

    // An existing name is refused: both files keep their contents.
    prompts.calls.clear();
    rename("b.txt", "c.txt");
    EXPECT_EQ(prompts.Last("message"), "Datoteka ali mapa \"c.txt\" že obstaja.");
    QFile b(work + "/b.txt"), c(work + "/c.txt");
    ASSERT_TRUE(b.open(QIODevice::ReadOnly) && c.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), "A");
    EXPECT_EQ(c.readAll(), "C");

    // A rename that fails (the file went meanwhile) is reported; the list shows the disk again.
    ASSERT_TRUE(QFile::remove(work + "/b.txt"));
    prompts.calls.clear();
    rename("b.txt", "d.txt");
    EXPECT_TRUE(prompts.Last("error").startsWith("I/O error 2: ")) << prompts.Last("error").toStdString();
    EXPECT_EQ(Row("b.txt"), nullptr);
    EXPECT_EQ(Row("d.txt"), nullptr);
}

TEST_F(LocalPaneTest, WindowKeysAreNotTakenByTheList)
{
    Write("a.txt", "A");
    pane.Start(work);
    // The window's pane-scoped actions, as the main window sets them up.
    QAction refresh(&pane), selectAll(&pane);
    refresh.setShortcut(Qt::Key_F2);
    selectAll.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    for (QAction* action : {&refresh, &selectAll}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        pane.addAction(action);
    }
    int refreshes = 0, selections = 0;
    QObject::connect(&refresh, &QAction::triggered, [&] { ++refreshes; });
    QObject::connect(&selectAll, &QAction::triggered, [&] { ++selections; });
    pane.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&pane));
    Select({"a.txt"});
    View()->setFocus();
    QTest::keyClick(View(), Qt::Key_F2);
    QTest::keyClick(View(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(selections, 1);
    EXPECT_EQ(View()->findChild<QLineEdit*>(), nullptr);

    // Without the actions the keys do nothing: no caption editor, no selection by the list.
    pane.removeAction(&refresh);
    pane.removeAction(&selectAll);
    pane.List()->Items().SelectionModel()->clearSelection();
    QTest::keyClick(View(), Qt::Key_F2);
    QTest::keyClick(View(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(View()->findChild<QLineEdit*>(), nullptr);
    EXPECT_EQ(pane.SelectedCount(), 0);
    // The pane's own select-all takes every row.
    pane.Pla2IzberiVseClick();
    EXPECT_EQ(pane.SelectedCount(), pane.List()->Items().Count());
}

TEST_F(LocalPaneTest, DeleteAsksAndActsOnTheExactEntries)
{
    Write("one.txt", "1");
    Write("two.txt", "2");
    QDir(base).mkpath(QStringLiteral("outside"));
    QFile::copy(work + "/one.txt", base + "/outside/keep.txt");
    QDir(work).mkpath(QStringLiteral("tree/inner"));
    ASSERT_TRUE(QFile::link(base + "/outside", work + "/tree/inner/link"));
    const QByteArray oddName = QFile::encodeName(work) + "/odd\xff.bin";
    const int fd = ::open(oddName.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    pane.Start(work);

    // No: nothing happens. The list is read again while the question is open.
    Select({"one.txt", "two.txt"});
    prompts.answers = {mrNo};
    pane.Pla2IzbrisiClick();
    ASSERT_EQ(prompts.calls.size(), 1u);
    EXPECT_EQ(prompts.calls[0].text, "Premaknem izbrane predmete (2) v Koš?");
    EXPECT_EQ(prompts.calls[0].title, "Kvado - Izbriši lokalno");
    EXPECT_EQ(pane.PendingDeletes(), 0);

    // Yes: both go to the Trash, though the rows were replaced during the question.
    prompts.calls.clear();
    prompts.answers = {mrYes};
    prompts.whileAsking = [this] { pane.Refresh(); };
    pane.Pla2IzbrisiClick();
    prompts.whileAsking = nullptr;
    ASSERT_TRUE(WaitForDeletes());
    EXPECT_FALSE(QFile::exists(work + "/one.txt"));
    EXPECT_TRUE(QFile::exists(base + "/data/Trash/files/one.txt"));
    EXPECT_TRUE(QFile::exists(base + "/data/Trash/files/two.txt"));
    EXPECT_EQ(Row("one.txt"), nullptr);
    EXPECT_EQ(prompts.calls.size(), 1u);

    // A name that is not valid UTF-8 cannot be moved to the Trash by name: reported, and never
    // deleted for good instead.
    TListItem* odd = nullptr;
    for (int i = 0; i < pane.List()->Items().Count(); ++i)
        if (pane.List()->Items().Item(i)->PathBytes() == oddName)
            odd = pane.List()->Items().Item(i);
    ASSERT_NE(odd, nullptr);
    pane.List()->Items().SelectionModel()->clearSelection();
    odd->SetSelected(true);
    prompts.calls.clear();
    prompts.answers = {mrYes};
    pane.Pla2IzbrisiClick();
    ASSERT_TRUE(WaitForDeletes());
    EXPECT_TRUE(prompts.Last("error").startsWith("Premik v Koš ni uspel; nič ni izbrisano za vedno."));
    struct stat st;
    EXPECT_EQ(::lstat(oddName.constData(), &st), 0);

    // Shift+Del: its own question, then gone for good, the folder with everything in it; the
    // link inside is removed, not followed.
    Select({"tree"});
    for (int i = 0; i < pane.List()->Items().Count(); ++i)
        if (pane.List()->Items().Item(i)->PathBytes() == oddName)
            pane.List()->Items().Item(i)->SetSelected(true);
    prompts.calls.clear();
    prompts.answers = {mrYes};
    QTest::keyClick(View(), Qt::Key_Delete, Qt::ShiftModifier);
    ASSERT_TRUE(WaitForDeletes());
    ASSERT_FALSE(prompts.calls.empty());
    EXPECT_EQ(prompts.calls[0].text, "Izbrane predmete (2) izbrišem za vedno? Tega ni mogoče razveljaviti.");
    EXPECT_FALSE(QFileInfo::exists(work + "/tree"));
    EXPECT_NE(::lstat(oddName.constData(), &st), 0);
    EXPECT_TRUE(QFile::exists(base + "/outside/keep.txt"));
    EXPECT_EQ(prompts.Last("error"), "");
    EXPECT_EQ(Captions(), QStringList{"sub"});
}

TEST_F(LocalPaneTest, FoldersViewsColumnsAndTheEngineSide)
{
    Write("small.txt", "12345");
    Write("big.bin", QByteArray(70000, 'x'));
    pane.Start(work);
    std::vector<int> counts;
    pane.OnSelectionCountChanged = [&](TLocalPane*, int count) { counts.push_back(count); };

    // Make a folder: the suggested name, then created and selected.
    prompts.inputs = {QStringLiteral("Nova mapa")};
    pane.Pla2UsiMapoClick();
    EXPECT_EQ(prompts.calls.back().title, "Kvado - Ustvari lokalno mapo");
    EXPECT_EQ(prompts.calls.back().text, "Vnesi ime mape|Nova mapa");
    EXPECT_TRUE(QFileInfo(work + "/Nova mapa").isDir());
    ASSERT_NE(pane.List()->Selected(), nullptr);
    EXPECT_EQ(pane.List()->Selected()->Caption(), "Nova mapa");
    // Again: it exists; an empty name is refused before anything is tried.
    prompts.inputs = {QStringLiteral("Nova mapa"), QString()};
    pane.Pla2UsiMapoClick();
    EXPECT_TRUE(prompts.Last("error").startsWith("I/O error 17: "));
    pane.Pla2UsiMapoClick();
    EXPECT_EQ(prompts.calls.back().kind, "message");

    // Selection count: one notification for a select-all of every row.
    PumpFor(10);
    counts.clear();
    pane.Pla2IzberiVseClick();
    PumpUntil([&] { return !counts.empty(); });
    PumpFor(10);
    EXPECT_EQ(counts, std::vector<int>{4});

    // What the engine reads: list order, sizes without padding; deselecting by caption.
    const std::vector<TLokalniVnos> entries = pane.SelectedEntries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].caption, "Nova mapa"); // folders first
    EXPECT_EQ(entries[2].caption, "big.bin");
    EXPECT_EQ(entries[2].sizeText, "70000");
    EXPECT_EQ(entries[0].sizeText, "");
    EXPECT_TRUE(pane.HasFocusedEntry());
    pane.Deselect(QStringLiteral("big.bin"));
    pane.Deselect(QStringLiteral("small.txt"));
    EXPECT_EQ(pane.SelectedCount(), 2);
    pane.Refresh();
    Select({"small.txt"});
    pane.Deselect(QStringLiteral("small.txt")); // rows read again since the last look-up
    EXPECT_EQ(pane.SelectedCount(), 0);

    // Views as TPogledaLok numbers them; anything else is details.
    EXPECT_EQ(pane.SetView(3), 3);
    EXPECT_EQ(pane.List()->ViewStyle(), vsList);
    pane.ApplyViewStyle(1);
    EXPECT_EQ(pane.List()->ViewStyle(), vsIcon);
    EXPECT_EQ(pane.SetView(0), 4);
    EXPECT_EQ(pane.List()->ViewStyle(), vsReport);
    EXPECT_EQ(pane.ViewStyle(), 4);

    // Column captions follow the language; another language keeps them.
    auto headers = [&] {
        QStringList texts;
        QAbstractItemModel* model = View()->model();
        for (int column = 0; column < model->columnCount(); ++column)
            texts.append(model->headerData(column, Qt::Horizontal).toString());
        return texts;
    };
    pane.SetLanguage(0);
    EXPECT_EQ(headers(), (QStringList{"Ime", "Velikost", "Vrsta", "Spremenjen", "Atributi"}));
    EXPECT_EQ(static_cast<QTreeView*>(View())->columnWidth(1), 85);
    pane.SetLanguage(1);
    pane.SetLanguage(7);
    EXPECT_EQ(headers(), (QStringList{"Name", "Size", "Type", "Modified", "Attributes"}));

    // The pane may be narrowed to one pixel; the list fills what the bar leaves.
    pane.resize(1, 300);
    PumpFor(10);
    EXPECT_EQ(pane.width(), 1);
    EXPECT_EQ(pane.List()->geometry().bottom(), pane.height() - 1);
    EXPECT_EQ(pane.List()->y(), pane.Bar()->height());
    EXPECT_EQ(pane.Bar()->objectName(), "Wallpaper1");
    EXPECT_EQ(pane.Drive()->objectName(), "Medij1");
    EXPECT_EQ(pane.Drive()->width(), 150);
}

TEST_F(LocalPaneTest, ClosingDuringADeleteEndsCleanly)
{
    QDir(work).mkpath(QStringLiteral("big"));
    for (int i = 0; i < 1000; ++i)
        Write(QStringLiteral("big/f%1").arg(i), "x");
    auto* closing = new TLocalPane(prompts);
    closing->Start(work);
    closing->List()->Items().Flush();
    for (int i = 0; i < closing->List()->Items().Count(); ++i)
        closing->List()->Items().Item(i)->SetSelected(closing->List()->Items().Item(i)->Caption() == "big");
    ASSERT_EQ(closing->SelectedCount(), 1);
    prompts.answers = {mrYes};
    closing->DeleteForGood();
    EXPECT_EQ(closing->PendingDeletes(), 1);
    delete closing; // stops the worker after its current entry; nothing is reported afterwards
    PumpFor(50);
    EXPECT_EQ(prompts.calls.size(), 1u);
    EXPECT_TRUE(QFileInfo(work).isDir());
}
