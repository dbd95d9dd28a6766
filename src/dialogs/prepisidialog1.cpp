#include "dialogs/prepisidialog1.h"

#include "dialogs/hitra1shared.h"
#include "lang/multilang.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TPrepisiDialog1::TPrepisiDialog1(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TPrepisiDialog1"));
    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setWordWrap(true);
    m_label1->setAlignment(Qt::AlignCenter);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AddButton("PreNadalj1", prNadaljuj));
    buttons->addWidget(AddButton("PrePreimenuj", prPreimenuj));
    buttons->addWidget(AddButton("PrePrepisi1", prPrepisi));
    buttons->addWidget(AddButton("PrePrekini1", prPrekini));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    buttons->setSpacing(4);
    layout->addWidget(m_label1, 1);
    layout->addLayout(buttons);

    m_ml7 = new TMultiLang(this);
    m_ml7->setObjectName(QStringLiteral("ML7"));
    m_ml7->AfterLanguageChanged = [this](TMultiLang*, quint8) {
        m_label1->setText(m_ml7->GetWord(QStringLiteral("@idObs")));
    };
    m_ml7->LoadWords(QStringLiteral("ML7"));
    m_ml7->SetActiveLanguage(0);

    setFixedSize(QSize(354, 121).expandedTo(minimumSizeHint()));
    CentreOnScreen(this);
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
        setFixedSize(QSize(354, 121).expandedTo(minimumSizeHint()));
    }
}

void TPrepisiDialog1::reject()
{
    done(prPrekini);
}
