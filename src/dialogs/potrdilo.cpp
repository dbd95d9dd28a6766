#include "dialogs/potrdilo.h"

#include "dialogs/hitra1shared.h"
#include "lang/multilang.h"
#include "widgets/button3d.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QColor kWarningRed(0xC0, 0x00, 0x00);
const QColor kBandFill(0xFF, 0xE4, 0xE1);

QLabel* valueLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setWordWrap(true);
    return label;
}

QLabel* fingerprintLabel(const char* name, QWidget* parent)
{
    QLabel* label = valueLabel(name, parent);
    label->setWordWrap(false);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return label;
}

// host:port as people write it; an IPv6 address goes in brackets.
QString hostAndPort(const QString& host, quint16 port)
{
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

} // namespace

TPotrdilo::TPotrdilo(const TCertificateInfo& info, const QByteArray& storedSha256, int language,
                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_info(info), m_stored(storedSha256 != info.sha256 ? storedSha256 : QByteArray())
{
    setObjectName(QStringLiteral("TPotrdilo"));
    buildComponents();
    m_ml8 = new TMultiLang(this);
    m_ml8->setObjectName(QStringLiteral("ML8"));
    m_ml8->AfterLanguageChanged = [this](TMultiLang*, quint8) { showTexts(); };
    m_ml8->LoadWords(QStringLiteral("ML8"));
    m_ml8->SetActiveLanguage(language == 1 ? 1 : 0);
    // Wrapped texts need the height they take at the window's width.
    const int width = qMax(520, minimumSizeHint().width());
    resize(width, qMax(sizeHint().height(), heightForWidth(width)));
    CentreOnScreen(this);
    m_preklici->setFocus();
}

void TPotrdilo::buildComponents()
{
    // The heading: an icon, the title line and, for a changed certificate, the explanation.
    m_band = new QWidget(this);
    m_band->setObjectName(QStringLiteral("Opozorilo"));
    m_icon = new QLabel(m_band);
    m_icon->setObjectName(QStringLiteral("Ikona"));
    const QStyle::StandardPixmap icon =
        Changed() ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxQuestion;
    m_icon->setPixmap(style()->standardIcon(icon).pixmap(32, 32));
    m_icon->setAlignment(Qt::AlignTop);
    m_naslov = valueLabel("Naslov", m_band);
    QFont bold = m_naslov->font();
    bold.setBold(true);
    if (Changed())
        bold.setPointSizeF(bold.pointSizeF() * 1.15);
    m_naslov->setFont(bold);
    m_razlaga = valueLabel("Razlaga", m_band);
    m_razlaga->setVisible(Changed());
    if (Changed()) {
        QPalette red = m_naslov->palette();
        red.setColor(QPalette::WindowText, kWarningRed);
        m_naslov->setPalette(red);
    }
    auto* headingText = new QVBoxLayout;
    headingText->setSpacing(4);
    headingText->addWidget(m_naslov);
    headingText->addWidget(m_razlaga);
    auto* heading = new QHBoxLayout(m_band);
    heading->setContentsMargins(8, 8, 8, 8);
    heading->setSpacing(10);
    heading->addWidget(m_icon, 0, Qt::AlignTop);
    heading->addLayout(headingText, 1);

    // The certificate, one row per field.
    m_details = new QGridLayout;
    m_details->setHorizontalSpacing(8);
    m_details->setVerticalSpacing(3);
    auto* subject = addRow("OznakaSubjekt", valueLabel("Subjekt", this));
    subject->setText(m_info.subject);
    auto* issuer = addRow("OznakaIzdajatelj", valueLabel("Izdajatelj", this));
    issuer->setText(m_info.issuer);
    m_veljaOd = addRow("OznakaVeljaOd", valueLabel("VeljaOd", this));
    m_veljaDo = addRow("OznakaVeljaDo", valueLabel("VeljaDo", this));
    if (Changed())
        addRow("OznakaShranjeni", fingerprintLabel("ShranjeniOdtis", this))
            ->setText(GroupedFingerprint(m_stored));
    addRow("OznakaOdtis", fingerprintLabel("Odtis", this))->setText(GroupedFingerprint(m_info.sha256));
    m_oznakaOdtis = findChild<QLabel*>(QStringLiteral("OznakaOdtis"));
    m_razlog = addRow("OznakaRazlog", valueLabel("Razlog", this));
    m_details->setColumnStretch(1, 1);

    m_vprasanje = valueLabel("Vprasanje", this);
    m_vprasanje->setVisible(!Changed());

    m_zaupajEnkrat = new TButton3D(this);
    m_zaupajEnkrat->setObjectName(QStringLiteral("ZaupajEnkrat"));
    m_zaupajVedno = new TButton3D(this);
    m_zaupajVedno->setObjectName(QStringLiteral("ZaupajVedno"));
    m_preklici = new TButton3D(this);
    m_preklici->setObjectName(QStringLiteral("Preklici"));
    for (TButton3D* button : {m_zaupajEnkrat, m_zaupajVedno, m_preklici}) {
        button->setAutoDefault(false);
        button->setMinimumSize(90, 25);
    }
    m_preklici->setDefault(true);
    connect(m_zaupajEnkrat, &QPushButton::clicked, this, [this] { done(pzEnkrat); });
    connect(m_zaupajVedno, &QPushButton::clicked, this, [this] { done(pzVedno); });
    connect(m_preklici, &QPushButton::clicked, this, [this] { done(pzPreklici); });
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(m_zaupajEnkrat);
    buttons->addWidget(m_zaupajVedno);
    buttons->addStretch(1);
    buttons->addWidget(m_preklici);

    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(10, 10, 10, 10);
    all->setSpacing(8);
    all->addWidget(m_band);
    all->addLayout(m_details);
    all->addWidget(m_vprasanje);
    all->addStretch(1);
    all->addLayout(buttons);
    setTabOrder(m_preklici, m_zaupajEnkrat);
    setTabOrder(m_zaupajEnkrat, m_zaupajVedno);
}

QLabel* TPotrdilo::addRow(const char* name, QLabel* value)
{
    auto* label = new QLabel(this);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int row = m_details->rowCount();
    m_details->addWidget(label, row, 0);
    m_details->addWidget(value, row, 1);
    return value;
}

void TPotrdilo::showTexts()
{
    const QString where = hostAndPort(m_info.host, m_info.port);
    m_naslov->setText(
        m_ml8->GetWord(Changed() ? QStringLiteral("@idSpremenjeno") : QStringLiteral("@idNepreverjeno"))
            .arg(where));
    m_razlaga->setText(m_ml8->GetWord(QStringLiteral("@idRazlaga")));
    m_vprasanje->setText(m_ml8->GetWord(QStringLiteral("@idVprasanje")));
    m_oznakaOdtis->setText(
        m_ml8->GetWord(Changed() ? QStringLiteral("@idNoviOdtis") : QStringLiteral("@idOdtis")));

    // Validity in local time; the end that the clock is outside is marked in red.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    auto showTime = [this](QLabel* label, const QDateTime& time, bool outside, const char* markKey) {
        QString text = time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                      : m_ml8->GetWord(QStringLiteral("@idNeznano"));
        if (outside)
            text += QStringLiteral("  (") + m_ml8->GetWord(QLatin1String(markKey)) + u')';
        label->setText(text);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText,
                         outside ? kWarningRed : QPalette().color(QPalette::WindowText));
        label->setPalette(palette);
    };
    showTime(m_veljaOd, m_info.notBefore, m_info.notBefore.isValid() && now < m_info.notBefore,
             "@idSeNeVelja");
    showTime(m_veljaDo, m_info.notAfter, m_info.notAfter.isValid() && now > m_info.notAfter, "@idPoteklo");
    m_razlog->setText(ReasonText());
}

