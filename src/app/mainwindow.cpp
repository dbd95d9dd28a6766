#include "app/mainwindow.h"

#include "app/columnfit.h"
#include "app/desktopnotifier.h"
#include "app/localpane.h"
#include "app/logview.h"
#include "app/panedragdrop.h"
#include "app/prompts.h"
#include "app/qttranslator.h"
#include "app/queuepane.h"
#include "app/remotepane.h"
#include "app/sejaokno.h"
#include "app/sessioncontroller.h"
#include "app/transfercontroller.h"
#include "app/transfermeter.h"
#include "core/eventwait.h"
#include "core/exception.h"
#include "files/drivecombobox.h"
#include "files/filelist.h"
#include "files/shellinfo.h"
#include "lang/multilang.h"
#include "sites/programpaths.h"
#include "widgets/custompanel.h"
#include "widgets/gifimage.h"
#include "widgets/mpanel.h"
#include "widgets/officebutton.h"
#include "widgets/panelmanager.h"
#include "widgets/progressbar3d.h"
#include "widgets/winsplit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRandomGenerator>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

TGlavniObrazec::TGlavniObrazec(TPrompts* prompts, QWidget* parent) : QMainWindow(parent), m_prompts(prompts)
{
    setObjectName(QStringLiteral("GlavniObrazec"));
    setWindowTitle(QStringLiteral("Kvado"));
    if (m_prompts == nullptr) {
        m_ownPrompts = std::make_unique<TWidgetPrompts>(this);
        m_prompts = m_ownPrompts.get();
    }
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    setFont(font);
    buildPanes();
    resize(593, 354); // the designed size; a first start fits the window to its panes and screen

    ML1 = new TMultiLang(this);
    ML1->setObjectName(QStringLiteral("ML1"));
    ML1->LoadWords(QStringLiteral("ML1"));
    ML1->AfterLanguageChanged = [this](TMultiLang*, quint8) { ML1AfterLanguageChanged(); };
    ML1->SetActiveLanguage(0);

    TSejaOknoDeli parts;
    parts.window = this;
    parts.words = ML1;
    parts.log = &m_log;
    for (int i = 0; i < 3; ++i) {
        parts.panels[i] = m_panels[i];
    }
    parts.actions = &m_ukazi;
    parts.remote = FTPDat1;
    parts.local = m_local;
    parts.gauge = Gauge1;
    parts.meter = m_meter.get();
    parts.prompts = m_prompts;
    parts.efekti = [this](int event) { Efekti(event); };
    parts.prepisi = [this] { return PrepisiDialog(); };
    parts.listed = [this] {
        if (!m_urlName.isEmpty()) {
            QMetaObject::invokeMethod(
                this, [this] { followUrlName(); }, Qt::QueuedConnection);
        }
        // Not from inside the engine's listing: the queue may start the session's next command.
        QMetaObject::invokeMethod(
            this, [this] { m_transfers->SessionReady(); }, Qt::QueuedConnection);
    };
    m_view = std::make_unique<TSejaOkno>(parts);
    m_session = std::make_unique<TSessionController>(*m_view, *m_prompts);
    buildQueue();
    m_notifier = std::make_unique<TDesktopNotifier>();
    m_log.OnLine = [this](TSessionLog*, TLogColour colour, const QString& line) {
        FTPInfo1->Append(colour, line);
    };
    connectCommands();
}

TGlavniObrazec::~TGlavniObrazec()
{
    m_session->CloseConnection();
    writeSitesAndBanner();
    delete m_queuePane; // its model reads the queue, which goes with m_transfers
    m_queuePane = nullptr;
}

void TGlavniObrazec::writeSitesAndBanner()
{
    // The two are independent: a site list that cannot be written still
    // leaves the log file its closing banner, and the other way round.
    if (m_sites.SitesModified()) {
        try {
            m_sites.WriteSiteList();
            m_sites.SetSitesModified(false);
        } catch (const Exception& error) {
            m_prompts->ErrorBox(error.Message());
        }
    }
    if (m_log.DnevnikOdprt()) {
        try {
            m_log.CloseWithExitBanner();
        } catch (const Exception& error) {
            m_prompts->ErrorBox(error.Message());
        }
    }
}

