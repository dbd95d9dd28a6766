#include "dialogs/oknojezik.h"

#include "dialogs/hitra1shared.h"
#include "widgets/button3d.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

TOknoJezik::TOknoJezik(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("TOknoJezik"));
    setWindowTitle(QStringLiteral("Kvado - Izbira jezika / Language Selection"));

    auto* label1 = new QLabel(QStringLiteral("Kateri jezik želiš uporabljati?"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    auto* label2 = new QLabel(QStringLiteral("Which language do you want to use?"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    m_jezik = new QComboBox(this);
    m_jezik->setObjectName(QStringLiteral("Jezik"));
    m_jezik->addItems({QStringLiteral("Slovenščina"), QStringLiteral("English")});
    m_jezik->setCurrentIndex(0);
    m_jezik->setAccessibleName(label1->text() + QStringLiteral(" / ") + label2->text());
    label1->setBuddy(m_jezik);
    m_button3D1 = new TButton3D(this);
    m_button3D1->setObjectName(QStringLiteral("Button3D1"));
    m_button3D1->setText(QStringLiteral("V redu / OK"));
    m_button3D1->setDefault(true);
    m_button3D1->setMinimumSize(75, 25);
    connect(m_button3D1, &QPushButton::clicked, this, [this] {
        m_chosen = m_jezik->currentIndex() + 1;
        accept();
    });

    // The two questions on the left, the list on the right, the button below in the middle.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(5, 6, 5, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(0);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(label2, 1, 0);
    grid->addWidget(m_jezik, 0, 1, 2, 1, Qt::AlignVCenter);
    grid->addWidget(m_button3D1, 2, 0, 1, 2, Qt::AlignHCenter | Qt::AlignBottom);
    grid->setColumnStretch(0, 1);
    m_jezik->setMinimumWidth(145);

    resize(QSize(383, 80).expandedTo(minimumSizeHint()));
    CentreOnScreen(this);
    m_jezik->setFocus();
}
