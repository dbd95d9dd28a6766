#include "dialogs/sistemobrazec.h"

#include "dialogs/urediobrazec.h"
#include "lang/multilang.h"
#include "sites/settings.h"
#include "sites/sitelist.h"
#include "widgets/button3d.h"
#include "widgets/hetreeview.h"
#include "widgets/panel3d.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

constexpr QChar kDot(0x2022); // a password is shown as dots until asked for

template <typename T> T* named(T* object, const char* name, const QString& accessible)
{
    object->setObjectName(QString::fromLatin1(name));
    if constexpr (std::is_base_of_v<QWidget, T>)
        object->setAccessibleName(accessible); // an action's accessible name is its text
    return object;
}

TButton3D* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = named(new TButton3D(parent), name, QString(caption).remove('&'));
    b->SetCaption(caption);
    return b;
}

} // namespace

TSistemObrazec::TSistemObrazec(TSiteList& sites, QWidget* parent) : QDialog(parent), m_sites(sites)
{
    setObjectName("SistemObrazec");
    setWindowTitle("Sistem povezav");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setModal(true);
    buildComponents();
    m_editor = new TUrediObrazec(this);
    AskUser = ShowMessageBox(this);
    m_ml4 = new TMultiLang(this);
    m_ml4->setObjectName("ML4");
    m_ml4->LoadWords("ML4");
    m_ml4->SetActiveLanguage(0);
}

