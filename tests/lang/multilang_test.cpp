#include "lang/multilang.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Stand-in for Kvado's radio-group control: the walk knows it only by class
// name and its properties.
class TRadioGroup : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
public:
    using QWidget::QWidget;
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption) { m_caption = caption; }
    QStringList Items() const { return m_items; }
    void SetItems(const QStringList& items)
    {
        m_items = items;
        m_itemIndex = -1; // like a control that rebuilds its buttons
    }
    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int index) { m_itemIndex = index; }

private:
    QString m_caption;
    QStringList m_items;
    int m_itemIndex = -1;
};

// A Kvado control that publishes both Caption and Text.
class TCaptionedEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Text READ Text WRITE SetText)
public:
    using QWidget::QWidget;
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption)
    {
        if (caption == "boom")
            throw std::runtime_error("cannot write");
        m_caption = caption;
    }
    QString Text() const { return m_text; }
    void SetText(const QString& text) { m_text = text; }

private:
    QString m_caption;
    QString m_text;
};

// Like Kvado's flat tool button: the hint lives in its own property.
class TToolButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
public:
    using QWidget::QWidget;
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption) { m_caption = caption; }
    QString Hint() const { return m_hint; }
    void SetHint(const QString& hint) { m_hint = hint; }

private:
    QString m_caption = "Auto";
    QString m_hint;
};

// Like Kvado's session log: a rich text view that offers a Text property.
class TLogView : public QTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
public:
    using QTextEdit::QTextEdit;
    QString Text() const { return toPlainText(); }
    void SetText(const QString& text) { setPlainText(text); }
};

// The drive selector is a combo box whose entries are volumes.
class TDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
};

namespace {

const QString kDitto = "\"";

struct Window {
    QWidget form;
    QMenu* menu = new QMenu("&Datoteka", &form);
    QAction* open = menu->addAction("&Odpri");
    QComboBox* combo = new QComboBox(&form);
    TRadioGroup* radio = new TRadioGroup(&form);
    QListView* list = new QListView(&form);
    QPushButton* button = new QPushButton("Gumb", &form);
    QLabel* label = new QLabel("Oznaka", &form);
    QLineEdit* edit = new QLineEdit("vnos", &form);
    TCaptionedEdit* captioned = new TCaptionedEdit(&form);
    QStatusBar* status = new QStatusBar(&form);
    QLabel* panel0 = new QLabel("p0");
    QLabel* panel1 = new QLabel("p1");
    QTabWidget* tabs = new QTabWidget(&form);
    TDriveComboBox* drives = new TDriveComboBox(&form);
    QFileDialog* dialog = new QFileDialog(&form);
    TToolButton* tool = new TToolButton(&form);
    TLogView* log = new TLogView(&form);

