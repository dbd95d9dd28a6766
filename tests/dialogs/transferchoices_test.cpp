// The choices a transfer of many files adds to the windows: the file-exists
// question's details and answers for the rest of a job, and the count of
// background connections in the options.
#include "dialogs/oknomoznosti.h"
#include "dialogs/prepisidialog1.h"
#include "lang/multilang.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

template <typename T> T* Child(QObject* window, const char* name)
{
    T* child = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QString Text(QObject* window, const char* label)
{
    return Child<QLabel>(window, label)->text();
}

// Clicks the button once the dialog runs and returns what exec() gave.
int Answer(TPrepisiDialog1& dialog, const char* button)
{
    QTimer::singleShot(0, Child<QPushButton>(&dialog, button), &QPushButton::click);
    return dialog.exec();
}

const char* const kForAll[] = {"PreNadaljujVse", "PrePrepisiNovejse", "PrePrepisiVse", "PrePreskociVse"};

} // namespace

TEST(FileExistsForSeveral, ChoicesForTheRestOfTheJobAndBackToTheDescribedLook)
{
    QLocale::setDefault(QLocale(QLocale::Slovenian, QLocale::Slovenia));
    TPrepisiDialog1 dialog;
    const QSize described = dialog.size();
    const struct {
        const char* button;
        int result;
        QString slovenian;
        QString english;
    } buttons[] = {
        {"PreNadaljujVse", 11, "Nadaljuj vse", "Resume all"},
        {"PrePrepisiNovejse", 13, "Prepiši spremenjene", "Overwrite changed"},
        {"PrePrepisiVse", 10, "Prepiši vse", "Overwrite all"},
        {"PrePreskociVse", 12, "Preskoči vse", "Skip all"},
    };
    const QDateTime modified(QDate(2026, 11, 30), QTime(17, 42));
    dialog.SetPodatki({"slika.jpg", 5242880, 1024, modified, QDateTime::fromSecsSinceEpoch(0), true});
    for (int language : {0, 1}) {
        dialog.SetLanguage(language);
        EXPECT_EQ(Text(&dialog, "ImeDatoteke"), "slika.jpg");
        EXPECT_EQ(Text(&dialog, "VelikostIzvora"), "5.242.880 B");
        EXPECT_TRUE(Text(&dialog, "DatumIzvora").startsWith("30. 11."))
            << Text(&dialog, "DatumIzvora").toStdString();
        // A date of nothing is unknown, not 1970.
        EXPECT_EQ(Text(&dialog, "DatumCilja"), language == 0 ? "neznano" : "unknown");
        for (const auto& b : buttons) {
            EXPECT_EQ(Child<QPushButton>(&dialog, b.button)->text(), language == 0 ? b.slovenian : b.english);
            EXPECT_EQ(Answer(dialog, b.button), b.result) << b.button;
        }
        EXPECT_EQ(Answer(dialog, "PrePreimenuj"), 4);
    }
    EXPECT_GT(dialog.height(), described.height());
    // Every key of the word table names a component: a misspelt one would stay Slovenian for ever.
    const QStringList& words = Child<TMultiLang>(&dialog, "ML7")->Words();
    for (qsizetype i = 0; i < words.size(); i += 3) {
        if (!words[i].startsWith("@id") && !words[i].startsWith('"') && words[i] != "%Form%") {
            EXPECT_NE(dialog.findChild<QObject*>(words[i]), nullptr) << words[i].toStdString();
        }
    }

    // One file: the details without the choices for all.
    dialog.SetPodatki({"a\nb.txt", -1, 7, QDateTime(), modified, false});
    EXPECT_EQ(Text(&dialog, "ImeDatoteke"), QString("a") + QChar::ReplacementCharacter + "b.txt");
    EXPECT_EQ(Text(&dialog, "VelikostIzvora"), "unknown");
    for (const char* name : kForAll)
        EXPECT_TRUE(Child<QPushButton>(&dialog, name)->isHidden()) << name;
    EXPECT_FALSE(Child<QWidget>(&dialog, "Podatki")->isHidden());

    dialog.ClearPodatki();
    dialog.SetLanguage(0);
    EXPECT_TRUE(Child<QWidget>(&dialog, "Podatki")->isHidden());
    for (const char* name : kForAll)
        EXPECT_TRUE(Child<QPushButton>(&dialog, name)->isHidden()) << name;
    EXPECT_EQ(dialog.size(), described);
    EXPECT_EQ(Answer(dialog, "PrePrepisi1"), 6);
    QTimer::singleShot(0, &dialog, &QDialog::close);
    EXPECT_EQ(dialog.exec(), 2) << "closing is still Cancel";
    QLocale::setDefault(QLocale::system());
}

TEST(OptionsTransfers, TheConnectionCountGoesInAndComesBack)
{
    const struct {
        quint8 stored;
        bool checked;
        int shown;
        bool check; // the user's check after opening
        int typed;  // the user's count, 0 = untouched
        quint8 returned;
    } cases[] = {
        {0, false, 2, false, 0, 0}, // the described default stays
        {0, false, 2, true, 5, 5},  // turned on with a count
        {7, true, 7, false, 0, 0},  // turned off: the browsing session again
        {10, true, 10, true, 0, 10},
    };
    for (const auto& c : cases) {
        TSettings settings;
        settings.Prenosi = c.stored;
        TOknoMoznosti window(settings, QFont(), false, QString());
        auto* check = Child<QCheckBox>(&window, "PrenosiVOzadju");
        auto* count = Child<QSpinBox>(&window, "PrenosiPovezav");
        EXPECT_EQ(check->isChecked(), c.checked) << int(c.stored);
        EXPECT_EQ(count->value(), c.shown) << int(c.stored);
        EXPECT_EQ(count->isEnabled(), c.checked) << int(c.stored);
        check->setChecked(c.check);
        EXPECT_EQ(count->isEnabled(), c.check);
        if (c.typed)
            count->setValue(c.typed);
        ASSERT_TRUE(window.OKBtnClick());
        EXPECT_EQ(window.Settings().Prenosi, c.returned) << int(c.stored);
    }
    TSettings english;
    english.Jezik = 2;
    TOknoMoznosti window(english, QFont(), false, QString());
    EXPECT_EQ(Child<QCheckBox>(&window, "PrenosiVOzadju")->text(), "&Transfers in the background");
    EXPECT_EQ(Text(&window, "OznakaPrenosiPovezav"), "&Connections");
}