void TSistemObrazec::buildComponents()
{
    Iskanje = named(new QLineEdit(this), "Iskanje", "Išči");
    Iskanje->setClearButtonEnabled(true);
    connect(Iskanje, &QLineEdit::textChanged, this, [this] { applyFilter(); });
    Iskanje->installEventFilter(this);
    auto* iskanjeOznaka = named(new QLabel("&Išči:", this), "OznakaIskanje", "Išči");
    iskanjeOznaka->setBuddy(Iskanje);

    Naslovi = named(new THETreeView(this), "Naslovi", "Naslovi");
    Naslovi->setHeaderHidden(true);
    Naslovi->setRootIsDecorated(false);
    Naslovi->setItemsExpandable(false);
    Naslovi->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Naslovi->setSelectionMode(QAbstractItemView::SingleSelection);
    QFont listFont = Naslovi->font();
    listFont.setPixelSize(13);
    Naslovi->setFont(listFont);
    Naslovi->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Naslovi, &QTreeWidget::currentItemChanged, this, [this] { NasloviChange(); });
    connect(Naslovi, &QTreeWidget::itemClicked, this, [this] { NasloviChange(); });
    connect(Naslovi, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (SelectedSite() != 0)
            accept();
    });

    GroupBox1 = named(new QGroupBox(" Lastnosti ", this), "GroupBox1", "Lastnosti");
    PokaziGeslo = named(new QCheckBox("Pokaži &geslo", this), "PokaziGeslo", "Pokaži geslo");
    connect(PokaziGeslo, &QCheckBox::toggled, this, [this] { NasloviChange(); });
    Lastnosti = named(new TPanel3D(GroupBox1), "Lastnosti", "Lastnosti");
    Lastnosti->SetAlignment(TAlignment::taLeftJustify);
    Lastnosti->SetVertAlignment(TPanel3DVertAlignment::vaTop);
    Lastnosti->setMinimumHeight(96);
    auto* groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->addWidget(Lastnosti);
    groupLayout->addWidget(PokaziGeslo);

    DodajStrez = button(this, "DodajStrez", "Dodaj nov strežnik");
    IzbrisiStrez = button(this, "IzbrisiStrez", "Izbriši strežnik");
    UrediStrez = button(this, "UrediStrez", "Uredi strežnik");
    PoveziStrez = button(this, "PoveziStrez", "Poveži");
    PoveziStrez->setDefault(true);
    ZapriStrez = button(this, "ZapriStrez", "Zapri");
    RazveljaviStrez = button(this, "RazveljaviStrez", "Razveljavi brisanje");
    connect(RazveljaviStrez, &QPushButton::clicked, this, [this] { RazveljaviStrezClick(); });
    connect(DodajStrez, &QPushButton::clicked, this, [this] { DodajStrezClick(); });
    connect(IzbrisiStrez, &QPushButton::clicked, this, [this] { IzbrisiStrezClick(); });
    connect(UrediStrez, &QPushButton::clicked, this, [this] { UrediStrezClick(); });
    connect(PoveziStrez, &QPushButton::clicked, this, &QDialog::accept);
    connect(ZapriStrez, &QPushButton::clicked, this, &QDialog::reject);

    // The pop-up menu is Slovenian in every language.
    PopupMenu1 = named(new QMenu(this), "PopupMenu1", "PopupMenu1");
    Povei1 = named(PopupMenu1->addAction("Poveži"), "Povei1", "Poveži");
    named(PopupMenu1->addSeparator(), "N1", QString());
    Dodajstrenik1 = named(PopupMenu1->addAction("Dodaj strežnik"), "Dodajstrenik1", "Dodaj strežnik");
    Izbriistrenik1 = named(PopupMenu1->addAction("Izbriši strežnik"), "Izbriistrenik1", "Izbriši strežnik");
    Uredistrenik1 = named(PopupMenu1->addAction("Uredi strežnik"), "Uredistrenik1", "Uredi strežnik");
    connect(Povei1, &QAction::triggered, this, [this] { Povei1Click(); });
    connect(Dodajstrenik1, &QAction::triggered, this, [this] { DodajStrezClick(); });
    connect(Izbriistrenik1, &QAction::triggered, this, [this] { IzbrisiStrezClick(); });
    connect(Uredistrenik1, &QAction::triggered, this, [this] { UrediStrezClick(); });
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });
    connect(Naslovi, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(Naslovi->viewport()->mapToGlobal(at)); });

    // The keyboard: Insert adds anywhere; Del and F2 act on the list.
    auto* insert = new QShortcut(QKeySequence(Qt::Key_Insert), this);
    connect(insert, &QShortcut::activated, this, [this] { DodajStrezClick(); });
    auto* del = new QShortcut(QKeySequence(Qt::Key_Delete), Naslovi, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, [this] { IzbrisiStrezClick(); });
    auto* f2 = new QShortcut(QKeySequence(Qt::Key_F2), Naslovi, nullptr, nullptr, Qt::WidgetShortcut);
    connect(f2, &QShortcut::activated, this, [this] { UrediStrezClick(); });
    auto* undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, [this] { RazveljaviStrezClick(); });

    auto* search = new QHBoxLayout;
    search->addWidget(iskanjeOznaka);
    search->addWidget(Iskanje, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(DodajStrez);
    buttons->addWidget(IzbrisiStrez);
    buttons->addWidget(UrediStrez);
    buttons->addWidget(RazveljaviStrez);
    buttons->addStretch(1);
    buttons->addWidget(PoveziStrez);
    buttons->addWidget(ZapriStrez);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->addLayout(search, 0, 0);
    grid->addWidget(Naslovi, 1, 0);
    grid->addLayout(buttons, 0, 1, 2, 1);
    grid->addWidget(GroupBox1, 2, 0, 1, 2);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(0, 1);
    resize(426, 424);
}

