#include "dialogs/oknomoznosti.h"

#include "dialogs/sistemobrazecjezik.h"
#include "lang/multilang.h"
#include "sites/eventsounds.h"
#include "sites/programpaths.h"
#include "widgets/button3d.h"
#include "widgets/radiogroup.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kMaxTimeOut = 9999;    // four digits
constexpr int kSuggestedPrenosi = 2; // offered when background transfers are turned on; kind to busy servers

template <typename T> T* named(T* widget, const char* name, const QString& accessible)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessible);
    return widget;
}

TButton3D* button(QWidget* parent, const char* name, const QString& caption, const QString& accessible)
{
    auto* b = named(new TButton3D(parent), name, accessible);
    b->SetCaption(caption);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QWidget* buddy)
{
    auto* l = named(new QLabel(text, parent), name, QString(text).remove('&'));
    l->setBuddy(buddy);
    return l;
}

} // namespace

TOknoMoznosti::TOknoMoznosti(const TSettings& settings, const QFont& paneFont, bool logOpen,
                             const QString& openLogName, QWidget* parent)
    : QDialog(parent), Sounds(&TEventSounds::Shared()), m_settings(settings), m_font(paneFont),
      m_logOpen(logOpen), m_openLogName(openLogName)
{
    setObjectName("OknoMoznosti");
    setWindowTitle("Možnosti");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    AskUser = ShowMessageBox(this);

    PageControl1 = named(new QTabWidget(this), "PageControl1", "Možnosti");
    PageControl1->addTab(buildClientTab(), "FTP Odjemalec");
    PageControl1->addTab(buildDisplayTab(), "Zaslon");
    PageControl1->addTab(buildSoundTab(), "Zvoki");
    OKBtn = button(this, "OKBtn", "V redu", "V redu");
    OKBtn->setDefault(true);
    CancelBtn = button(this, "CancelBtn", "Prekliči", "Prekliči");
    HelpBtn = button(this, "HelpBtn", "Pomoč", "Pomoč");
    HelpBtn->hide();
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        if (OKBtnClick())
            accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    buttons->addWidget(HelpBtn);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(8, 8, 8, 8);
    all->addWidget(PageControl1, 1);
    all->addLayout(buttons);
    buildDialogs();
    setMinimumSize(427, 334);

    m_ml6 = new TMultiLang(this);
    m_ml6->setObjectName("ML6");
    m_ml6->LoadWords("ML6");
    m_ml6->AfterLanguageChanged = [this](TMultiLang*, quint8) { ML6AfterLanguageChanged(); };
    m_ml6->SetActiveLanguage(0);
    fill();
    resize(QSize(427, 334).expandedTo(minimumSizeHint()));
    CentreOnScreen(this);
}

