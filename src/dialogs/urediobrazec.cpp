#include "dialogs/urediobrazec.h"

#include "lang/multilang.h"
#include "sites/sitelist.h"
#include "widgets/button3d.h"
#include "widgets/radiogroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

constexpr int kCommentLength = 255;
constexpr int kHostLength = 50;
constexpr int kUserLength = 30;
constexpr int kPasswordLength = 20;

template <typename T> T* named(T* widget, const char* name, const QString& accessible)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessible);
    return widget;
}

} // namespace

TUrediObrazec::TUrediObrazec(QWidget* parent) : QDialog(parent)
{
    setObjectName("UrediObrazec");
    setWindowTitle("Urejanje povezav");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    buildComponents();
    AskUser = ShowMessageBox(this);
    m_ml5 = new TMultiLang(this);
    m_ml5->setObjectName("ML5");
    m_ml5->LoadWords("ML5");
    m_ml5->AfterLanguageChanged = [this](TMultiLang*, quint8) { NameFieldsAfterLabels(this); };
    m_ml5->SetActiveLanguage(0);
}

QLineEdit* TUrediObrazec::numericField(const char* name, QWidget* parent)
{
    auto* field = named(new QLineEdit(parent), name, QString::fromLatin1(name));
    field->setMaxLength(5);
    // A validator refuses any character but a digit, typed or pasted.
    field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), field));
    return field;
}