bool TSistemObrazec::eventFilter(QObject* watched, QEvent* event)
{
    // Up and Down in the search field move through the list.
    if (watched == Iskanje && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            QCoreApplication::sendEvent(Naslovi, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSistemObrazec::fillList()
{
    Naslovi->clear();
    auto* header = new QTreeWidgetItem(Naslovi, {m_ml4->GetWord("Naslovi")});
    header->setIcon(0, m_headerIcon);
    for (int k = 1; k <= m_sites.SiteCount(); ++k)
        appendEntry(k);
    applyFilter();
}

QTreeWidgetItem* TSistemObrazec::appendEntry(int k)
{
    auto* entry = new QTreeWidgetItem(Naslovi, {m_sites.SiteTable(k).Name()});
    entry->setHidden(!matchesFilter(k));
    return entry;
}

bool TSistemObrazec::matchesFilter(int k) const
{
    const QString text = Iskanje->text().trimmed();
    if (text.isEmpty())
        return true;
    const TSiteRecord& record = m_sites.SiteTable(k);
    return record.Name().contains(text, Qt::CaseInsensitive) ||
           record.Host().contains(text, Qt::CaseInsensitive);
}

void TSistemObrazec::applyFilter()
{
    int firstShown = 0;
    for (int k = 1; k < Naslovi->topLevelItemCount() && k <= m_sites.SiteCount(); ++k) {
        const bool shown = matchesFilter(k);
        Naslovi->topLevelItem(k)->setHidden(!shown);
        if (shown && firstShown == 0)
            firstShown = k;
    }
    QTreeWidgetItem* current = Naslovi->currentItem();
    if (!current || current->isHidden() || (SelectedSite() == 0 && !Iskanje->text().trimmed().isEmpty()))
        SelectSite(firstShown);
}

void TSistemObrazec::Begin(quint8 jezik, const QString& privGeslo)
{
    m_jezik = jezik;
    m_privGeslo = privGeslo;
    if (IsChosenLanguage(jezik))
        m_ml4->SetActiveLanguage(jezik - 1);
    {
        QSignalBlocker block(Iskanje);
        Iskanje->clear();
    }
    PokaziGeslo->setChecked(false);
    fillList();
    SelectSite(0);
    RazveljaviStrez->setEnabled(m_sites.CanUndoDelete());
    Naslovi->setFocus();
    CentreOnScreen(this);
}

TSiteChoice TSistemObrazec::Open(quint8 jezik, const QString& privGeslo)
{
    Begin(jezik, privGeslo);
    exec();
    return Choice();
}

TSiteChoice TSistemObrazec::Choice() const
{
    TSiteChoice choice;
    choice.site = SelectedSite();
    choice.connect = result() == QDialog::Accepted && choice.site != 0;
    return choice;
}

int TSistemObrazec::SelectedSite() const
{
    QTreeWidgetItem* current = Naslovi->currentItem();
    if (!current || !current->isSelected())
        return 0;
    const int k = Naslovi->indexOfTopLevelItem(current);
    return k >= 1 && k <= m_sites.SiteCount() ? k : 0;
}

void TSistemObrazec::SelectSite(int site)
{
    if (QTreeWidgetItem* entry = Naslovi->topLevelItem(site)) {
        Naslovi->setCurrentItem(entry);
        entry->setSelected(true);
    }
    NasloviChange();
}

void TSistemObrazec::SetHeaderIcon(const QIcon& icon)
{
    m_headerIcon = icon;
    if (QTreeWidgetItem* header = Naslovi->topLevelItem(0))
        header->setIcon(0, icon);
}

QString TSistemObrazec::PropertiesText(int k, bool showPassword) const
{
    const TSiteRecord& record = m_sites.SiteTable(k);
    const QString password = m_sites.SitePassword(k);
    return QStringList{m_ml4->GetWord("@idNasl") + record.Host(), m_ml4->GetWord("@idUpoIme") + record.User(),
                       m_ml4->GetWord("@idPass") + (showPassword ? password : QString(password.size(), kDot)),
                       m_ml4->GetWord("@idPort") + QString::number(record.Port()),
                       m_ml4->GetWord("@idKom") + record.Comment()}
        .join('\n');
}

void TSistemObrazec::NasloviChange()
{
    const int k = SelectedSite();
    if (k == 0) {
        Lastnosti->SetCaption(QString());
        return;
    }
    Naslovi->topLevelItem(k)->setText(0, m_sites.SiteTable(k).Name());
    Lastnosti->SetCaption(PropertiesText(k, PokaziGeslo->isChecked()));
}

void TSistemObrazec::DodajStrezClick()
{
    if (m_sites.SiteCount() >= TSiteList::MaxSites) {
        AskUser(QMessageBox::Warning, m_ml4->GetWord("@idOpo"), m_ml4->GetWord("@idPolno"), QMessageBox::Ok,
                QMessageBox::Ok);
        return;
    }
    m_editing = false;
    if (!m_editor->Edit(m_sites, SelectedSite(), m_editing, m_jezik, m_privGeslo))
        return;
    m_sites.SetSitesModified(true);
    appendEntry(m_sites.SiteCount());
    Iskanje->clear(); // the new site is shown and selected whatever the filter was
    SelectSite(m_sites.SiteCount());
}

void TSistemObrazec::UrediStrezClick()
{
    const int k = SelectedSite();
    if (k == 0)
        return;
    m_editing = true;
    if (!m_editor->Edit(m_sites, k, m_editing, m_jezik, m_privGeslo))
        return;
    m_sites.SetSitesModified(true);
    NasloviChange();
}

void TSistemObrazec::IzbrisiStrezClick()
{
    const int k = SelectedSite();
    if (k == 0)
        return;
    m_sites.SetSitesModified(true);
    {
        // While the entry goes, the list and the table differ by one: no selection handler may run.
        const QSignalBlocker block(Naslovi);
        delete Naslovi->takeTopLevelItem(k);
    }
    m_sites.DeleteSite(k);
    Lastnosti->SetCaption(QString());
    QTreeWidgetItem* previous = Naslovi->topLevelItem(k - 1);
    SelectSite(previous && !previous->isHidden() ? k - 1 : 0);
    RazveljaviStrez->setEnabled(true);
}

void TSistemObrazec::RazveljaviStrezClick()
{
    const int k = m_sites.UndoDelete();
    RazveljaviStrez->setEnabled(m_sites.CanUndoDelete());
    if (k == 0)
        return;
    {
        const QSignalBlocker block(Naslovi);
        Naslovi->insertTopLevelItem(k, new QTreeWidgetItem({m_sites.SiteTable(k).Name()}));
    }
    applyFilter();
    SelectSite(Naslovi->topLevelItem(k)->isHidden() ? 0 : k);
}

void TSistemObrazec::done(int result)
{
    // Deleted sites can be brought back until the window closes; then their passwords go too.
    m_sites.ForgetDeleted();
    QDialog::done(result);
}

void TSistemObrazec::Povei1Click()
{
    if (SelectedSite() != 0)
        accept();
}

void TSistemObrazec::PopupMenu1Popup()
{
    const bool site = SelectedSite() != 0;
    for (QAction* action : {Povei1, Dodajstrenik1, Izbriistrenik1, Uredistrenik1})
        action->setEnabled(site);
}

void TakeSiteAsSession(const TSiteRecord& site, TSettings& settings)
{
    TakeSiteAsSession(site, site.Password(), settings);
}

void TakeSiteAsSession(const TSiteRecord& site, const QString& password, TSettings& settings)
{
    settings.ZNaslov = site.Host();
    const bool anonymousSite = site.loginType == 0;
    const QString user = site.User();
    // The record keeps 20 characters of a password, so a longer anonymous password is stored cut.
    constexpr int kPasswordLength = 20;
    const bool anonymousPassword =
        password.compare(settings.PrivGeslo, Qt::CaseInsensitive) == 0 ||
        (settings.PrivGeslo.size() > kPasswordLength &&
         password.compare(settings.PrivGeslo.left(kPasswordLength), Qt::CaseInsensitive) == 0);
    if (!anonymousSite && user.compare("anonymous", Qt::CaseInsensitive) != 0)
        settings.ZUporIme = user;
    if (!anonymousSite && !anonymousPassword)
        settings.ZUporGeslo = password;
    settings.ZVrata = QString::number(site.Port());
    settings.Pisanje = site.SendBuffer();
    settings.Branje = site.ReceiveBuffer();
    settings.FTPMapa = site.RemoteDir();
    settings.LokMapa = site.LocalDir();
    settings.TipPre = site.transferType;
    settings.TipPri = site.loginType;
    settings.PodatkovnaPovezava = site.DataConnection();
    settings.KodiranjeImen = site.NameEncoding();
    settings.Sifriranje = site.Encryption();
}