void TGlavniObrazec::buildPanes()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Ozadje"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    PanelManager1 = new TPanelManager(central);
    PanelManager1->setObjectName(QStringLiteral("PanelManager1"));
    MPanel1 = new TMPanel(PanelManager1);
    MPanel1->setObjectName(QStringLiteral("MPanel1"));
    MPanel1->SetTabCaption(QStringLiteral("Orodja"));
    MPanel1->setFixedHeight(42);
    MPanel1->installEventFilter(this);
    column->addWidget(PanelManager1);

    Panel4 = new TCustomPanel(central);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedHeight(20);
    Panel4->SetBevelOuter(TPanelBevel::bvNone);
    auto* gaugeBox = new QHBoxLayout(Panel4);
    gaugeBox->setContentsMargins(0, 0, 0, 0);
    Gauge1 = new ProgressBar3D(Panel4);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->SetBarColor(0xFF0000); // blue
    Gauge1->SetShowText(false);
    Gauge1->setAccessibleName(QStringLiteral("Gauge1"));
    gaugeBox->addWidget(Gauge1, 1);
    // Bytes done, speed and time left of the running transfer, beside the bar.
    m_meterLabel = new QLabel(Panel4);
    m_meterLabel->setObjectName(QStringLiteral("PrenosHitrost"));
    m_meterLabel->setAccessibleName(QStringLiteral("Prenos"));
    m_meterLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    gaugeBox->addWidget(m_meterLabel);
    m_meter = std::make_unique<TTransferMeter>(m_meterLabel);
    fitMeter();
    column->addWidget(Panel4);

    FTPInfo1 = new TLogView(central);
    SetControlAlign(FTPInfo1, TAlign::alTop);
    FTPInfo1->setFixedHeight(89);
    column->addWidget(FTPInfo1);
    WinSplit1 = new TWinSplit(central);
    WinSplit1->setObjectName(QStringLiteral("WinSplit1"));
    WinSplit1->setFixedHeight(3);
    WinSplit1->SetTargetControl(FTPInfo1);
    WinSplit1->SetMinTargetSize(2);
    column->addWidget(WinSplit1);

    auto* panes = new QWidget(central);
    auto* row = new QHBoxLayout(panes);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_local = new TLocalPane(*m_prompts, panes);
    SetControlAlign(m_local, TAlign::alLeft);
    m_local->setFixedWidth(200);
    m_local->installEventFilter(this);
    row->addWidget(m_local);
    WinSplit2 = new TWinSplit(panes);
    WinSplit2->setObjectName(QStringLiteral("WinSplit2"));
    WinSplit2->setFixedWidth(2);
    WinSplit2->SetTargetControl(m_local);
    WinSplit2->SetMinTargetSize(1);
    row->addWidget(WinSplit2);
    FTPDat1 = new TRemotePane(panes);
    row->addWidget(FTPDat1, 1);
    column->addWidget(panes, 1);
    setCentralWidget(central);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusnaVrstica1"));
    status->setSizeGripEnabled(false);
    QFont bold = status->font();
    bold.setBold(true);
    status->setFont(bold);
    const int widths[3] = {150, 150, 50};
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(status);
        m_panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_panels[i]->setMinimumWidth(1);
        if (i < 2) {
            m_panels[i]->setFixedWidth(widths[i]);
        }
        // The last panel takes the rest of the line: state texts are longer than 50 pixels.
        status->addPermanentWidget(m_panels[i], i == 2 ? 1 : 0);
    }
    setStatusBar(status);

    m_ukazi.Build(this, FTPDat1, m_local->List(), FTPInfo1, MPanel1);
    for (QWidget* pane : hintedPanes()) {
        pane->installEventFilter(this);
    }
}

void TGlavniObrazec::SetPasswordStore(TPasswordStore* store)
{
    m_sites.SetPasswordStore(store);
    m_savedLogin.SetStore(store);
    // A connect that waits for a site's password goes on when the keyring answers.
    m_sites.OnPasswordRead = [this](TSiteList*, int site) {
        if (site == m_siteAwaitingPassword) {
            m_siteAwaitingPassword = 0;
            connectToSite(site);
        }
    };
}