    Window()
    {
        form.setObjectName("TestObrazec");
        form.setWindowTitle("Obrazec");
        menu->setObjectName("DatotekaMenu");
        open->setObjectName("Odpri1");
        combo->setObjectName("Izbira1");
        combo->addItems({"ena", "dva", "tri"});
        combo->setCurrentIndex(2);
        radio->setObjectName("TipPrenosa1");
        radio->SetItems({"Samodejno", "Slika", "Tekst"});
        radio->SetItemIndex(1);
        list->setObjectName("Seznam1");
        list->setToolTip("stari namig");
        button->setObjectName("Gumb1");
        label->setObjectName("Oznaka1");
        label->setToolTip("namig oznake");
        edit->setObjectName("Vnos1");
        captioned->setObjectName("Polje1");
        status->setObjectName("Vrstica1");
        status->addPermanentWidget(panel0);
        status->addPermanentWidget(panel1);
        tabs->setObjectName("Zavihki1");
        tabs->addTab(new QWidget, "Prvi");
        tabs->addTab(new QWidget, "Drugi");
        drives->setObjectName("Medij1");
        drives->addItems({"/", "/home"});
        dialog->setObjectName("OdpriDialog1");
        tool->setObjectName("HitriGumb1");
        log->setObjectName("Dnevnik1");
        log->SetText("220 pozdrav");
        auto* layout = new QVBoxLayout(&form);
        for (QWidget* w : std::initializer_list<QWidget*>{combo, radio, list, button, label, edit, captioned,
                                                          status, tabs, drives})
            layout->addWidget(w);
    }
};

// A table for the window above, English as language 1.
QStringList windowWords()
{
    // clang-format off
    return {
        "%Form%",       "Obrazec",          "Form",
        "DatotekaMenu", "&Datoteka",        "&File",
        "ODPRI1",       "&Odpri",           "&Open",          // names match without regard to case
        "Izbira1",      "ena",              "one",
        kDitto,         "dva",              "two",
        kDitto,         "tri",              "three",
        "TipPrenosa1",  "Tip prenosa",      "Transfer type",
        kDitto,         "Samodejno",        "Auto-detect",
        kDitto,         "Slika",            "Image",          // no third item group
        "Seznam1",      "ignored",          "ignored",        // list view: own group passed over
        "\".HINT",      "Seznam datotek",   "File list",
        "@idSporocilo", "Sporočilo",        "Message",
        "Gumb1",        "Gumb",             "",               // empty English caption
        "Oznaka1",      "Oznaka",           "Label",
        "\".Hint",      "nov namig",        "",               // empty hint keeps the old one
        "Vnos1",        "vnos",             "input",
        "Polje1",       "Napis",            "Caption",        // Caption and Text: two groups
        "Polje1Text",   "besedilo",         "text",
        "Vrstica1",     "",                 "",
        kDitto,         "levo",             "left",
        kDitto,         "desno",            "right",
        "Zavihki1",     "Prvi",             "First",
        kDitto,         "Drugi",            "Second",
        "Medij1",       "",                 "",
        "\".Hint",      "Izberi enoto",     "Select media",
        "OdpriDialog1", "Zvočne datoteke (*.wav)|*.wav|Vse datoteke|*.*", "Sound files (*.wav)|*.wav|All files|*.*",
        "x",            "Odpri zvok",       "Open sound",     // the dialog title, whatever the key
        "HitriGumb1",   "",                 "",               // caption emptied, hint through its property
        "\".Hint",      "Poveže",           "Connects",
        "Dnevnik1",     "",                 "",               // the log keeps its lines
        "\".Hint",      "Dnevnik",          "Log",
        "NiKomponente", "x",                "y",
    };
    // clang-format on
}

struct Recorder {
    std::vector<std::pair<QMessageBox::Icon, QString>> boxes;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    TMultiLang::TAskUser seam()
    {
        return [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons) {
            boxes.emplace_back(icon, text);
            return answer;
        };
    }
};

} // namespace

