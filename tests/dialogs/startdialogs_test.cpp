// The start-up, quick-connect, language, file-exists and about windows, driven
// as a user drives them, with every question answered by a script.
#include "dialogs/hitra1.h"
#include "dialogs/oknojezik.h"
#include "dialogs/oprogramu.h"
#include "dialogs/prepisidialog1.h"
#include "dialogs/uvodnizaslon.h"
#include "lang/wordtable.h"
#include "widgets/button3d.h"
#include "widgets/radiogroup.h"
#include "widgets/wallpaper.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct TAsked {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
};

// Records every box a window asks and answers with the next scripted button.
struct TBoxScript {
    QList<QMessageBox::StandardButton> answers;
    QList<TAsked> asked;

    TAskBox Box()
    {
        return [this](QMessageBox::Icon icon, const QString& title, const QString& text,
                      QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
            asked.append({icon, title, text, buttons, defaultButton});
            return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
        };
    }
};

TSettings NormalSession()
{
    TSettings s;
    s.Jezik = 1;
    s.ZNaslov = "ftp.example.org";
    s.ZUporIme = "janez";
    s.ZUporGeslo = "Skrivno1";
    s.ZVrata = "2121";
    s.Branje = 8192;
    s.Pisanje = 2048;
    s.FTPMapa = "/pub";
    s.LokMapa = "/tmp/prenosi";
    s.TipPre = 2;
    s.TipPri = 1;
    s.PrivGeslo = "gost@example.org";
    return s;
}

template <typename T> T* Child(QObject* window, const char* name)
{
    T* child = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QString Text(QObject* window, const char* field)
{
    return Child<QLineEdit>(window, field)->text();
}

// Quick connect with its questions scripted; finished() counted.
struct TQuickConnect {
    TBoxScript boxes;
    THitra1 dialog;
    int finished = 0;

    TQuickConnect(const TSettings& settings, bool connected) : dialog(settings, connected)
    {
        dialog.AskUser = boxes.Box();
        QObject::connect(&dialog, &QDialog::finished, [this] { ++finished; });
        dialog.show();
    }
    QLineEdit* Field(const char* name) { return Child<QLineEdit>(&dialog, name); }
    void Click(const char* button) { Child<QAbstractButton>(&dialog, button)->click(); }
    TRadioGroup* Group(const char* name) { return Child<TRadioGroup>(&dialog, name); }
};

} // namespace