void TGlavniObrazec::FormCreate()
{
    m_ukazi.KvadoLogo->LoadFromResource(QStringLiteral("ANIM"));
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, FromWinColor(0xFFFF00));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);

    m_posSaver.LoadSettings(m_settings);
    m_savedLogin.Load();
    applyPaneFont();
    chooseLanguage();
    applyPlacement();
    m_local->ApplyViewStyle(m_settings.TPogledaLok);
    QAction* views[5] = {nullptr, m_ukazi.Velikeikone1, m_ukazi.Maleikone1, m_ukazi.Seznam1,
                         m_ukazi.Podrobnosti1};
    views[m_local->ViewStyle() >= 1 && m_local->ViewStyle() <= 4 ? m_local->ViewStyle() : 4]->setChecked(
        true);

    for (QWidget* button : {static_cast<QWidget*>(m_ukazi.HitriGumb2), static_cast<QWidget*>(m_ukazi.STOPFTP),
                            static_cast<QWidget*>(m_ukazi.GumbTipPrenosa)}) {
        button->setEnabled(false);
    }
    m_ukazi.UkazFTPStop->setEnabled(false);
    m_panels[0]->setFixedWidth(m_local->width());
    m_panels[0]->setText(QStringLiteral("(%1)").arg(m_local->SelectedCount()));
    m_panels[1]->setFixedWidth(qMax(1, FTPDat1->width() / 2));

    m_local->Start(m_settings.LokMapa);
    if (!m_settings.PozOkna.Stored) {
        fitFirstWindow();
    }
    for (QAction* item : {m_ukazi.Pla1Prenesi, m_ukazi.Pla1Izbrisi, m_ukazi.Pla1UsMapo, m_ukazi.Pla1Skoci,
                          m_ukazi.Pla1IzberiVse, m_ukazi.Pla1OsveziFTP}) {
        item->setEnabled(false);
    }
    m_session->Seja().SetVrataPodatkov(TFtpSeja::kPrvaVrata + int(QRandomGenerator::global()->bounded(255)));

    const int client = centralWidget()->width();
    m_ukazi.OknoSkrijLok->setChecked(m_local->width() == 1);
    m_ukazi.OknoSkrijFTP->setChecked(m_local->width() == client - 18);
    m_ukazi.OknoSkrijInfo->setChecked(FTPInfo1->height() == 2);

    // The session: automatic transfer type, the time-out, no upload until
    // connected, and the log file.
    m_session->Seja().gsSamodejnoClick();
    m_session->SetTimeOut(m_settings.TimeOut);
    m_transfers->SetTimeOut(m_settings.TimeOut);
    m_transfers->SetConnections(m_settings.Prenosi);
    m_ukazi.Pla2Prenesi->setEnabled(false);
    m_sites.SetSitesModified(false);
    FTPInfo1->SetColours(m_settings.Barve);
    m_log.SetProgramDirectory(ProgramDirectory());
    m_log.SetLogFileName(m_settings.Dnevnik);
    if (m_settings.DANE) {
        openLogFile();
    }
    if (!m_settings.PrikNam) {
        m_settings.PrikNam = true;
        ToggleHints();
        m_settings.PrikNam = false;
    }
}

void TGlavniObrazec::chooseLanguage()
{
    if (m_settings.Jezik == 0 && AskLanguage) {
        if (BeforeLanguageQuestion) {
            BeforeLanguageQuestion();
        }
        m_settings.Jezik = AskLanguage();
    }
    // 0 (never chosen) and values above 2 switch nothing: the texts stay Slovenian.
    if (m_settings.Jezik == 1 || m_settings.Jezik == 2) {
        ML1->SetActiveLanguage(quint8(m_settings.Jezik - 1));
    }
}