void TUrediObrazec::buildComponents()
{
    auto label = [this](const char* name, const QString& text, QWidget* buddy) {
        auto* l = named(new QLabel(text, this), name, QString());
        l->setBuddy(buddy);
        l->setAccessibleName(text);
        buddy->setAccessibleName(text); // screen readers name a field by its label
        return l;
    };
    // Created in tab order, which Qt follows.
    ImePov2 = named(new QLineEdit(this), "ImePov2", "Ime povezave");
    ImePov2->setMaxLength(50);
    VnosNaslov2 = named(new QLineEdit(this), "VnosNaslov2", "Naslov FTP strežnika");
    // Host, user name and password are not cut while typed: OK names the limit of a text too long.
    VnosIme2 = named(new QLineEdit(this), "VnosIme2", "Uporabniško ime");
    VnosGeslo2 = named(new QLineEdit(this), "VnosGeslo2", "Uporabniško geslo");
    VnosGeslo2->setEchoMode(QLineEdit::Password);
    TipPrijave2 = named(new TRadioGroup(this), "TipPrijave2", "Tip prijave");
    TipPrijave2->SetCaption("Tip prijave");
    TipPrijave2->SetColumns(2);
    TipPrijave2->SetItems({"Anonymous", "Normal"});
    TipPrijave2->OnClick = [this](QObject*) { TipPrijave2Click(); };
    VnosFTPMapa2 = named(new QLineEdit(this), "VnosFTPMapa2", "Začetna FTP mapa");
    VnosFTPMapa2->setMaxLength(255);
    VnosLokMapa2 = named(new QLineEdit(this), "VnosLokMapa2", "Začetna lokalna mapa");
    VnosLokMapa2->setMaxLength(255);
    VnosVrata2 = numericField("VnosVrata2", this);
    VnosBralPom2 = numericField("VnosBralPom2", this);
    VnosPisPom2 = numericField("VnosPisPom2", this);
    TipPrenosa2 = named(new TRadioGroup(this), "TipPrenosa2", "Tip prenosa");
    TipPrenosa2->SetCaption("Tip prenosa");
    TipPrenosa2->SetColumns(2);
    TipPrenosa2->SetItems({"Samodejno", "Slika", "Binarno", "Tekst"});
    TipFTP2 = named(new QComboBox(this), "TipFTP2", "Tip FTP strežnika");
    TipFTP2->addItems({"Zazna samodejno", "UNIX", "UNIX združljiv", "VMS"});
    KodiranjeImen2 = named(new QComboBox(this), "KodiranjeImen2", "Kodiranje imen");
    KodiranjeImen2->addItems({"Kodna stran 1250", "UTF-8", "Samodejno"});
    Sifriranje2 = named(new QComboBox(this), "Sifriranje2", "Šifriranje");
    Sifriranje2->addItems(
        {"Brez", "Izrecni TLS, če ga strežnik ponudi", "Izrecni TLS, obvezno", "Implicitni TLS"});
    PortFollowsEncryption(Sifriranje2, VnosVrata2);
    Pasivno2 = named(new QCheckBox(QStringLiteral("Pasivni način"), this), "Pasivno2", "Pasivni način");
    Komentar2 = named(new QPlainTextEdit(this), "Komentar2", "Komentar");
    Komentar2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Komentar2->setTabChangesFocus(true);
    connect(Komentar2, &QPlainTextEdit::textChanged, this, [this] { limitComment(); });
    PriporNastavitve2 = named(new TButton3D(this), "PriporNastavitve2", "Priporočene nastavitve");
    PriporNastavitve2->SetCaption("Priporočene &nastavitve");
    PriporNastavitve2->setToolTip(
        "Postavi nastavitve na priporočene vrednosti. Uporabnik vnese le naslov FTP strežnika");
    connect(PriporNastavitve2, &QPushButton::clicked, this, [this] { PriporNastavitve2Click(); });
    Povezi2 = named(new TButton3D(this), "Povezi2", "V redu");
    Povezi2->SetCaption("V redu");
    Povezi2->setDefault(true);
    connect(Povezi2, &QPushButton::clicked, this, [this] {
        if (Povezi2Click())
            accept();
    });
    Preklici2 = named(new TButton3D(this), "Preklici2", "Prekliči");
    Preklici2->SetCaption("P&rekliči");
    connect(Preklici2, &QPushButton::clicked, this, &QDialog::reject);
    Pomoc2 = named(new TButton3D(this), "Pomoc2", "Pomoč");
    Pomoc2->SetCaption("P&omoč");
    Pomoc2->hide();

    auto* left = new QGridLayout;
    left->addWidget(label("OznakaImePov2", "Ime povezave", ImePov2), 0, 0);
    left->addWidget(ImePov2, 0, 1);
    left->addWidget(label("OznakaVnosNaslov2", "Naslov FTP strežnika", VnosNaslov2), 1, 0);
    left->addWidget(VnosNaslov2, 1, 1);
    left->addWidget(label("OznakaVnosIme2", "Uporabniško ime", VnosIme2), 2, 0);
    left->addWidget(VnosIme2, 2, 1);
    left->addWidget(label("OznakaVnosGeslo2", "Uporabniško geslo", VnosGeslo2), 3, 0);
    left->addWidget(VnosGeslo2, 3, 1);
    left->addWidget(TipPrijave2, 4, 0, 1, 2);
    left->addWidget(label("OznakaKomentar2", "Komentar", Komentar2), 5, 0, 1, 2);
    left->addWidget(Komentar2, 6, 0, 1, 2);

    auto* numbers = new QGridLayout;
    numbers->addWidget(label("OznakaVnosVrata2", "FTP Vrata", VnosVrata2), 0, 0);
    numbers->addWidget(label("OznakaVnosBralPom2", "Bralni pomnilnik", VnosBralPom2), 0, 1);
    numbers->addWidget(label("OznakaVnosPisPom2", "Pisalni pomnilnik", VnosPisPom2), 0, 2);
    numbers->addWidget(VnosVrata2, 1, 0);
    numbers->addWidget(VnosBralPom2, 1, 1);
    numbers->addWidget(VnosPisPom2, 1, 2);

    auto* right = new QGridLayout;
    right->addWidget(label("OznakaVnosFTPMapa2", "Začetna FTP mapa", VnosFTPMapa2), 0, 0);
    right->addWidget(VnosFTPMapa2, 0, 1);
    right->addWidget(label("OznakaVnosLokMapa2", "Začetna lokalna mapa", VnosLokMapa2), 1, 0);
    right->addWidget(VnosLokMapa2, 1, 1);
    right->addLayout(numbers, 2, 0, 1, 2);
    right->addWidget(TipPrenosa2, 3, 0, 1, 2);
    right->addWidget(label("OznakaTipFTP2", "Tip FTP strežnika", TipFTP2), 4, 0);
    right->addWidget(TipFTP2, 4, 1);
    right->addWidget(label("OznakaKodiranjeImen2", "Kodiranje imen", KodiranjeImen2), 5, 0);
    right->addWidget(KodiranjeImen2, 5, 1);
    right->addWidget(label("OznakaSifriranje2", "Šifriranje", Sifriranje2), 6, 0);
    right->addWidget(Sifriranje2, 6, 1);
    right->addWidget(Pasivno2, 7, 0, 1, 2);
    right->setRowStretch(8, 1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PriporNastavitve2);
    buttons->addStretch(1);
    buttons->addWidget(Povezi2);
    buttons->addWidget(Preklici2);
    buttons->addWidget(Pomoc2);

    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(8, 8, 8, 8);
    all->setSpacing(6);
    all->addLayout(columns, 1);
    all->addLayout(buttons);
    // The radio groups keep room for their items however small the window is made.
    for (TRadioGroup* group : {TipPrijave2, TipPrenosa2})
        group->setMinimumHeight(group->sizeHint().height());
    Komentar2->setMinimumHeight(Komentar2->fontMetrics().lineSpacing() * 3);
    resize(QSize(549, 258).expandedTo(minimumSizeHint()));
}