TEST(QuickConnect, OpensWithTheStoredSession)
{
    TSettings normal = NormalSession();
    TQuickConnect quick(normal, false);
    EXPECT_EQ(quick.dialog.windowTitle(), "Hitra Povezava");
    EXPECT_EQ(Text(&quick.dialog, "VnosNaslov1"), "ftp.example.org");
    EXPECT_EQ(Text(&quick.dialog, "VnosIme1"), "janez");
    EXPECT_EQ(Text(&quick.dialog, "VnosGeslo1"), "Skrivno1");
    EXPECT_EQ(quick.Field("VnosGeslo1")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Text(&quick.dialog, "VnosVrata1"), "2121");
    EXPECT_EQ(Text(&quick.dialog, "VnosBralPom1"), "8192");
    EXPECT_EQ(Text(&quick.dialog, "VnosPisPom1"), "2048");
    EXPECT_EQ(Text(&quick.dialog, "VnosFTPMapa1"), "/pub");
    EXPECT_EQ(Text(&quick.dialog, "VnosLokMapa1"), "/tmp/prenosi");
    EXPECT_EQ(quick.Group("TipPrenosa1")->ItemIndex(), 2);
    EXPECT_EQ(quick.Group("TipPrijave1")->ItemIndex(), 1);
    EXPECT_EQ(Child<QComboBox>(&quick.dialog, "TipFTP1")->currentIndex(), 0);
    EXPECT_FALSE(Child<TWallpaper>(&quick.dialog, "Ozadje")->Wallpaper().isNull());
    EXPECT_TRUE(Child<TButton3D>(&quick.dialog, "Povezi1")->isDefault());
    EXPECT_EQ(Child<QLabel>(&quick.dialog, "Label1")->buddy(), quick.Field("VnosNaslov1"));
    EXPECT_EQ(quick.Field("VnosNaslov1")->accessibleName(), "Naslov FTP strežnika");
    EXPECT_EQ(Child<QComboBox>(&quick.dialog, "TipFTP1")->accessibleName(), "Tip FTP strežnika");
    EXPECT_EQ(quick.dialog.focusWidget(), quick.Field("VnosNaslov1"));

    // An anonymous session shows "anonymous" and the default password; zero
    // buffers, an empty host and an unknown transfer type leave the fields
    // empty or at automatic; no background without Ozadje.
    TSettings anonymous;
    anonymous.TipPri = 0;
    anonymous.ZUporIme = "janez";
    anonymous.ZUporGeslo = "Skrivno1";
    anonymous.PrivGeslo = "gost@example.org";
    anonymous.Branje = 0;
    anonymous.Pisanje = 0;
    anonymous.TipPre = 9;
    anonymous.Ozadje = false;
    TQuickConnect guest(anonymous, false);
    EXPECT_EQ(Text(&guest.dialog, "VnosIme1"), "anonymous");
    EXPECT_EQ(Text(&guest.dialog, "VnosGeslo1"), "gost@example.org");
    EXPECT_EQ(guest.Group("TipPrijave1")->ItemIndex(), 0);
    EXPECT_EQ(Text(&guest.dialog, "VnosNaslov1"), "");
    EXPECT_EQ(Text(&guest.dialog, "VnosVrata1"), "21");
    EXPECT_EQ(Text(&guest.dialog, "VnosBralPom1"), "");
    EXPECT_EQ(Text(&guest.dialog, "VnosPisPom1"), "");
    EXPECT_EQ(guest.Group("TipPrenosa1")->ItemIndex(), 0);
    EXPECT_TRUE(Child<TWallpaper>(&guest.dialog, "Ozadje")->Wallpaper().isNull());

    // Switching the login type fills the fields; Normal brings back the stored ones.
    guest.Group("TipPrijave1")->Button(1)->click();
    EXPECT_EQ(Text(&guest.dialog, "VnosIme1"), "janez");
    EXPECT_EQ(Text(&guest.dialog, "VnosGeslo1"), "Skrivno1");
    guest.Group("TipPrijave1")->Button(0)->click();
    EXPECT_EQ(Text(&guest.dialog, "VnosIme1"), "anonymous");
    EXPECT_EQ(Text(&guest.dialog, "VnosGeslo1"), "gost@example.org");
    EXPECT_TRUE(guest.boxes.asked.isEmpty());
}

TEST(QuickConnect, NumericFieldsTakeOnlyDigitsTypedOrPasted)
{
    TQuickConnect quick(NormalSession(), false);
    QLineEdit* port = quick.Field("VnosVrata1");
    port->clear();
    QTest::keyClicks(port, "2a1-");
    EXPECT_EQ(port->text(), "21");
    QTest::keyClicks(port, "0 0 0 9");
    EXPECT_EQ(port->text(), "21000") << "a sixth digit is refused";

    port->clear();
    QApplication::clipboard()->setText(" port: 2121\n");
    QTest::keySequence(port, QKeySequence::Paste);
    EXPECT_EQ(port->text(), "2121");
    QApplication::clipboard()->setText("1234567");
    QTest::keySequence(port, QKeySequence::Paste);
    EXPECT_EQ(port->text(), "2121") << "a paste that does not fit is refused";
    port->selectAll();
    port->paste(); // the context menu's paste
    EXPECT_EQ(port->text(), "2121");
    QApplication::clipboard()->setText("x40y96");
    QLineEdit* buffer = quick.Field("VnosBralPom1");
    buffer->selectAll();
    buffer->paste();
    EXPECT_EQ(buffer->text(), "4096");

    // A longer number from the settings is shown whole and can be shortened.
    TSettings big = NormalSession();
    big.Branje = 1048576;
    TQuickConnect large(big, false);
    QLineEdit* receive = large.Field("VnosBralPom1");
    EXPECT_EQ(receive->text(), "1048576");
    QTest::keyClick(receive, Qt::Key_Backspace);
    EXPECT_EQ(receive->text(), "104857");
}