void TGlavniObrazec::applyPlacement()
{
    const TWindowPlacement& p = m_settings.PozOkna;
    setLogHeight(qMax(2, p.WinSplit1));
    setLocalWidth(qMax(1, p.WinSplit2));
    if (!p.Stored) {
        return; // fitFirstWindow, once the local rows are read
    }
    QRect bounds(p.Levo, p.Zgoraj, qMax(200, p.Sirina), qMax(150, p.Visina));
    const QScreen* screen = QGuiApplication::screenAt(bounds.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        // A window saved on a screen that is gone, or larger than this one, is brought back onto it.
        const QRect area = screen->availableGeometry();
        bounds.setSize(bounds.size().boundedTo(area.size()));
        bounds.moveLeft(qBound(area.left(), bounds.left(), area.right() - bounds.width() + 1));
        bounds.moveTop(qBound(area.top(), bounds.top(), area.bottom() - bounds.height() + 1));
    }
    move(bounds.topLeft());
    resize(bounds.size());
    centralWidget()->layout()->activate();
    if (p.Max) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void TGlavniObrazec::fitMeter()
{
    if (ML1 != nullptr) {
        m_meter->SetLeftFormat(ML1->GetWord(QStringLiteral("@idPreostalo")));
        m_meterLabel->setAccessibleName(ML1->GetWord(QStringLiteral("@idPrenosMeter")));
    }
    m_meterLabel->setMinimumWidth(m_meterLabel->fontMetrics().horizontalAdvance(m_meter->WidestText()) + 8);
}

void TGlavniObrazec::fitFirstWindow()
{
    m_local->FitColumns();
    FTPDat1->setFont(m_paneFont); // as the first show will: the columns are measured in it
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // The window manager's frame is not known before the first show: leave room for a usual one.
    const QSize frame(16, 48);
    const int local = m_local->ColumnsWidth();
    if (local + WinSplit2->width() + FTPDat1->ColumnsWidth() > area.width() - frame.width()) {
        // Short of room: the description column, which no listing fills, gives up all but its caption.
        FTPDat1->setColumnWidth(TRemoteModel::kDescriptionColumn,
                                NeededColumnWidth(*FTPDat1, TRemoteModel::kDescriptionColumn));
    }
    const int remote = FTPDat1->ColumnsWidth();
    // The third status panel shows the bytes of a transfer: room for two 10-digit sizes.
    const int bytesPanel =
        QFontMetrics(statusBar()->font()).horizontalAdvance(QStringLiteral("9,999,999,999/9,999,999,999")) +
        12;
    const int wanted =
        qMax(local + WinSplit2->width() + remote, local + FTPDat1->columnWidth(0) + bytesPanel);
    const int width = qMin(wanted, area.width() - frame.width());
    // On a narrow screen both panes give up room in proportion to what they need.
    setLocalWidth(wanted <= width ? local : qMax(1, (width - WinSplit2->width()) * local / (local + remote)));
    const int height = qBound(354, area.height() * 3 / 4, area.height() - frame.height());
    resize(width, height);
    move(area.left() + (area.width() - width - frame.width()) / 2,
         area.top() + (area.height() - height - frame.height()) / 2);
    centralWidget()->layout()->activate();
}

void TGlavniObrazec::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
        if (OnFirstShown) {
            OnFirstShown();
        }
        // Without a window manager no activation may come: the first-activation
        // steps then run right after the first show.
        QTimer::singleShot(500, this, [this] { FormActivate(); });
    }
}

void TGlavniObrazec::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_shown) {
        FormActivate();
    }
}

void TGlavniObrazec::FormShow()
{
    FTPDat1->setFont(m_paneFont);
    m_queuePane->SetListFont(m_paneFont);
}

void TGlavniObrazec::applyPaneFont()
{
    // Name, size and colour are the panes' font; the style belongs to the local list only.
    const TPaneFont& stored = m_settings.Pisava;
    m_paneFont = QFont(stored.Ime);
    if (stored.Velikost > 0) {
        m_paneFont.setPointSize(stored.Velikost);
    }
    FTPInfo1->setFont(m_paneFont);
    QFont local = m_paneFont;
    DecodeFontStyle(stored.Stil, local);
    m_local->List()->setFont(local);
    // The stored colour is the font's colour in both lists.
    for (QWidget* list : {static_cast<QWidget*>(m_local->List()), static_cast<QWidget*>(FTPDat1)}) {
        QPalette palette = list->palette();
        palette.setColor(QPalette::Text, FromWinColor(stored.Barva));
        list->setPalette(palette);
    }
}

void TGlavniObrazec::setPaneFont(const QFont& font)
{
    m_paneFont = font;
    FTPInfo1->setFont(font);
    m_local->List()->setFont(font);
    FTPDat1->setFont(font);
    m_queuePane->SetListFont(font);
}

void TGlavniObrazec::FormActivate()
{
    if (m_activated) {
        return;
    }
    m_activated = true;
    m_sites.OpenSiteList();
    FTPDat1->SetLanguage(ML1->ActiveLanguage());
    m_transfers->OfferUnfinished();
}

