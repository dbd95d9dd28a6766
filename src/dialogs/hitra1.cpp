#include "dialogs/hitra1.h"

#include "lang/multilang.h"
#include "widgets/button3d.h"
#include "widgets/controltypes.h"
#include "widgets/radiogroup.h"
#include "widgets/wallpaper.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QValidator>

#include <limits>
#include <optional>

namespace {

constexpr int kNumericDigits = 5; // the port and buffer fields
constexpr int kTextLimit = 255;   // host, user name, password and directories

// Keeps only the digits of what is typed or pasted into a numeric field. An
// edit that would make the field longer than its limit is refused (a field
// filled from the settings with a longer number can still be shortened).
class TDigitsValidator : public QValidator {
public:
    TDigitsValidator(int maxDigits, QObject* parent) : QValidator(parent), m_maxDigits(maxDigits) {}

    State validate(QString& input, int& pos) const override
    {
        QString digits;
        int digitsBeforeCursor = 0;
        for (int i = 0; i < input.size(); ++i) {
            if (input[i] >= u'0' && input[i] <= u'9') {
                digits += input[i];
                if (i < pos)
                    ++digitsBeforeCursor;
            }
        }
        if (digits.size() > m_maxDigits)
            return Invalid;
        input = digits;
        pos = digitsBeforeCursor;
        return Acceptable;
    }

private:
    int m_maxDigits;
};

// A number in a field: digits only, within first..last; nullopt otherwise.
std::optional<int> FieldNumber(const QLineEdit* field, int first, int last)
{
    const QString text = field->text();
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int value = text.toInt();
    if (value < first || value > last)
        return std::nullopt;
    return value;
}

QLineEdit* NewTextField(const char* name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setMaxLength(kTextLimit);
    return field;
}

QLineEdit* NewNumberField(const char* name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setValidator(new TDigitsValidator(kNumericDigits, field));
    return field;
}

const QString kAnonymous = QStringLiteral("anonymous");

} // namespace