void TUrediObrazec::Begin(TSiteList& sites, int site, bool editing, quint8 jezik, const QString& privGeslo)
{
    m_sites = &sites;
    m_site = (site >= 1 && site <= sites.SiteCount()) ? site : 0;
    m_editing = editing && m_site != 0;
    m_privGeslo = privGeslo;
    if (IsChosenLanguage(jezik))
        m_ml5->SetActiveLanguage(jezik - 1);
    if (!m_editing) {
        TipPrijave2->SetItemIndex(0);
        VnosVrata2->setText("21");
        TipFTP2->setCurrentIndex(0);
        Pasivno2->setChecked(false);
        KodiranjeImen2->setCurrentIndex(0);
        Sifriranje2->setCurrentIndex(0);
        TipPrenosa2->SetItemIndex(0);
        VnosBralPom2->setText("4096");
        VnosPisPom2->setText("4096");
    } else {
        const TSiteRecord& record = sites.SiteTable(m_site);
        ImePov2->setText(record.Name());
        VnosNaslov2->setText(record.Host());
        VnosVrata2->setText(QString::number(record.Port()));
        VnosFTPMapa2->setText(record.RemoteDir());
        VnosLokMapa2->setText(record.LocalDir());
        VnosBralPom2->setText(QString::number(record.ReceiveBuffer()));
        VnosPisPom2->setText(QString::number(record.SendBuffer()));
        TipFTP2->setCurrentIndex(record.serverKind <= 3 ? record.serverKind : 0);
        Pasivno2->setChecked(record.DataConnection() == 1);
        KodiranjeImen2->setCurrentIndex(record.NameEncoding());
        Sifriranje2->setCurrentIndex(record.Encryption());
        TipPrijave2->SetItemIndex(record.loginType == 1 ? 1 : 0);
        TipPrenosa2->SetItemIndex(record.transferType <= 3 ? record.transferType : 0);
        Komentar2->setPlainText(record.Comment());
    }
    TipPrijave2Click();
    ImePov2->setFocus();
    CentreOnScreen(this);
}

bool TUrediObrazec::Edit(TSiteList& sites, int site, bool editing, quint8 jezik, const QString& privGeslo)
{
    Begin(sites, site, editing, jezik, privGeslo);
    return exec() == QDialog::Accepted;
}

void TUrediObrazec::TipPrijave2Click()
{
    if (TipPrijave2->ItemIndex() == 0) {
        VnosIme2->setText("anonymous");
        VnosGeslo2->setText(m_privGeslo);
    } else if (m_sites && m_site != 0) {
        // A new site may take the selected site's user name, never its password (it may be for another host).
        const TSiteRecord& record = m_sites->SiteTable(m_site);
        VnosIme2->setText(record.User());
        VnosGeslo2->setText(m_editing ? m_sites->SitePassword(m_site) : QString());
    }
    m_shownPassword = VnosGeslo2->text();
}

void TUrediObrazec::PriporNastavitve2Click()
{
    const auto answer =
        AskUser(QMessageBox::Question, m_ml5->GetWord("@idPriNastNaslov"), m_ml5->GetWord("@idPriNast"),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes)
        return;
    VnosVrata2->setText(DefaultPort(Sifriranje2->currentIndex()));
    VnosBralPom2->setText("4096");
    VnosPisPom2->setText("4096");
    TipPrenosa2->SetItemIndex(0);
    TipFTP2->setCurrentIndex(0);
    TipPrijave2->SetItemIndex(0);
    TipPrijave2Click();
    VnosFTPMapa2->setText("/");
}