void TGlavniObrazec::ML1AfterLanguageChanged()
{
    // Qt's own texts, dates and the desktop's file kinds follow the interface's language.
    SetInterfaceLanguage(ML1->ActiveLanguage());
    RereadShellTexts();
    m_log.ReadPrefixes([this](const QString& key) { return ML1->GetWord(key); });
    m_local->SetLanguage(ML1->ActiveLanguage());
    if (!m_local->DirectoryBytes().isEmpty()) {
        m_local->Refresh(); // kinds and dates in the new language
    }
    m_local->FitColumns();
    fitMeter();
    if (m_activated) { // the remote captions are first set at the first activation
        FTPDat1->SetLanguage(ML1->ActiveLanguage());
    }
    m_ukazi.Reapply();
    if (m_queuePane != nullptr) {
        m_queuePane->Retranslate();
    }
    if (m_view) {
        m_view->RestoreCaption();
    }
    // Screen readers read the tool buttons by their hints, which the switch rewrote.
    for (TOfficeButton* button : {m_ukazi.HitriGumb1, m_ukazi.HitriGumb2, m_ukazi.STOPFTP,
                                  m_ukazi.GumbTipPrenosa, m_ukazi.HitriGumb5, m_ukazi.OfficeButton1}) {
        button->setAccessibleName(button->Hint());
    }
    for (QWidget* pane : hintedPanes()) {
        pane->setAccessibleName(pane->toolTip());
    }
}

std::array<QWidget*, 4> TGlavniObrazec::hintedPanes() const
{
    return {FTPInfo1, m_local->List(), FTPDat1, m_local->Drive()};
}

void TGlavniObrazec::ToggleHints()
{
    if (m_settings.PrikNam) {
        m_hintsShown = !m_hintsShown;
    }
}

void TGlavniObrazec::setLocalWidth(int width)
{
    m_local->setFixedWidth(qMax(1, width));
}

void TGlavniObrazec::setLogHeight(int height)
{
    FTPInfo1->setFixedHeight(qMax(2, height));
}

void TGlavniObrazec::ScrollBox1Resize()
{
    const int width = m_local->width();
    m_panels[0]->setFixedWidth(qMax(1, width));
    if (width != 1) {
        m_ukazi.OknoSkrijLok->setChecked(false);
    }
    if (centralWidget()->width() != width + 18) {
        m_ukazi.OknoSkrijFTP->setChecked(false);
    }
}

void TGlavniObrazec::followRemoteColumn()
{
    m_panels[1]->setFixedWidth(qMax(1, FTPDat1->columnWidth(0)));
}

void TGlavniObrazec::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    followRemoteColumn();
    // The queue takes its share of what is under the log, so the file panes keep theirs.
    m_queuePane->FitHeight(centralWidget()->height() - MPanel1->height() - Panel4->height() -
                           FTPInfo1->height());
}

bool TGlavniObrazec::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip && !m_hintsShown) {
        return true; // hints of the four panes are off
    }
    if (event->type() == QEvent::Resize) {
        if (watched == m_local) {
            ScrollBox1Resize();
        } else if (watched == MPanel1) {
            m_ukazi.KvadoLogo->move(MPanel1->width() - m_ukazi.KvadoLogo->width() - 2, 2);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TGlavniObrazec::closeEvent(QCloseEvent* event)
{
    m_closing = true;
    m_transfers->Scheduler().StopAll();
    m_transfers->SaveUnfinished();
    m_session->CloseConnection();
    TWindowState state;
    state.maximised = isMaximized();
    state.bounds = QRect(pos(), size());
    state.logHeight = FTPInfo1->height();
    state.localWidth = m_local->width();
    state.localListFont = m_local->List()->font();
    state.localListFontColour = m_settings.Pisava.Barva;
    // The keyring's answers on their way decide what the files keep: a moment for them, never more.
    const QDeadlineTimer keyringDeadline(3000);
    while ((m_sites.PasswordsPending() || m_savedLogin.Pending()) && !keyringDeadline.hasExpired()) {
        ProcessEventsOrSleep(50);
    }
    try {
        m_posSaver.SaveSettings(m_settings, state);
    } catch (const Exception& error) {
        m_prompts->ErrorBox(error.Message());
    }
    HidePrepisiDialog();
    event->accept();
}