THitra1::THitra1(const TSettings& settings, bool connected, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_settings(settings),
      m_connected(connected)
{
    setObjectName(QStringLiteral("THitra1"));
    AskUser = ShowMessageBox(this);
    BuildControls();
    m_ml2 = new TMultiLang(this);
    m_ml2->setObjectName(QStringLiteral("ML2"));
    m_ml2->AskUser = [this](QMessageBox::Icon icon, const QString& text,
                            QMessageBox::StandardButtons buttons) {
        return AskUser(icon, QStringLiteral("Kvado"), text, buttons, QMessageBox::NoButton);
    };
    m_ml2->AfterLanguageChanged = [this](TMultiLang*, quint8) { NameFieldsAfterLabels(this); };
    m_ml2->LoadWords(QStringLiteral("ML2"));
    m_ml2->SetActiveLanguage(0);
    FormCreate();
    resize(QSize(549, 217).expandedTo(minimumSizeHint()));
    CentreOnScreen(this);
}

void THitra1::BuildControls()
{
    m_ozadje = FillWithWallpaper(this);

    m_vnosNaslov1 = NewTextField("VnosNaslov1", m_ozadje);
    m_vnosIme1 = NewTextField("VnosIme1", m_ozadje);
    m_vnosGeslo1 = NewTextField("VnosGeslo1", m_ozadje);
    m_vnosGeslo1->setEchoMode(QLineEdit::Password);
    m_vnosVrata1 = NewNumberField("VnosVrata1", m_ozadje);
    m_vnosBralPom1 = NewNumberField("VnosBralPom1", m_ozadje);
    m_vnosPisPom1 = NewNumberField("VnosPisPom1", m_ozadje);
    m_vnosFTPMapa1 = NewTextField("VnosFTPMapa1", m_ozadje);
    m_vnosLokMapa1 = NewTextField("VnosLokMapa1", m_ozadje);
    connect(m_vnosNaslov1, &QLineEdit::textEdited, this, [this] { ServerEdited(); });
    connect(m_vnosVrata1, &QLineEdit::textEdited, this, [this] { ServerEdited(); });

    // Labels above their fields; the word table gives their texts.
    auto* fields = new QGridLayout;
    fields->setVerticalSpacing(0);
    fields->setHorizontalSpacing(6);
    auto place = [&](int row, int column, int span, QLineEdit* field) {
        auto* label = new QLabel(m_ozadje);
        label->setObjectName(QStringLiteral("Label%1").arg(m_labels.size() + 1));
        label->setBuddy(field);
        m_labels.append(label);
        fields->addWidget(label, row, column, 1, span);
        fields->addWidget(field, row + 1, column, 1, span);
    };
    place(0, 0, 4, m_vnosNaslov1);
    place(2, 0, 3, m_vnosIme1);
    place(2, 3, 3, m_vnosGeslo1);
    place(0, 4, 2, m_vnosVrata1);
    place(4, 0, 3, m_vnosBralPom1);
    place(4, 3, 3, m_vnosPisPom1);
    place(6, 0, 3, m_vnosFTPMapa1);
    place(6, 3, 3, m_vnosLokMapa1);
    for (int column = 0; column < 6; ++column)
        fields->setColumnStretch(column, 1);

    m_tipPrenosa1 = new TRadioGroup(m_ozadje);
    m_tipPrenosa1->setObjectName(QStringLiteral("TipPrenosa1"));
    m_tipPrenosa1->SetColumns(2);
    m_tipPrenosa1->SetItems({QString(), QString(), QString(), QString()});
    m_tipPrijave1 = new TRadioGroup(m_ozadje);
    m_tipPrijave1->setObjectName(QStringLiteral("TipPrijave1"));
    m_tipPrijave1->SetColumns(2);
    m_tipPrijave1->SetItems({QString(), QString()});
    m_tipPrijave1->OnClick = [this](QObject*) { TipPrijave1Click(); };
    m_tipFTP1 = new QComboBox(m_ozadje);
    m_tipFTP1->setObjectName(QStringLiteral("TipFTP1"));
    m_tipFTP1->addItems({QString(), QString(), QString(), QString()});
    m_kodiranjeImen1 = new QComboBox(m_ozadje);
    m_kodiranjeImen1->setObjectName(QStringLiteral("KodiranjeImen1"));
    m_kodiranjeImen1->addItems({QString(), QString(), QString()});
    auto* encodingLabel = new QLabel(m_ozadje);
    encodingLabel->setObjectName(QStringLiteral("Label10"));
    encodingLabel->setBuddy(m_kodiranjeImen1);
    m_sifriranje1 = new QComboBox(m_ozadje);
    m_sifriranje1->setObjectName(QStringLiteral("Sifriranje1"));
    m_sifriranje1->addItems({QString(), QString(), QString(), QString()});
    PortFollowsEncryption(m_sifriranje1, m_vnosVrata1);
    auto* encryptionLabel = new QLabel(m_ozadje);
    encryptionLabel->setObjectName(QStringLiteral("Label11"));
    encryptionLabel->setBuddy(m_sifriranje1);
    m_pasivno1 = new QCheckBox(m_ozadje);
    m_pasivno1->setObjectName(QStringLiteral("Pasivno1"));
    auto* tipFTPLabel = new QLabel(m_ozadje);
    tipFTPLabel->setObjectName(QStringLiteral("Label9"));
    tipFTPLabel->setBuddy(m_tipFTP1);
    m_labels.append(tipFTPLabel);

    auto* choices = new QVBoxLayout;
    choices->setSpacing(2);
    choices->addWidget(m_tipPrenosa1);
    choices->addWidget(m_tipPrijave1);
    auto* hostType = new QHBoxLayout;
    hostType->addWidget(tipFTPLabel);
    hostType->addWidget(m_tipFTP1, 1);
    choices->addLayout(hostType);
    auto* encoding = new QHBoxLayout;
    encoding->addWidget(encodingLabel);
    encoding->addWidget(m_kodiranjeImen1, 1);
    choices->addLayout(encoding);
    auto* encryption = new QHBoxLayout;
    encryption->addWidget(encryptionLabel);
    encryption->addWidget(m_sifriranje1, 1);
    choices->addLayout(encryption);
    choices->addStretch(1);

    m_povezi1 = new TButton3D(m_ozadje);
    m_povezi1->setObjectName(QStringLiteral("Povezi1"));
    m_povezi1->setDefault(true);
    m_button3D1 = new TButton3D(m_ozadje);
    m_button3D1->setObjectName(QStringLiteral("Button3D1"));
    m_priporNastavitve = new TButton3D(m_ozadje);
    m_priporNastavitve->setObjectName(QStringLiteral("PriporNastavitve"));
    connect(m_povezi1, &QPushButton::clicked, this, [this] { Povezi1Click(); });
    connect(m_button3D1, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_priporNastavitve, &QPushButton::clicked, this, [this] { PriporNastavitveClick(); });

    for (TButton3D* button : {m_povezi1, m_button3D1, m_priporNastavitve})
        button->setFixedHeight(25);
    auto* recommended = new QHBoxLayout;
    recommended->addWidget(m_priporNastavitve);
    recommended->addSpacing(12);
    recommended->addWidget(m_pasivno1);
    recommended->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_povezi1);
    buttons->addWidget(m_button3D1);

    auto* grid = new QGridLayout(m_ozadje);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    grid->addLayout(fields, 0, 0);
    grid->addLayout(choices, 0, 1);
    grid->addLayout(recommended, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);

    const QList<QWidget*> tabOrder{
        m_vnosNaslov1,  m_vnosVrata1,   m_vnosIme1,    m_vnosGeslo1,  m_vnosBralPom1,    m_vnosPisPom1,
        m_vnosFTPMapa1, m_vnosLokMapa1, m_tipPrenosa1, m_tipPrijave1, m_tipFTP1,         m_kodiranjeImen1,
        m_sifriranje1,  m_pasivno1,     m_povezi1,     m_button3D1,   m_priporNastavitve};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void THitra1::FormCreate()
{
    if (m_settings.Ozadje)
        m_ozadje->SetWallpaper(GifPicture(QStringLiteral("SLIKA2")));
    m_tipFTP1->setCurrentIndex(0);
    if (m_settings.Jezik == 1 || m_settings.Jezik == 2)
        m_ml2->SetActiveLanguage(m_settings.Jezik - 1);

    if (m_settings.TipPri == 1) {
        m_vnosIme1->setText(m_settings.ZUporIme);
        m_vnosGeslo1->setText(m_settings.ZUporGeslo);
        m_tipPrijave1->SetItemIndex(1);
    } else {
        m_tipPrijave1->SetItemIndex(0);
        m_vnosIme1->setText(kAnonymous);
        m_vnosGeslo1->setText(m_settings.PrivGeslo);
    }
    m_vnosFTPMapa1->setText(m_settings.FTPMapa);
    m_vnosLokMapa1->setText(m_settings.LokMapa);
    // A transfer type the store should not hold shows as automatic.
    m_tipPrenosa1->SetItemIndex(m_settings.TipPre <= 3 ? m_settings.TipPre : 0);
    m_pasivno1->setChecked(m_settings.PodatkovnaPovezava == 1);
    m_kodiranjeImen1->setCurrentIndex(m_settings.KodiranjeImen <= 2 ? m_settings.KodiranjeImen : 0);
    m_sifriranje1->setCurrentIndex(m_settings.Sifriranje <= 3 ? m_settings.Sifriranje : 0);

    if (!m_settings.ZNaslov.isEmpty())
        m_vnosNaslov1->setText(m_settings.ZNaslov);
    if (!m_settings.ZVrata.isEmpty())
        m_vnosVrata1->setText(m_settings.ZVrata);
    if (m_settings.Pisanje != 0)
        m_vnosPisPom1->setText(QString::number(m_settings.Pisanje));
    if (m_settings.Branje != 0)
        m_vnosBralPom1->setText(QString::number(m_settings.Branje));
    m_vnosNaslov1->setFocus();
}

void THitra1::TipPrijave1Click()
{
    if (m_tipPrijave1->ItemIndex() == 0) {
        m_vnosIme1->setText(kAnonymous);
        m_vnosGeslo1->setText(m_settings.PrivGeslo);
    } else {
        if (!m_settings.ZUporIme.isEmpty())
            m_vnosIme1->setText(m_settings.ZUporIme);
        m_vnosGeslo1->setText(RememberedServer() ? m_settings.ZUporGeslo : QString());
    }
}

bool THitra1::RememberedServer() const
{
    return m_vnosNaslov1->text().trimmed().compare(m_settings.ZNaslov.trimmed(), Qt::CaseInsensitive) == 0 &&
           m_vnosVrata1->text().trimmed() == m_settings.ZVrata.trimmed();
}

void THitra1::ServerEdited()
{
    // The remembered password belongs to its server: typing another host or port takes it out of the
    // field, going back brings it again.
    if (m_tipPrijave1->ItemIndex() != 1 || m_settings.ZUporGeslo.isEmpty())
        return;
    if (!RememberedServer() && m_vnosGeslo1->text() == m_settings.ZUporGeslo)
        m_vnosGeslo1->clear();
    else if (RememberedServer() && m_vnosGeslo1->text().isEmpty())
        m_vnosGeslo1->setText(m_settings.ZUporGeslo);
}

void THitra1::PriporNastavitveClick()
{
    if (AskUser(QMessageBox::Question, m_ml2->GetWord(QStringLiteral("@idPriNast")),
                m_ml2->GetWord(QStringLiteral("@idPriNast?")), QMessageBox::Yes | QMessageBox::No,
                QMessageBox::NoButton) != QMessageBox::Yes)
        return;
    m_vnosVrata1->setText(DefaultPort(m_sifriranje1->currentIndex()));
    m_vnosBralPom1->setText(QStringLiteral("4096"));
    m_vnosPisPom1->setText(QStringLiteral("4096"));
    m_tipPrenosa1->SetItemIndex(0);
    m_tipFTP1->setCurrentIndex(0);
    m_tipPrijave1->SetItemIndex(0);
    TipPrijave1Click();
    m_vnosFTPMapa1->setText(QStringLiteral("/"));
}

bool THitra1::Refuse(const QString& message, QLineEdit* field)
{
    AskUser(QMessageBox::NoIcon, QStringLiteral("Kvado"), message, QMessageBox::Ok, QMessageBox::Ok);
    field->setFocus();
    field->selectAll();
    return false;
}

void THitra1::Povezi1Click()
{
    if (m_vnosNaslov1->text().trimmed().isEmpty()) {
        Refuse(m_ml2->GetWord(QStringLiteral("@idVnesiNaslov")), m_vnosNaslov1);
        return;
    }
    if (!FieldNumber(m_vnosVrata1, 1, 65535)) {
        Refuse(m_ml2->GetWord(QStringLiteral("@idVnesiVrata")), m_vnosVrata1);
        return;
    }
    for (QLineEdit* buffer : {m_vnosBralPom1, m_vnosPisPom1}) {
        if (!FieldNumber(buffer, 1, std::numeric_limits<int>::max())) {
            Refuse(m_ml2->GetWord(QStringLiteral("@idVnesiPomnilnik")), buffer);
            return;
        }
    }
    if (m_connected) {
        if (AskUser(QMessageBox::Question, QStringLiteral("Kvado"),
                    m_ml2->GetWord(QStringLiteral("@idPrekPov")), QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::No) != QMessageBox::Yes) {
            reject();
            return;
        }
        m_disconnectFirst = true;
    }
    accept();
}

void THitra1::ApplyTo(TSettings& settings) const
{
    settings.ZNaslov = m_vnosNaslov1->text().trimmed();
    if (m_tipPrijave1->ItemIndex() == 1) {
        if (m_vnosIme1->text().compare(kAnonymous, Qt::CaseInsensitive) != 0)
            settings.ZUporIme = m_vnosIme1->text();
        if (m_vnosGeslo1->text().compare(m_settings.PrivGeslo, Qt::CaseInsensitive) != 0)
            settings.ZUporGeslo = m_vnosGeslo1->text();
    }
    settings.ZVrata = m_vnosVrata1->text();
    if (const auto send = FieldNumber(m_vnosPisPom1, 1, std::numeric_limits<int>::max()))
        settings.Pisanje = *send;
    if (const auto receive = FieldNumber(m_vnosBralPom1, 1, std::numeric_limits<int>::max()))
        settings.Branje = *receive;
    settings.FTPMapa = m_vnosFTPMapa1->text();
    settings.LokMapa = m_vnosLokMapa1->text();
    if (m_tipPrenosa1->ItemIndex() >= 0)
        settings.TipPre = quint8(m_tipPrenosa1->ItemIndex());
    if (m_tipPrijave1->ItemIndex() >= 0)
        settings.TipPri = quint8(m_tipPrijave1->ItemIndex());
    settings.PodatkovnaPovezava = m_pasivno1->isChecked() ? 1 : 0;
    settings.KodiranjeImen = quint8(qMax(0, m_kodiranjeImen1->currentIndex()));
    settings.Sifriranje = quint8(qMax(0, m_sifriranje1->currentIndex()));
}

quint8 THitra1::ServerKind() const
{
    return quint8(qMax(0, m_tipFTP1->currentIndex()));
}

QString THitra1::Word(const QString& key) const
{
    return m_ml2->GetWord(key);
}