QWidget* TOknoMoznosti::buildClientTab()
{
    auto* page = named(new QWidget, "TabSheet1", "FTP Odjemalec");
    MozGeslo1 = named(new QLineEdit(page), "MozGeslo1", "Privzeto geslo za anonymous dostop");
    MozPovStop = named(new QLineEdit(page), "MozPovStop", "Čas za povezavo s FTP strežnikom");
    MozPovStop->setMaxLength(4);
    MozPovStop->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), MozPovStop));
    MozPovStop->setMaximumWidth(80);
    IzberiJezik = named(new QComboBox(page), "IzberiJezik", "Jezik / Language");
    IzberiJezik->addItems({"Slovenščina", "English"});
    DnevnikDANE = named(new QCheckBox(page), "DnevnikDANE", "Vodenje dnevnika v datoteko");
    DnevnikDANE->setToolTip("Vodenje dnevnika v datoteko");
    // toggled, not clicked: a change made by the keyboard or an accessibility tool counts too.
    connect(DnevnikDANE, &QCheckBox::toggled, this, [this] { DnevnikDANEClick(); });
    DnevnikDat = named(new QLineEdit(page), "DnevnikDat", "Datoteka za vodenje dnevnika");
    Button1 = button(page, "Button1", "<", "Izberi datoteko za dnevnik");
    Button1->setFixedWidth(28);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    MozShraniNast = named(new QCheckBox("Ob izhodu shrani nastavitve", page), "MozShraniNast",
                          "Ob izhodu shrani nastavitve");
    MozPrikaziNam = named(new QCheckBox("Prikaži namige", page), "MozPrikaziNam", "Prikaži namige");
    PrenosiVOzadju = named(new QCheckBox("Prenosi v &ozadju", page), "PrenosiVOzadju", "Prenosi v ozadju");
    connect(PrenosiVOzadju, &QCheckBox::toggled, this, [this] { PrenosiVOzadjuClick(); });
    PrenosiPovezav = named(new QSpinBox(page), "PrenosiPovezav", "Število povezav"); // as its label
    PrenosiPovezav->setRange(1, kMaxPrenosi);
    Obvestila = named(new QCheckBox("Obvesti namizje o končanih &prenosih", page), "Obvestila",
                      "Obvesti namizje o končanih prenosih");

    auto* grid = new QGridLayout(page);
    grid->addWidget(label(page, "OznakaMozGeslo1", "P&rivzeto geslo za anonymous dostop", MozGeslo1), 0, 0, 1,
                    3);
    grid->addWidget(MozGeslo1, 1, 0, 1, 3);
    grid->addWidget(label(page, "OznakaMozPovStop", "Č&as za povezavo s FTP strežnikom", MozPovStop), 2, 0, 1,
                    2);
    grid->addWidget(MozPovStop, 2, 2);
    grid->addWidget(label(page, "OznakaIzberiJezik", "&Jezik / Language", IzberiJezik), 3, 0, 1, 2);
    grid->addWidget(IzberiJezik, 3, 2);
    grid->addWidget(label(page, "OznakaDnevnikDat", "&Datoteka za vodenje dnevnika", DnevnikDat), 4, 0, 1, 3);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(DnevnikDANE);
    logRow->addWidget(DnevnikDat, 1);
    logRow->addWidget(Button1);
    grid->addLayout(logRow, 5, 0, 1, 3);
    grid->addWidget(MozShraniNast, 6, 0, 1, 3);
    grid->addWidget(MozPrikaziNam, 7, 0, 1, 3);
    // Said once, here: without the desktop's keyring saved passwords stay in the files.
    BrezShrambe = named(
        new QLabel("Namizje nima shrambe gesel: shranjena gesla so v datotekah Naslovi.kvs in Kvado.ini.",
                   page),
        "BrezShrambe", "Brez shrambe gesel");
    BrezShrambe->setWordWrap(true);
    BrezShrambe->hide();
    grid->addWidget(BrezShrambe, 9, 0, 1, 3);
    auto* transfersRow = new QHBoxLayout;
    transfersRow->addWidget(PrenosiVOzadju);
    transfersRow->addStretch(1);
    transfersRow->addWidget(label(page, "OznakaPrenosiPovezav", "Število &povezav", PrenosiPovezav));
    transfersRow->addWidget(PrenosiPovezav);
    grid->addLayout(transfersRow, 8, 0, 1, 3);
    grid->addWidget(Obvestila, 9, 0, 1, 3);
    grid->setRowStretch(10, 1);
    grid->setColumnStretch(1, 1);
    return page;
}

QWidget* TOknoMoznosti::buildDisplayTab()
{
    auto* page = named(new QWidget, "TabSheet2", "Zaslon");
    auto* fontBox = named(new QGroupBox(" Pisava ", page), "GroupBox2", "Pisava");
    KvadoTest = named(new QLabel("Kvado", fontBox), "KvadoTest", "Kvado");
    KvadoTest->setAlignment(Qt::AlignCenter);
    KvadoTest->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    KvadoTest->setMinimumHeight(44);
    MozIzberiPis1 = button(fontBox, "MozIzberiPis1", "Izberi pisavo", "Izberi pisavo");
    connect(MozIzberiPis1, &QPushButton::clicked, this, [this] { MozIzberiPis1Click(); });
    auto* fontLayout = new QHBoxLayout(fontBox);
    fontLayout->addWidget(KvadoTest, 1);
    fontLayout->addWidget(MozIzberiPis1);

    auto* colourBox = named(new QGroupBox(" Barve ", page), "GroupBox1", "Barve");
    colourBox->setToolTip("Pritisni na polje barve, ki jo želiš spremeniti");
    auto* sheet = new QFrame(colourBox);
    sheet->setAutoFillBackground(true);
    QPalette white = sheet->palette();
    white.setColor(QPalette::Window, Qt::white);
    sheet->setPalette(white);
    sheet->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* sheetLayout = new QVBoxLayout(sheet);
    const char* names[] = {"FTPUkaz", "FTPStanje", "FTPNormal"};
    const QString texts[] = {"Kvado ukaz: RETR Kvado.RAR", "Kvado stanje: Prikazujem mapo...",
                             "200 Transfer complete"};
    for (int i = 0; i < 3; ++i) {
        m_lines[i] = named(new QLabel(texts[i], sheet), names[i], texts[i]);
        QFont bold = m_lines[i]->font();
        bold.setBold(true);
        m_lines[i]->setFont(bold);
        m_lines[i]->setCursor(Qt::PointingHandCursor);
        m_lines[i]->installEventFilter(this);
        sheetLayout->addWidget(m_lines[i]);
    }
    auto* colourLayout = new QVBoxLayout(colourBox);
    colourLayout->addWidget(sheet);

    MozOzadje1 = named(new QCheckBox("Dodaj obrazcem ozadje", page), "MozOzadje1", "Dodaj obrazcem ozadje");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(fontBox);
    layout->addWidget(colourBox);
    layout->addWidget(MozOzadje1);
    layout->addStretch(1);
    return page;
}