// The problems in the reader's language; the library's own text when one of
// them has no word here.
QString TPotrdilo::ReasonText() const
{
    static const char* const kWords[] = {"@idTezavaPoteklo",       "@idTezavaSeNeVelja",
                                         "@idTezavaSamopodpisano", "@idTezavaIzdajatelj",
                                         "@idTezavaIme",           "@idTezavaPreklicano"};
    QStringList texts;
    for (TCertificateProblem problem : m_info.problems) {
        if (problem >= std::size(kWords))
            return m_info.reason;
        texts << m_ml8->GetWord(QLatin1String(kWords[problem]));
    }
    return texts.isEmpty() ? m_info.reason : texts.join(QStringLiteral(" "));
}

QString TPotrdilo::GroupedFingerprint(const QByteArray& sha256)
{
    const QString hex = QString::fromLatin1(sha256.toHex(':').toUpper());
    constexpr int kLineChars = 16 * 3; // 16 bytes and their separators
    QStringList lines;
    for (qsizetype at = 0; at < hex.size(); at += kLineChars)
        lines << hex.mid(at, kLineChars - 1);
    return lines.join(u'\n');
}

void TPotrdilo::reject()
{
    done(pzPreklici);
}

void TPotrdilo::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    if (!Changed())
        return;
    // The changed certificate's heading sits on a red-framed band.
    QPainter painter(this);
    const QRect band = m_band->geometry().adjusted(0, 0, -1, -1);
    painter.fillRect(band, kBandFill);
    painter.setPen(QPen(kWarningRed, 2));
    painter.drawRect(band.adjusted(1, 1, 0, 0));
}
