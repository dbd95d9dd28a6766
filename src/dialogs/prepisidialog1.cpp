#include "dialogs/prepisidialog1.h"

#include "dialogs/hitra1shared.h"
#include "lang/multilang.h"

#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QSize kDescribedSize(354, 121);
constexpr int kNameWidth = 420; // longer names are elided in the middle; the hint shows them whole
constexpr int kForAllRow = 1;   // the buttons' grid: row 0 described, row 1 for the rest of the job

QLabel* namedLabel(QWidget* parent, const char* name,
                   Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText); // a name from a server is never markup
    label->setAlignment(alignment);
    return label;
}

// A date is unknown when it is invalid or not after the epoch (a "0" that stood for nothing).
bool knownDate(const QDateTime& date)
{
    return date.isValid() && date.toSecsSinceEpoch() > 0;
}

} // namespace

TPrepisiDialog1::TPrepisiDialog1(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TPrepisiDialog1"));
    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setWordWrap(true);
    m_label1->setAlignment(Qt::AlignCenter);

    m_buttons = new QGridLayout;
    m_buttons->setSpacing(4);
    const std::pair<const char*, TResult> buttons[2][4] = {
        {{"PreNadalj1", prNadaljuj},
         {"PrePreimenuj", prPreimenuj},
         {"PrePrepisi1", prPrepisi},
         {"PrePrekini1", prPrekini}},
        {{"PreNadaljujVse", prNadaljujVse},
         {"PrePrepisiNovejse", prPrepisiNovejse},
         {"PrePrepisiVse", prPrepisiVse},
         {"PrePreskociVse", prPreskociVse}},
    };
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 4; ++column) {
            QPushButton* button = AddButton(buttons[row][column].first, buttons[row][column].second);
            button->setHidden(row == kForAllRow);
            m_buttons->addWidget(button, row, column);
            m_buttons->setColumnStretch(column, 1);
        }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_label1, 1);
    layout->addWidget(BuildDetails());
    layout->addLayout(m_buttons);

    m_ml7 = new TMultiLang(this);
    m_ml7->setObjectName(QStringLiteral("ML7"));
    m_ml7->AfterLanguageChanged = [this](TMultiLang*, quint8) {
        m_label1->setText(m_ml7->GetWord(QStringLiteral("@idObs")));
        ShowPodatki();
    };
    m_ml7->LoadWords(QStringLiteral("ML7"));
    m_ml7->SetActiveLanguage(0);

    FitSize();
}

QWidget* TPrepisiDialog1::BuildDetails()
{
    m_details = new QWidget(this);
    m_details->setObjectName(QStringLiteral("Podatki"));
    m_details->hide();
    auto* grid = new QGridLayout(m_details);
    grid->setContentsMargins(0, 4, 0, 8);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    m_name = namedLabel(m_details, "ImeDatoteke");
    grid->addWidget(namedLabel(m_details, "OznakaDatoteka"), 0, 0);
    grid->addWidget(m_name, 0, 1, 1, 2);
    grid->addWidget(namedLabel(m_details, "OznakaVelikost", Qt::AlignRight | Qt::AlignVCenter), 1, 1);
    grid->addWidget(namedLabel(m_details, "OznakaSpremenjena"), 1, 2);
    const char* sides[2][3] = {{"OznakaIzvor", "VelikostIzvora", "DatumIzvora"},
                               {"OznakaCilj", "VelikostCilja", "DatumCilja"}};
    for (int side = 0; side < 2; ++side) {
        grid->addWidget(namedLabel(m_details, sides[side][0]), side + 2, 0);
        m_sizes[side] = namedLabel(m_details, sides[side][1], Qt::AlignRight | Qt::AlignVCenter);
        m_dates[side] = namedLabel(m_details, sides[side][2]);
        grid->addWidget(m_sizes[side], side + 2, 1);
        grid->addWidget(m_dates[side], side + 2, 2);
    }
    for (QLabel* heading : {m_details->findChild<QLabel*>("OznakaVelikost"),
                            m_details->findChild<QLabel*>("OznakaSpremenjena")}) {
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
    }
    grid->setColumnStretch(2, 1);
    return m_details;
}

QPushButton* TPrepisiDialog1::AddButton(const char* name, TResult result)
{
    auto* button = new QPushButton(this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    return button;
}

void TPrepisiDialog1::SetLanguage(int language)
{
    if (language == 0 || language == 1) {
        m_ml7->SetActiveLanguage(quint8(language));
        FitSize();
    }
}

void TPrepisiDialog1::SetPodatki(const TPrepisiPodatki& data)
{
    m_data = data;
    m_hasData = true;
    ShowPodatki();
    FitSize();
}

void TPrepisiDialog1::ClearPodatki()
{
    m_data = TPrepisiPodatki();
    m_hasData = false;
    ShowPodatki();
    FitSize();
}

void TPrepisiDialog1::ShowPodatki()
{
    m_details->setVisible(m_hasData);
    for (int column = 0; column < 4; ++column)
        m_buttons->itemAtPosition(kForAllRow, column)->widget()->setVisible(m_hasData && m_data.several);
    if (!m_hasData)
        return;
    const QLocale locale;
    const QString unknown = m_ml7->GetWord(QStringLiteral("@idNeznano"));
    QString name = m_data.name; // one line whatever the name holds
    for (QChar& c : name)
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    m_name->setText(m_name->fontMetrics().elidedText(name, Qt::ElideMiddle, kNameWidth));
    m_name->setToolTip(m_data.name);
    const qint64 sizes[2] = {m_data.sourceSize, m_data.targetSize};
    const QDateTime* dates[2] = {&m_data.sourceModified, &m_data.targetModified};
    for (int side = 0; side < 2; ++side) {
        m_sizes[side]->setText(sizes[side] < 0 ? unknown
                                               : locale.toString(sizes[side]) + QStringLiteral(" B"));
        m_dates[side]->setText(knownDate(*dates[side])
                                   ? locale.toString(dates[side]->toLocalTime(), QLocale::ShortFormat)
                                   : unknown);
    }
}

// The described size, grown to what the texts and details need; buttons of one width.
void TPrepisiDialog1::FitSize()
{
    int width = 0;
    for (int i = 0; i < m_buttons->count(); ++i) {
        QWidget* button = m_buttons->itemAt(i)->widget();
        button->setMinimumWidth(0);
        if (!button->isHidden())
            width = qMax(width, button->sizeHint().width());
    }
    for (int i = 0; i < m_buttons->count(); ++i)
        m_buttons->itemAt(i)->widget()->setMinimumWidth(width);
    layout()->invalidate();
    layout()->activate();
    const QSize wanted = kDescribedSize.expandedTo(minimumSizeHint());
    if (wanted == size() && minimumSize() == wanted)
        return;
    setFixedSize(wanted);
    CentreOnScreen(this);
}

void TPrepisiDialog1::reject()
{
    done(prPrekini);
}