QWidget* TOknoMoznosti::buildSoundTab()
{
    auto* page = named(new QWidget, "TabSheet3", "Zvoki");
    RadioGroup1 = named(new TRadioGroup(page), "RadioGroup1", "Zvoki");
    RadioGroup1->SetColumns(3);
    RadioGroup1->SetItems({"Brez zvokov", "Pisk", "Z zvoki"});
    RadioGroup1->OnClick = [this](QObject*) { RadioGroup1Click(); };

    auto* box = named(new QGroupBox(" Določi zvoke ", page), "GroupBox3", "Določi zvoke");
    IzberiZDogodek = named(new QComboBox(box), "IzberiZDogodek", "Ob dogodku");
    IzberiZDogodek->addItems({"Povezava vzpostavljena", "Prikaz FTP mape / Prenos s FTP"});
    IzberiZDogodek->setToolTip("Izberi dogodek in z njim povezano zvočno datoteko");
    ImeZDatoteke = named(new QLineEdit(box), "ImeZDatoteke", "zaigraj");
    IzberiZDatoteko = button(box, "IzberiZDatoteko", "<", "Izberi zvočno datoteko");
    IzberiZDatoteko->setFixedWidth(28);
    IzberiZDatoteko->setToolTip("Izberi zvočno datoteko");
    connect(IzberiZDatoteko, &QPushButton::clicked, this, [this] { IzberiZDatotekoClick(); });
    ZTestGumb = button(box, "ZTestGumb", "Test", "Test");
    ZTestGumb->setToolTip("Zaigraj zvočno datoteko");
    connect(ZTestGumb, &QPushButton::clicked, this, [this] { ZTestGumbClick(); });

    auto* grid = new QGridLayout(box);
    grid->addWidget(label(box, "OznakaDogodek", "Ob dogodku", IzberiZDogodek), 0, 0);
    grid->addWidget(IzberiZDogodek, 0, 1, 1, 2);
    grid->addWidget(label(box, "OznakaZaigraj", "zaigraj", ImeZDatoteke), 1, 0);
    grid->addWidget(ImeZDatoteke, 1, 1);
    grid->addWidget(IzberiZDatoteko, 1, 2);
    grid->addWidget(ZTestGumb, 2, 1, 1, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(RadioGroup1);
    layout->addWidget(box);
    layout->addStretch(1);
    return page;
}

void TOknoMoznosti::buildDialogs()
{
    m_fontDialog = named(new QFontDialog(this), "MozPisDialog1", "Pisava");
    m_fontDialog->setOption(QFontDialog::DontUseNativeDialog);
    if (auto* box = m_fontDialog->findChild<QDialogButtonBox*>()) {
        m_applyButton = box->addButton(QDialogButtonBox::Apply);
        connect(m_applyButton, &QPushButton::clicked, this, [this] { MozPisDialog1Apply(); });
    }
    m_colourDialog = named(new QColorDialog(this), "BarveDialog1", "Barve");
    m_colourDialog->setOption(QColorDialog::DontUseNativeDialog);
    // Both file dialogs are Qt's own, owned here, so the word table sets their titles and filters.
    m_wavDialog = named(new QFileDialog(this), "OdpriDialogWav", "OdpriDialogWav");
    m_logDialog = named(new QFileDialog(this), "OdpriDialogLog", "OdpriDialogLog");
    for (QFileDialog* dialog : {m_wavDialog, m_logDialog}) {
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
    }
    m_wavDialog->setFileMode(QFileDialog::ExistingFile);
    m_wavDialog->setDefaultSuffix("wav");
    m_logDialog->setDefaultSuffix("kvl");
}

void TOknoMoznosti::fill()
{
    if (IsChosenLanguage(m_settings.Jezik))
        m_ml6->SetActiveLanguage(m_settings.Jezik - 1);
    DnevnikDANE->setChecked(m_settings.DANE);
    DnevnikDANEClick();
    MozOzadje1->setChecked(m_settings.Ozadje);
    RadioGroup1->SetItemIndex(m_settings.Zvok <= 2 ? m_settings.Zvok : 0);
    RadioGroup1Click();
    MozGeslo1->setText(m_settings.PrivGeslo);
    applyFont(m_font);
    DnevnikDat->setText(m_settings.Dnevnik);
    MozPovStop->setText(QString::number(m_settings.TimeOut));
    m_colours = {m_settings.Barve.Ukaz, m_settings.Barve.Stanje, m_settings.Barve.Normal};
    showColours();
    MozShraniNast->setChecked(m_settings.ShrNast);
    MozPrikaziNam->setChecked(m_settings.PrikNam);
    Obvestila->setChecked(m_settings.Obvestila);
    PrenosiVOzadju->setChecked(m_settings.Prenosi > 0);
    PrenosiPovezav->setValue(m_settings.Prenosi > 0 ? m_settings.Prenosi : kSuggestedPrenosi);
    PrenosiVOzadjuClick();
    m_sounds = {m_settings.Zvoki.value(0), m_settings.Zvoki.value(1)};
    ImeZDatoteke->setText(m_sounds[0]);
    m_shownEvent = 0;
    IzberiJezik->setCurrentIndex(ShownLanguage(m_settings.Jezik));
    IzberiZDogodek->setCurrentIndex(0);
    // Connected after filling, so that only the user's changes preview a language.
    connect(IzberiJezik, &QComboBox::currentIndexChanged, this,
            [this](int index) { IzberiJezikChange(index); });
    connect(IzberiZDogodek, &QComboBox::currentIndexChanged, this,
            [this](int index) { IzberiZDogodekChange(index); });
}

TLogFileAction TOknoMoznosti::DecideLogFile(bool logOpen, const QString& openLogName, bool dane,
                                            const QString& fileName)
{
    if (logOpen && !dane)
        return TLogFileAction::lfaClose;
    if (logOpen && fileName != openLogName)
        return TLogFileAction::lfaReopen;
    if (!logOpen && dane)
        return TLogFileAction::lfaOpen;
    return TLogFileAction::lfaKeep;
}

bool TOknoMoznosti::OKBtnClick()
{
    bool ok = false;
    const int timeOut = MozPovStop->text().toInt(&ok);
    if (!ok || timeOut < 0 || timeOut > kMaxTimeOut) {
        AskUser(QMessageBox::Warning, m_ml6->GetWord("@idOpo"), m_ml6->GetWord("@idCas"), QMessageBox::Ok,
                QMessageBox::Ok);
        PageControl1->setCurrentIndex(0);
        MozPovStop->setFocus();
        MozPovStop->selectAll();
        return false;
    }
    m_settings.DANE = DnevnikDANE->isChecked();
    m_settings.Dnevnik = DnevnikDat->text();
    m_logAction = DecideLogFile(m_logOpen, m_openLogName, m_settings.DANE, m_settings.Dnevnik);
    m_settings.Jezik = quint8(qBound(0, IzberiJezik->currentIndex(), 1) + 1);
    m_settings.Zvok = quint8(qMax(0, RadioGroup1->ItemIndex()));
    m_sounds[m_shownEvent] = ImeZDatoteke->text();
    m_settings.Zvoki = m_sounds;
    m_settings.PrivGeslo = MozGeslo1->text();
    m_settings.Barve = {m_colours[0], m_colours[1], m_colours[2]};
    m_settings.ShrNast = MozShraniNast->isChecked();
    m_settings.PrikNam = MozPrikaziNam->isChecked();
    m_settings.TimeOut = timeOut;
    m_settings.Ozadje = MozOzadje1->isChecked();
    m_settings.Prenosi = quint8(PrenosiVOzadju->isChecked() ? PrenosiPovezav->value() : 0);
    m_settings.Obvestila = Obvestila->isChecked();
    return true;
}

void TOknoMoznosti::MozIzberiPis1Click()
{
    m_fontDialog->setCurrentFont(m_font);
    if (m_fontDialog->exec() == QDialog::Accepted)
        applyFont(m_fontDialog->currentFont());
}

void TOknoMoznosti::MozPisDialog1Apply()
{
    applyFont(m_fontDialog->currentFont());
}

void TOknoMoznosti::applyFont(const QFont& font)
{
    const bool changed = font != m_font;
    m_font = font;
    KvadoTest->setFont(font);
    QPalette palette = KvadoTest->palette();
    palette.setColor(QPalette::WindowText, FromWinColor(TColor(m_settings.Pisava.Barva)));
    KvadoTest->setPalette(palette);
    if (changed && OnFontApply)
        OnFontApply(this, font);
}

void TOknoMoznosti::chooseColour(int line)
{
    m_colourDialog->setCurrentColor(FromWinColor(m_colours[line]));
    if (m_colourDialog->exec() != QDialog::Accepted)
        return;
    m_colours[line] = ToWinColor(m_colourDialog->currentColor());
    showColours();
}

void TOknoMoznosti::showColours()
{
    for (int i = 0; i < 3; ++i) {
        QPalette palette = m_lines[i]->palette();
        palette.setColor(QPalette::WindowText, FromWinColor(m_colours[i]));
        m_lines[i]->setPalette(palette);
    }
}

bool TOknoMoznosti::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < 3; ++i)
            if (watched == m_lines[i]) {
                chooseColour(i);
                return true;
            }
    }
    return QDialog::eventFilter(watched, event);
}