TEST(MultiLangGetWord, FirstMatchingGroupActiveLanguageAndFallback)
{
    QWidget owner;
    TMultiLang ml(&owner);
    ml.SetWords({"@idA", "prvi", "first", "@idB", "", "b-en", "@idA", "drugi", "second", "@idC", "c-sl", "",
                 "@idShort", "kratko"});
    Recorder recorder;
    ml.AskUser = recorder.seam();

    EXPECT_EQ(ml.GetWord("@idA"), "prvi");
    EXPECT_EQ(ml.GetWord("@idB"), "");
    EXPECT_EQ(ml.GetWord("@ida"), ""); // message keys are exact
    EXPECT_EQ(ml.GetWord("@idMissing"), "");
    EXPECT_EQ(ml.GetWord("@idShort"), ""); // a short last group is not searched
    ml.SetActiveLanguage(1);
    EXPECT_EQ(ml.GetWord("@idA"), "first");
    EXPECT_EQ(ml.GetWord("@idC"), "");
    ml.SetDefaultEnabled(true);
    EXPECT_EQ(ml.GetWord("@idC"), "c-sl");
    EXPECT_EQ(ml.GetWord("@idB"), "b-en");
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST(MultiLangWalk, SwitchingToEnglishRewritesEveryKindOfComponent)
{
    Window w;
    TMultiLang ml(&w.form);
    ml.SetWords(windowWords());
    std::vector<int> after;
    ml.AfterLanguageChanged = [&](TMultiLang* sender, quint8 language) {
        EXPECT_EQ(sender, &ml);
        EXPECT_EQ(w.form.windowTitle(),
                  language == 1 ? "Form" : "Obrazec"); // texts are written before the event
        after.push_back(language);
    };

    ml.SetActiveLanguage(1);

    EXPECT_EQ(after, std::vector<int>{1});
    EXPECT_EQ(ml.ActiveLanguage(), 1);
    EXPECT_EQ(w.menu->title(), "&File");
    EXPECT_EQ(w.open->text(), "&Open");
    EXPECT_EQ(w.combo->itemText(0), "one");
    EXPECT_EQ(w.combo->itemText(2), "three");
    EXPECT_EQ(w.combo->currentIndex(), 2);
    EXPECT_EQ(w.radio->Caption(), "Transfer type");
    EXPECT_EQ(w.radio->Items(), (QStringList{"Auto-detect", "Image", ""})); // missing ditto: third item empty
    EXPECT_EQ(w.radio->ItemIndex(), 1);
    EXPECT_EQ(w.list->toolTip(), "File list");
    EXPECT_EQ(w.button->text(), "");
    EXPECT_EQ(w.label->text(), "Label");
    EXPECT_EQ(w.label->toolTip(), "namig oznake");
    EXPECT_EQ(w.edit->text(), "input");
    EXPECT_EQ(w.captioned->Caption(), "Caption");
    EXPECT_EQ(w.captioned->Text(), "text");
    EXPECT_EQ(w.panel0->text(), "left");
    EXPECT_EQ(w.panel1->text(), "right");
    EXPECT_EQ(w.tabs->tabText(0), "First");
    EXPECT_EQ(w.tabs->tabText(1), "Second");
    EXPECT_EQ(w.drives->itemText(0), "/");
    EXPECT_EQ(w.drives->toolTip(), "Select media");
    EXPECT_EQ(w.dialog->nameFilters(), (QStringList{"Sound files (*.wav)", "All files (*.*)"}));
    EXPECT_EQ(w.dialog->windowTitle(), "Open sound");
    EXPECT_EQ(w.tool->Caption(), "");
    EXPECT_EQ(w.tool->Hint(), "Connects");
    EXPECT_EQ(w.log->Text(), "220 pozdrav");
    EXPECT_EQ(w.log->toolTip(), "Log");

    ml.SetActiveLanguage(0);
    EXPECT_EQ(w.form.windowTitle(), "Obrazec");
    EXPECT_EQ(w.open->text(), "&Odpri");
    EXPECT_EQ(w.radio->Items(), (QStringList{"Samodejno", "Slika", ""}));
    EXPECT_EQ(w.button->text(), "Gumb");
    EXPECT_EQ(w.label->toolTip(), "nov namig");
    EXPECT_EQ(w.combo->currentIndex(), 2);
    EXPECT_EQ(after, (std::vector<int>{1, 0}));
}

TEST(MultiLangWalk, WindowNameAndShortTablesAndUnknownKeys)
{
    Window w;
    TMultiLang ml(&w.form);
    ml.SetWords({"TestObrazec", "Naslov", "Title", "Neznano", "a", "b", "Gumb1", "Gumb", "Button", "Oznaka1",
                 "Oznaka"}); // the last group is short: it ends the walk
    ml.SetActiveLanguage(1);
    EXPECT_EQ(w.form.windowTitle(), "Title");
    EXPECT_EQ(w.button->text(), "Button");
    EXPECT_EQ(w.label->text(), "Oznaka");

    // "%form%" in another case is not the window key, and no component bears it
    ml.SetWords({"%form%", "x", "y"});
    ml.SetActiveLanguage(1);
    EXPECT_EQ(w.form.windowTitle(), "Title");
}

TEST(MultiLangWalk, AccessibleNamesFollowTheSwitch)
{
    Window w;
    TMultiLang ml(&w.form);
    ml.SetWords({"Gumb1", "&Poveži", "&Connect", "Oznaka1", "Naslov strežnika", "Host address"});
    // Names given from the table's texts in either language ("&" left out), and one of the program's own.
    w.button->setAccessibleName(QStringLiteral("Poveži"));
    w.label->setAccessibleName(QStringLiteral("Host address"));
    auto* field = new QLineEdit(&w.form);
    field->setAccessibleName(QStringLiteral("Naslov strežnika")); // named after its label
    auto* own = new QLineEdit(&w.form);
    own->setAccessibleName(QStringLiteral("Vrata"));
    const struct {
        quint8 language;
        QString button, label;
    } switches[] = {
        {1, "Connect", "Host address"}, {0, "Poveži", "Naslov strežnika"}, {1, "Connect", "Host address"}};
    for (const auto& s : switches) {
        ml.SetActiveLanguage(s.language);
        EXPECT_EQ(w.button->accessibleName(), s.button);
        EXPECT_EQ(w.label->accessibleName(), s.label);
        EXPECT_EQ(field->accessibleName(), s.label);
        EXPECT_EQ(own->accessibleName(), "Vrata") << "a name that is no text of the table stays";
    }
}

TEST(MultiLangWalk, AnOwnedDialogKeepsItsComponentsAndAnEmptyMemoTakesNoLine)
{
    QWidget form;
    // A dialog the window owns, made first, with a label of the same name as the window's.
    auto* dialog = new QDialog(&form);
    auto* dialogLabel = new QLabel("v dialogu", dialog);
    dialogLabel->setObjectName("Oznaka1");
    auto* label = new QLabel("Oznaka", &form);
    label->setObjectName("Oznaka1");
    auto* memo = new QPlainTextEdit(&form);
    memo->setObjectName("Komentar1");
    TMultiLang ml(&form);
    // The empty memo takes no line, so the next key is a component again.
    ml.SetWords({"Oznaka1", "Oznaka", "Label", "Komentar1", "Namig1", "Hint1", "x", "y", "z"});
    ml.SetActiveLanguage(1);
    EXPECT_EQ(label->text(), "Label");
    EXPECT_EQ(dialogLabel->text(), "v dialogu") << "the dialog's own label is not the window's";
    EXPECT_TRUE(memo->toPlainText().isEmpty());
}

TEST(MultiLangWalk, DefaultLanguageFillsEmptyTexts)
{
    Window w;
    TMultiLang ml(&w.form);
    ml.SetWords({"Odpri1", "&Odpri", ""});
    ml.SetActiveLanguage(1);
    EXPECT_EQ(w.open->text(), "");
    ml.SetDefaultEnabled(true); // switches again
    EXPECT_EQ(w.open->text(), "&Odpri");
    ml.SetDefaultEnabled(false);
    EXPECT_EQ(w.open->text(), "");
}

TEST(MultiLangWalk, AnErrorWhileWritingEndsTheWalkAndKeepsWhatWasWritten)
{
    Window w;
    TMultiLang ml(&w.form);
    ml.SetWords({"Gumb1", "Gumb", "Button", "Polje1", "boom", "boom", "Oznaka1", "Oznaka", "Label"});
    int after = 0;
    ml.AfterLanguageChanged = [&](TMultiLang*, quint8) { ++after; };
    ml.SetActiveLanguage(1);
    EXPECT_EQ(w.button->text(), "Button");
    EXPECT_EQ(w.label->text(), "Oznaka");
    EXPECT_EQ(after, 1);
}

TEST(MultiLangSwitch, RefusedLanguageAndVetoChangeNothing)
{
    Window w;
    TMultiLang ml(&w.form);
    ml.SetWords(windowWords());
    Recorder recorder;
    ml.AskUser = recorder.seam();
    int after = 0;
    ml.AfterLanguageChanged = [&](TMultiLang*, quint8) { ++after; };

    ml.SetActiveLanguage(2);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].first, QMessageBox::Information);
    EXPECT_EQ(recorder.boxes[0].second, "Value must not be higher than\rnumber of available languages.");
    ml.SetDefaultLanguage(5);
    EXPECT_EQ(recorder.boxes.size(), 2u);
    EXPECT_EQ(ml.DefaultLanguage(), 0);
    EXPECT_EQ(ml.ActiveLanguage(), 0);
    EXPECT_EQ(after, 0);
    EXPECT_EQ(w.form.windowTitle(), "Obrazec");

    quint8 asked = 0;
    ml.BeforeLanguageChange = [&](TMultiLang*, quint8 language, bool& allowIt) {
        asked = language;
        allowIt = false;
    };
    ml.SetActiveLanguage(1);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ml.ActiveLanguage(), 0);
    EXPECT_EQ(w.open->text(), "&Odpri");
    EXPECT_EQ(after, 0);
}

