#include "dialogs/oprogramu.h"

#include "dialogs/hitra1shared.h"
#include "lang/multilang.h"
#include "widgets/aslink.h"
#include "widgets/gifimage.h"
#include "widgets/hemispherebutton.h"
#include "widgets/wallpaper.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The version shown when the program did not set one (tests, the gallery).
const QString kVersion = QStringLiteral("0.1");

QLabel* NewLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

TOProgramu::TOProgramu(bool ozadje, quint8 jezik, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TOProgramu"));
    m_ozadje = FillWithWallpaper(this);

    m_logo = new TGIFImage(m_ozadje);
    m_logo->setObjectName(QStringLiteral("Logo1"));
    m_logo->SetAutoSize(true);
    m_logo->LoadFromResource(QStringLiteral("ABLOGO"));
    m_logo->setAccessibleName(QStringLiteral("Kvado"));

    auto* name = NewLabel("Ime1", m_ozadje);
    name->setText(QStringLiteral("Kvado"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    name->setFont(big);
    m_verzija = NewLabel("Verzija1", m_ozadje);
    auto* opis = NewLabel("Opis1", m_ozadje);
    auto* avtor = NewLabel("Avtor1", m_ozadje);
    auto* kontakt = new TASLink(m_ozadje);
    kontakt->setObjectName(QStringLiteral("Kontakt1"));
    kontakt->SetURLType(TURLType::utMailto);
    kontakt->SetCaption(QStringLiteral("kvado@zorvek.example"));
    kontakt->SetFontColor(clBlue);
    kontakt->setFixedSize(kontakt->size()); // its own auto size; the layout keeps it

    m_zapri1 = new THemisphereButton(m_ozadje);
    m_zapri1->setObjectName(QStringLiteral("Zapri1"));
    m_zapri1->setFixedSize(90, 32);
    m_zapri1->OnClick = [this](QObject*) { accept(); };

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(name);
    texts->addWidget(m_verzija);
    texts->addWidget(opis);
    texts->addSpacing(6);
    texts->addWidget(avtor);
    texts->addWidget(kontakt);
    texts->addStretch(1);

    auto* grid = new QGridLayout(m_ozadje);
    grid->setContentsMargins(12, 12, 12, 10);
    grid->setHorizontalSpacing(14);
    grid->addWidget(m_logo, 0, 0, Qt::AlignTop);
    grid->addLayout(texts, 0, 1);
    grid->addWidget(m_zapri1, 1, 0, 1, 2, Qt::AlignHCenter);
    grid->setColumnStretch(1, 1);

    if (ozadje)
        m_ozadje->SetWallpaper(GifPicture(QStringLiteral("SLIKA1")));

    m_ml3 = new TMultiLang(this);
    m_ml3->setObjectName(QStringLiteral("ML3"));
    m_ml3->AfterLanguageChanged = [this](TMultiLang*, quint8) {
        const QString version = QCoreApplication::applicationVersion().isEmpty()
                                    ? kVersion
                                    : QCoreApplication::applicationVersion();
        m_verzija->setText(m_ml3->GetWord(QStringLiteral("@idVerzija")) + version);
    };
    m_ml3->LoadWords(QStringLiteral("ML3"));
    m_ml3->SetActiveLanguage(0);
    if (jezik == 1 || jezik == 2)
        m_ml3->SetActiveLanguage(jezik - 1);

    resize(QSize(400, 210).expandedTo(minimumSizeHint()));
    CentreOnScreen(this);
}

void TOProgramu::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        accept();
    else
        QDialog::keyPressEvent(event);
}