void TOknoMoznosti::RadioGroup1Click()
{
    const int mode = RadioGroup1->ItemIndex();
    for (QWidget* control : {static_cast<QWidget*>(IzberiZDogodek), static_cast<QWidget*>(ImeZDatoteke),
                             static_cast<QWidget*>(IzberiZDatoteko)})
        control->setEnabled(mode == 2);
    ZTestGumb->setEnabled(mode == 1 || mode == 2);
}

void TOknoMoznosti::IzberiZDogodekChange(int index)
{
    if (index < 0 || index > 1 || index == m_shownEvent)
        return;
    m_sounds[m_shownEvent] = ImeZDatoteke->text();
    m_shownEvent = index;
    ImeZDatoteke->setText(m_sounds[index]);
}

void TOknoMoznosti::IzberiZDatotekoClick()
{
    m_wavDialog->setWindowTitle(m_ml6->GetWord("@idIzb") + IzberiZDogodek->currentText() + '"');
    m_wavDialog->setDirectory(ProgramDirectory());
    m_wavDialog->selectFile(ImeZDatoteke->text());
    if (m_wavDialog->exec() == QDialog::Accepted && !m_wavDialog->selectedFiles().isEmpty())
        ImeZDatoteke->setText(m_wavDialog->selectedFiles().constFirst());
}