TEST(QuickConnect, RecommendedSettingsAfterTheQuestion)
{
    TQuickConnect quick(NormalSession(), false);
    quick.Field("VnosFTPMapa1")->setText("/home/janez");
    Child<QComboBox>(&quick.dialog, "TipFTP1")->setCurrentIndex(3);

    quick.boxes.answers = {QMessageBox::No};
    quick.Click("PriporNastavitve");
    ASSERT_EQ(quick.boxes.asked.size(), 1);
    EXPECT_EQ(quick.boxes.asked[0].icon, QMessageBox::Question);
    EXPECT_EQ(quick.boxes.asked[0].title, "Kvado - Priporočene nastavitve");
    EXPECT_EQ(quick.boxes.asked[0].text, "Ali nastavim priporočene nastavitve?");
    EXPECT_EQ(quick.boxes.asked[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(Text(&quick.dialog, "VnosVrata1"), "2121");
    EXPECT_EQ(Text(&quick.dialog, "VnosIme1"), "janez");

    quick.boxes.answers = {QMessageBox::Yes};
    quick.Click("PriporNastavitve");
    EXPECT_EQ(Text(&quick.dialog, "VnosVrata1"), "21");
    EXPECT_EQ(Text(&quick.dialog, "VnosBralPom1"), "4096");
    EXPECT_EQ(Text(&quick.dialog, "VnosPisPom1"), "4096");
    EXPECT_EQ(quick.Group("TipPrenosa1")->ItemIndex(), 0);
    EXPECT_EQ(Child<QComboBox>(&quick.dialog, "TipFTP1")->currentIndex(), 0);
    EXPECT_EQ(quick.Group("TipPrijave1")->ItemIndex(), 0);
    EXPECT_EQ(Text(&quick.dialog, "VnosIme1"), "anonymous");
    EXPECT_EQ(Text(&quick.dialog, "VnosGeslo1"), "gost@example.org");
    EXPECT_EQ(Text(&quick.dialog, "VnosFTPMapa1"), "/");
    EXPECT_EQ(Text(&quick.dialog, "VnosNaslov1"), "ftp.example.org");
    EXPECT_EQ(quick.finished, 0);
}

TEST(QuickConnect, ConnectRefusesIncompleteFormsAndAsksBeforeDisconnecting)
{
    TQuickConnect quick(NormalSession(), false);
    // Each fault gets its message and keeps the window open.
    const struct {
        const char* field;
        QString text;
        QString message;
    } faults[] = {
        {"VnosNaslov1", "", "Vnesi naslov FTP strežnika"},
        {"VnosNaslov1", "   ", "Vnesi naslov FTP strežnika"},
        {"VnosVrata1", "", "Vrata FTP strežnika morajo biti število od 1 do 65535."},
        {"VnosVrata1", "0", "Vrata FTP strežnika morajo biti število od 1 do 65535."},
        {"VnosVrata1", "65536", "Vrata FTP strežnika morajo biti število od 1 do 65535."},
        {"VnosBralPom1", "", "Velikost pomnilnika mora biti celo število, večje od 0."},
        {"VnosPisPom1", "0", "Velikost pomnilnika mora biti celo število, večje od 0."},
    };
    for (const auto& fault : faults) {
        QLineEdit* field = quick.Field(fault.field);
        const QString kept = field->text();
        field->setText(fault.text);
        quick.boxes.asked.clear();
        quick.Click("Povezi1");
        ASSERT_EQ(quick.boxes.asked.size(), 1) << fault.field << " " << qPrintable(fault.text);
        EXPECT_EQ(quick.boxes.asked[0].text, fault.message);
        EXPECT_EQ(quick.boxes.asked[0].buttons, QMessageBox::Ok);
        EXPECT_EQ(quick.finished, 0);
        EXPECT_TRUE(quick.dialog.isVisible());
        field->setText(kept);
    }
    quick.Field("VnosVrata1")->setText("65535");
    quick.boxes.asked.clear();
    quick.Click("Povezi1");
    EXPECT_TRUE(quick.boxes.asked.isEmpty()) << "no question without an open connection";
    EXPECT_EQ(quick.dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(quick.dialog.DisconnectFirst());

    // With an open connection: No closes the window and changes nothing.
    TQuickConnect refused(NormalSession(), true);
    refused.boxes.answers = {QMessageBox::No};
    refused.Click("Povezi1");
    ASSERT_EQ(refused.boxes.asked.size(), 1);
    EXPECT_EQ(refused.boxes.asked[0].title, "Kvado");
    EXPECT_EQ(refused.boxes.asked[0].text, "Prekinem trenutno povezavo?");
    EXPECT_EQ(refused.boxes.asked[0].icon, QMessageBox::Question);
    EXPECT_EQ(refused.boxes.asked[0].defaultButton, QMessageBox::No);
    EXPECT_EQ(refused.finished, 1);
    EXPECT_EQ(refused.dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(refused.dialog.DisconnectFirst());

    TQuickConnect accepted(NormalSession(), true);
    accepted.boxes.answers = {QMessageBox::Yes};
    accepted.Click("Povezi1");
    EXPECT_EQ(accepted.dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(accepted.dialog.DisconnectFirst());

    TQuickConnect cancelled(NormalSession(), true);
    cancelled.Click("Button3D1");
    EXPECT_EQ(cancelled.dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(cancelled.boxes.asked.isEmpty());
}

TEST(QuickConnect, ApplyToMakesTheFormTheSessionButKeepsTheNormalLogin)
{
    const TSettings before = NormalSession();
    {
        TQuickConnect quick(before, false);
        quick.Field("VnosNaslov1")->setText("  ftp.drugi.si ");
        quick.Field("VnosIme1")->setText("micka");
        quick.Field("VnosGeslo1")->setText("Novo2");
        quick.Field("VnosVrata1")->setText("0021");
        quick.Field("VnosBralPom1")->setText("512");
        quick.Field("VnosPisPom1")->setText("99999");
        quick.Field("VnosFTPMapa1")->setText("");
        quick.Field("VnosLokMapa1")->setText("/tmp");
        quick.Group("TipPrenosa1")->Button(3)->click();
        Child<QComboBox>(&quick.dialog, "TipFTP1")->setCurrentIndex(2);
        quick.Click("Povezi1");
        TSettings after = before;
        after.TipFTP = 1;
        quick.dialog.ApplyTo(after);
        EXPECT_EQ(after.ZNaslov, "ftp.drugi.si");
        EXPECT_EQ(after.ZUporIme, "micka");
        EXPECT_EQ(after.ZUporGeslo, "Novo2");
        EXPECT_EQ(after.ZVrata, "0021") << "the port is kept as typed";
        EXPECT_EQ(after.Branje, 512);
        EXPECT_EQ(after.Pisanje, 99999);
        EXPECT_EQ(after.FTPMapa, "");
        EXPECT_EQ(after.LokMapa, "/tmp");
        EXPECT_EQ(after.TipPre, 3);
        EXPECT_EQ(after.TipPri, 1);
        EXPECT_EQ(after.TipFTP, 1) << "the host type is never stored";
    }
    {
        // Normal login with "ANONYMOUS" and the default password in other
        // letter case: the stored user name and password stay.
        TQuickConnect quick(before, false);
        quick.Field("VnosIme1")->setText("ANONYMOUS");
        quick.Field("VnosGeslo1")->setText("GOST@example.ORG");
        quick.Click("Povezi1");
        TSettings after = before;
        quick.dialog.ApplyTo(after);
        EXPECT_EQ(after.ZUporIme, "janez");
        EXPECT_EQ(after.ZUporGeslo, "Skrivno1");
    }
    {
        // An anonymous connection whose password was edited never replaces
        // the stored password of the normal login; the next normal opening
        // shows it again.
        TQuickConnect quick(before, false);
        quick.Group("TipPrijave1")->Button(0)->click();
        quick.Field("VnosGeslo1")->setText("jaz@drugje.si");
        quick.Click("Povezi1");
        TSettings after = before;
        quick.dialog.ApplyTo(after);
        EXPECT_EQ(after.TipPri, 0);
        EXPECT_EQ(after.ZUporIme, "janez");
        EXPECT_EQ(after.ZUporGeslo, "Skrivno1");
        after.TipPri = 1;
        TQuickConnect next(after, false);
        EXPECT_EQ(Text(&next.dialog, "VnosIme1"), "janez");
        EXPECT_EQ(Text(&next.dialog, "VnosGeslo1"), "Skrivno1");
    }
}

TEST(QuickConnect, LanguageFollowsJezikWithoutEverAskingForOthers)
{
    const struct {
        quint8 jezik;
        QString title;
        QString hostLabel;
        QString secondItem;
        QString contacting;
    } cases[] = {
        {0, "Hitra Povezava", "Naslov FTP strežnika", "Slika", "Povezujem s "},
        {1, "Hitra Povezava", "Naslov FTP strežnika", "Slika", "Povezujem s "},
        {2, "Quick Connect", "Host address", "Image", "Contacting "},
        {3, "Hitra Povezava", "Naslov FTP strežnika", "Slika", "Povezujem s "},
        {255, "Hitra Povezava", "Naslov FTP strežnika", "Slika", "Povezujem s "},
    };
    for (const auto& c : cases) {
        TSettings settings = NormalSession();
        settings.Jezik = c.jezik;
        int boxes = 0;
        THitra1 quick(settings, false);
        quick.AskUser = [&boxes](auto...) {
            ++boxes;
            return QMessageBox::Ok;
        };
        EXPECT_EQ(quick.windowTitle(), c.title) << int(c.jezik);
        EXPECT_EQ(Child<QLabel>(&quick, "Label1")->text(), c.hostLabel);
        EXPECT_EQ(Child<QLineEdit>(&quick, "VnosNaslov1")->accessibleName(), c.hostLabel);
        EXPECT_EQ(Child<TRadioGroup>(&quick, "TipPrenosa1")->Items().value(1), c.secondItem);
        EXPECT_EQ(Child<TRadioGroup>(&quick, "TipPrenosa1")->ItemIndex(), 2)
            << "the choice survives the switch";
        EXPECT_EQ(quick.Word("@idPov"), c.contacting);
        EXPECT_EQ(Text(&quick, "VnosNaslov1"), "ftp.example.org") << "fields keep their contents";
        EXPECT_EQ(boxes, 0);
    }
    TSettings english = NormalSession();
    english.Jezik = 2;
    TQuickConnect quick(english, true);
    EXPECT_EQ(quick.dialog.Word("@idPovezan"), "Connection established: ");
    quick.boxes.answers = {QMessageBox::No};
    quick.Click("Povezi1");
    EXPECT_EQ(quick.boxes.asked.value(0).text, "Disconnect?");
}

TEST(LanguageChoice, ButtonGivesTheChoiceAndClosingGivesNone)
{
    {
        TOknoJezik window;
        auto* list = Child<QComboBox>(&window, "Jezik");
        EXPECT_EQ(window.windowTitle(), "Kvado - Izbira jezika / Language Selection");
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->currentIndex(), 0);
        EXPECT_EQ(list->itemText(0), "Slovenščina");
        EXPECT_EQ(window.focusWidget(), list);
        EXPECT_EQ(Child<QPushButton>(&window, "Button3D1")->text(), "V redu / OK");
        window.show();
        Child<QPushButton>(&window, "Button3D1")->click();
        EXPECT_EQ(window.result(), QDialog::Accepted);
        EXPECT_EQ(window.Chosen(), 1);
    }
    {
        TOknoJezik window;
        window.show();
        Child<QComboBox>(&window, "Jezik")->setCurrentIndex(1);
        Child<QPushButton>(&window, "Button3D1")->click();
        EXPECT_EQ(window.Chosen(), 2);
    }
    {
        TOknoJezik window;
        window.show();
        Child<QComboBox>(&window, "Jezik")->setCurrentIndex(1);
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_EQ(window.result(), QDialog::Rejected);
        EXPECT_EQ(window.Chosen(), 0);
    }
}

TEST(FileExists, ButtonsGiveTheirResultsInBothLanguages)
{
    TPrepisiDialog1 dialog;
    const struct {
        const char* button;
        int result;
        QString slovenian;
        QString english;
    } buttons[] = {
        {"PreNadalj1", 1, "Nadaljuj", "Resume"},
        {"PrePreimenuj", 4, "Preimenuj", "Rename"},
        {"PrePrepisi1", 6, "Prepiši", "Overwrite"},
        {"PrePrekini1", 2, "Prekini", "Cancel"},
    };
    const struct {
        int language;
        QString caption;
        QString question;
    } languages[] = {
        {0, "Kvado - Datoteka že obstaja", "Datoteka na cilju že obstaja. Kaj boš storil?"},
        {1, "Kvado - File already exists", "Target file already exists. What are you going to do?"},
    };
    for (const auto& l : languages) {
        dialog.SetLanguage(l.language);
        EXPECT_EQ(dialog.windowTitle(), l.caption);
        EXPECT_EQ(Child<QLabel>(&dialog, "Label1")->text(), l.question);
        for (const auto& b : buttons) {
            auto* button = Child<QPushButton>(&dialog, b.button);
            EXPECT_EQ(button->text(), l.language == 0 ? b.slovenian : b.english);
            // The one dialog is shown again and again.
            QTimer::singleShot(0, button, &QPushButton::click);
            EXPECT_EQ(dialog.exec(), b.result) << b.button;
        }
        QTimer::singleShot(0, &dialog, &QDialog::close);
        EXPECT_EQ(dialog.exec(), 2) << "closing the window is Cancel";
    }
    dialog.SetLanguage(2);
    dialog.SetLanguage(-1);
    EXPECT_EQ(dialog.windowTitle(), "Kvado - File already exists");
}

TEST(About, PicturesAndLanguage)
{
    TOProgramu withBackground(true, 2);
    EXPECT_EQ(withBackground.windowTitle(), "About Kvado");
    EXPECT_FALSE(Child<TWallpaper>(&withBackground, "Ozadje")->Wallpaper().isNull());
    EXPECT_FALSE(Child<QWidget>(&withBackground, "Logo1")->size().isEmpty());
    EXPECT_TRUE(Child<QLabel>(&withBackground, "Verzija1")->text().startsWith("Version "));

    withBackground.show();
    QTest::keyClick(&withBackground, Qt::Key_Return);
    EXPECT_EQ(withBackground.result(), QDialog::Accepted);
    EXPECT_FALSE(withBackground.isVisible());

    for (quint8 jezik : {0, 1, 3}) {
        TOProgramu plain(false, jezik);
        EXPECT_EQ(plain.windowTitle(), "O Kvado") << int(jezik);
        EXPECT_TRUE(Child<TWallpaper>(&plain, "Ozadje")->Wallpaper().isNull());
        EXPECT_TRUE(Child<QLabel>(&plain, "Verzija1")->text().startsWith("Različica "));
    }
}

TEST(Splash, ShowsAtOnceAndHidesAfterItsTime)
{
    TUvodniZaslon splash;
    EXPECT_EQ(splash.size(), QSize(326, 206));
    EXPECT_TRUE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    splash.Show();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_TRUE(splash.Timer1()->isActive());
    EXPECT_TRUE(splash.Timer1()->isSingleShot());
    EXPECT_EQ(splash.Timer1()->interval(), 4000);
    QMetaObject::invokeMethod(splash.Timer1(), "timeout");
    EXPECT_FALSE(splash.isVisible());

    splash.Show();
    splash.Close();
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(splash.Timer1()->isActive());
}

TEST(WordTables, EveryTextExistsInBothLanguages)
{
    for (const char* table : {"ML2", "ML3", "ML7"}) {
        const QStringList words = LoadWordTable(table);
        ASSERT_FALSE(words.isEmpty()) << table;
        for (qsizetype i = 0; i + 2 < words.size(); i += 3) {
            EXPECT_FALSE(words[i + 1].isEmpty()) << table << " " << qPrintable(words[i]);
            EXPECT_FALSE(words[i + 2].isEmpty()) << table << " " << qPrintable(words[i]);
        }
    }
}