void TUrediObrazec::warn(const QString& messageKey)
{
    AskUser(QMessageBox::Warning, m_ml5->GetWord("@idOpo"), m_ml5->GetWord(messageKey), QMessageBox::Ok,
            QMessageBox::Ok);
}

bool TUrediObrazec::checkNumber(QLineEdit* field, int low, int high, const QString& messageKey)
{
    bool ok = false;
    const int value = field->text().toInt(&ok);
    if (ok && value >= low && value <= high)
        return true;
    warn(messageKey);
    field->setFocus();
    field->selectAll();
    return false;
}

bool TUrediObrazec::checkLength(QLineEdit* field, int limit, const QString& messageKey)
{
    if (field->text().size() <= limit)
        return true;
    warn(messageKey);
    field->setFocus();
    field->selectAll();
    return false;
}

bool TUrediObrazec::Povezi2Click()
{
    if (!m_sites)
        return false;
    if (!checkNumber(VnosVrata2, 1, 65535, "@idVrata") || !checkNumber(VnosBralPom2, 1, 99999, "@idPom") ||
        !checkNumber(VnosPisPom2, 1, 99999, "@idPom"))
        return false;
    // The record holds 50 characters of a host and 30 of a user name; a password of a normal login more
    // than its 20 only when the keyring keeps it (an anonymous login's password is the default, as before).
    const bool normal = TipPrijave2->ItemIndex() == 1;
    const bool passwordInFile = m_sites->KeyringState() != TKeyringState::tksAvailable;
    if (!checkLength(VnosNaslov2, kHostLength, "@idDolgNaslov") ||
        !checkLength(VnosIme2, kUserLength, "@idDolgIme") ||
        (normal && passwordInFile && !checkLength(VnosGeslo2, kPasswordLength, "@idDolgGeslo")))
        return false;
    if (!m_editing && m_sites->SiteCount() >= TSiteList::MaxSites) {
        warn("@idPolno");
        return false;
    }
    TSiteRecord record = m_editing ? m_sites->SiteTable(m_site) : TSiteRecord();
    record.SetName(ImePov2->text());
    record.SetHost(VnosNaslov2->text());
    record.SetUser(VnosIme2->text());
    record.SetPassword(VnosGeslo2->text());
    record.SetPort(VnosVrata2->text().toInt());
    record.serverKind = quint8(qMax(0, TipFTP2->currentIndex()));
    record.SetDataConnection(Pasivno2->isChecked() ? 1 : 0);
    record.SetNameEncoding(quint8(qMax(0, KodiranjeImen2->currentIndex())));
    record.SetEncryption(quint8(qMax(0, Sifriranje2->currentIndex())));
    record.loginType = quint8(qMax(0, TipPrijave2->ItemIndex()));
    record.SetRemoteDir(VnosFTPMapa2->text());
    record.SetLocalDir(VnosLokMapa2->text());
    record.SetReceiveBuffer(VnosBralPom2->text().toInt());
    record.SetSendBuffer(VnosPisPom2->text().toInt());
    record.transferType = quint8(qMax(0, TipPrenosa2->ItemIndex()));
    record.SetComment(FlattenComment(Komentar2->toPlainText()));
    if (m_editing) {
        m_sites->SiteTable(m_site) = record;
        m_sites->SetSitesModified(true);
    } else {
        m_site = m_sites->AddSite(record);
    }
    // A password the keyring did not give stays where it is unless the user typed one.
    const bool unknown = m_editing && m_sites->PasswordState(m_site) != TSitePasswordState::spsKnown;
    if (!(unknown && VnosGeslo2->text() == m_shownPassword))
        m_sites->SetSitePassword(m_site, VnosGeslo2->text());
    return true;
}

QString TUrediObrazec::FlattenComment(const QString& comment)
{
    QString flat;
    flat.reserve(comment.size());
    for (qsizetype i = 0; i < comment.size(); ++i) {
        const QChar c = comment[i];
        if (c == '\r' && i + 1 < comment.size() && comment[i + 1] == '\n')
            ++i;
        const bool lineBreak =
            c == '\r' || c == '\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
        flat += lineBreak ? QChar(' ') : c;
    }
    return flat.left(kCommentLength);
}

void TUrediObrazec::limitComment()
{
    const QString text = Komentar2->toPlainText();
    if (text.size() <= kCommentLength)
        return;
    QSignalBlocker block(Komentar2);
    Komentar2->setPlainText(text.left(kCommentLength));
    Komentar2->moveCursor(QTextCursor::End);
}