void TOknoMoznosti::ZTestGumbClick()
{
    const int mode = RadioGroup1->ItemIndex();
    if (mode == 1)
        Sounds->Beep();
    else if (mode == 2)
        Sounds->PlayFile(ImeZDatoteke->text());
}

void TOknoMoznosti::IzberiJezikChange(int index)
{
    if (index >= 0 && index < m_ml6->Languages())
        m_ml6->SetActiveLanguage(quint8(index));
}

// A language preview keeps what was typed: only the texts of the table change.
void TOknoMoznosti::ML6AfterLanguageChanged()
{
    if (m_applyButton)
        m_applyButton->setText(m_ml6->GetWord("@idUporabi"));
}

void TOknoMoznosti::Button1Click()
{
    m_logDialog->setDirectory(ProgramDirectory() + "/");
    m_logDialog->selectFile(DnevnikDat->text());
    if (m_logDialog->exec() == QDialog::Accepted && !m_logDialog->selectedFiles().isEmpty())
        DnevnikDat->setText(m_logDialog->selectedFiles().constFirst());
}

void TOknoMoznosti::DnevnikDANEClick()
{
    DnevnikDat->setEnabled(DnevnikDANE->isChecked());
    Button1->setEnabled(DnevnikDANE->isChecked());
}

void TOknoMoznosti::PrenosiVOzadjuClick()
{
    PrenosiPovezav->setEnabled(PrenosiVOzadju->isChecked());
    findChild<QLabel*>("OznakaPrenosiPovezav")->setEnabled(PrenosiVOzadju->isChecked());
}

void TOknoMoznosti::SetNoKeyring(bool noKeyring)
{
    BrezShrambe->setVisible(noKeyring);
}