TEST(MultiLangLanguages, GrowingAddsQuestionMarksAndShrinkingAsksFirst)
{
    QWidget owner;
    TMultiLang ml(&owner);
    Recorder recorder;
    ml.AskUser = recorder.seam();
    ml.SetWords({"@idA", "a0", "a1", "@idB", "b0", "b1"});

    ml.SetLanguages(3);
    EXPECT_EQ(ml.Languages(), 3);
    EXPECT_EQ(ml.Words(), (QStringList{"@idA", "a0", "a1", "?", "@idB", "b0", "b1", "?"}));
    EXPECT_TRUE(recorder.boxes.empty());

    ml.SetLanguages(1);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].second, "You have to provide at least 2 languages.");
    EXPECT_EQ(ml.Languages(), 3);

    recorder.answer = QMessageBox::No;
    ml.SetLanguages(2);
    ASSERT_EQ(recorder.boxes.size(), 2u);
    EXPECT_EQ(
        recorder.boxes[1].second,
        "You are decreasing the number of languages.\rEntries for the removed language will be lost.\r\r"
        "Continue?");
    EXPECT_EQ(ml.Languages(), 3);

    ml.SetActiveLanguage(2);
    ml.SetDefaultLanguage(2);
    int after = -1;
    ml.AfterLanguageChanged = [&](TMultiLang*, quint8 language) { after = language; };
    recorder.answer = QMessageBox::Yes;
    ml.BeforeLanguageChange = [](TMultiLang*, quint8, bool& allowIt) { allowIt = false; };
    ml.SetLanguages(2); // the switch to language 0 is vetoed: nothing is removed
    EXPECT_EQ(ml.Languages(), 3);
    EXPECT_EQ(ml.Words().size(), 8);
    ml.BeforeLanguageChange = nullptr;
    recorder.boxes.clear();
    ml.SetLanguages(2);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].second,
              "You are decreasing the number of languages.\rEntries for the removed language will be lost.\r"
              "The currently displayed language will be deleted, too.\r\rDo you really want to continue?");
    EXPECT_EQ(after, 0);
    EXPECT_EQ(ml.ActiveLanguage(), 0);
    EXPECT_EQ(ml.DefaultLanguage(), 0);
    EXPECT_EQ(ml.Languages(), 2);
    EXPECT_EQ(ml.Words(), (QStringList{"@idA", "a0", "a1", "@idB", "b0", "b1"}));
}

#include "multilang_test.moc"
