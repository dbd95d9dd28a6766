#pragma once
// TGlavniObrazec: Kvado's main window. It composes the panes (tool panel,
// progress bar, session log, local pane, remote list, status line), owns the
// run-time state (settings, site list, session log, word table ML1, the
// session engine through TSessionController) and keeps the layout rules.
// Commands are TGlavniUkazi's actions; their handlers live in
// mainwindowcommands.cpp.
//
// Life cycle and contract:
// - The constructor builds the widgets only. FormCreate() then runs the
//   creation steps (settings, language question, geometry, local start
//   directory, session, log file); the program calls it once, before the
//   window is shown. AskLanguage (default: the language window) is asked
//   when no language was ever chosen; BeforeLanguageQuestion runs just before
//   (the start-up closes its splash there).
// - FormShow runs at the first show; FormActivate's steps (site list read,
//   remote column captions) run exactly once: at the first activation, or
//   right after the first show when no activation comes (no window manager).
// - Closing (closeEvent) closes the control connection (no QUIT), saves the
//   settings and hides the file-exists dialog; a running transfer or lookup
//   is ended by the closed connection, so nested waits unwind before the
//   window is destroyed. The destructor writes the site list when it changed
//   and closes the log file with its banner; either failure is reported and
//   does not stop the other. The queue's running items are stopped at
//   closing and its unfinished items written to the queue file.
// - The transfer queue (TTransferController, TQueuePane under the file
//   panes, TPaneDragDrop on the panes): the pane is hidden while the queue is
//   empty and shown when a job of the queue adds items (the described
//   transfers in the session are recorded as items but keep the described
//   layout); Okno's OknoSkrijVrsto hides and shows it. Its totals stand in
//   the status line while a job of the queue runs. At the first activation,
//   after the site list, a saved queue is offered.
// - Prompts (message, input and error boxes) go through the TPrompts given to
//   the constructor (tests pass a recorder); the engine's view is TSejaOkno.
#include "app/actions.h"
#include "app/prompts.h"
#include "ftp/sejaview.h"
#include "ftp/sessionlog.h"
#include "sites/possaver.h"
#include "sites/savedlogin.h"
#include "sites/settings.h"
#include "sites/sitelist.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QTimer;
class TMultiLang;
class TPanelManager;
class TMPanel;
class TCustomPanel;
class ProgressBar3D;
class TWinSplit;
class TLogView;
class TLocalPane;
class TRemotePane;
class TSejaOkno;
class TSessionController;
class TTransferMeter;
class TPrepisiDialog1;
class TQueuePane;
class TPaneDragDrop;
class TTransferController;
struct TExistsAnswer;
struct TExistsQuestion;
class TSistemObrazec;
class TPasswordStore;
class TDesktopNotifier;

class TGlavniObrazec : public QMainWindow {
    Q_OBJECT
public:
    // prompts: nullptr for real modal boxes; a test's recorder must outlive the window.
    explicit TGlavniObrazec(TPrompts* prompts = nullptr, QWidget* parent = nullptr);
    ~TGlavniObrazec() override; // FormDestroy

    void FormCreate();

    // The keyring for saved passwords (start-up gives the desktop's); without
    // one they stay in the files, as described. Call before FormCreate; the
    // store outlives the window.
    void SetPasswordStore(TPasswordStore* store);

    // Creates the dialogs that live until the end: the file-exists dialog and
    // the site manager with its editor (the start-up calls it after FormCreate).
    void CreateDialogs();

    // Returns the Jezik value the language question stored (0: none). Default: the language window.
    std::function<quint8()> AskLanguage = [this] { return AskLanguageWindow(); };
    std::function<void()> BeforeLanguageQuestion;
    std::function<void()> OnFirstShown; // after the first show

    // Parts, for the start-up and for tests.
    TSettings& Settings() { return m_settings; }
    TSiteList& Sites() { return m_sites; }
    TSessionLog& Log() { return m_log; }
    TMultiLang* Words() { return ML1; }
    TSessionController& Session() { return *m_session; }
    TGlavniUkazi& Ukazi() { return m_ukazi; }
    TTransferController& Transfers() { return *m_transfers; }
    TQueuePane* QueuePane() { return m_queuePane; }
    QLabel* TotalsLabel() { return m_totalsLabel; }
    TLocalPane* LocalPane() { return m_local; }
    TRemotePane* RemotePane() { return FTPDat1; }
    TLogView* LogView() { return FTPInfo1; }
    QLabel* StatusPanel(int panel) { return m_panels[panel]; }
    ProgressBar3D* Gauge() { return Gauge1; }
    bool FirstActivationDone() const { return m_activated; } // the site list has been read

    // Commands (mainwindowcommands.cpp).
    void HitriGumb1Click();    // quick connect
    void OfficeButton1Click(); // site manager, then connect
    void FTPMoznostiClick();   // options
    void HelpAbout();
    void OknoSkrijLokClick();
    void OknoSkrijFTPClick();
    void OknoSkrijInfoClick();
    void OknoSkrijVrstoClick();
    void PlavajociMenu1Popup();
    void PlavajociMenu2Popup();
    void Efekti(int event);
    // Connects to an ftp:// or ftps:// link as quick connect would (mainwindowurl.cpp): a password the
    // link lacks is asked for a named user; a link to a file offers to download it into the local folder
    // once the server has listed its folder; a bad link gets a message and changes nothing.
    void OpenFtpUrl(const QString& link);
    void ToggleHints();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanes();
    void connectCommands();
    void chooseLanguage();
    void applyPlacement();
    // With no stored placement: wide enough for every column of both panes (as far as the
    // screen's available area allows), three quarters of its height, centred.
    void fitFirstWindow();
    void fitMeter(); // the meter's time-left word and a width for its longest text
    void FormShow();
    void FormActivate();
    void ML1AfterLanguageChanged();
    void ScrollBox1Resize();
    void followRemoteColumn();
    void setLocalWidth(int width);
    void setLogHeight(int height);
    void applyPaneFont(); // the stored font of the panes
    void setPaneFont(const QFont& font);
    // The four panes whose hints ToggleHints switches: FTPInfo1, LokalneDat1, FTPDat1, Medij1.
    std::array<QWidget*, 4> hintedPanes() const;
    bool askConnectWhileConnected(const QString& question);
    void connectToSite(int site);
    void writeSitesAndBanner();
    void openLogFile(); // OdpriDnevnik; a file that cannot be opened is reported

    quint8 AskLanguageWindow();
    TPrepisiIzbira PrepisiDialog();
    TExistsAnswer AskExists(const TExistsQuestion& question);
    void buildQueue();
    void queueChanged();
    void showQueue();
    void showTotals();
    // The taskbar's progress while transfers run; when a run longer than 10 s ends while the window
    // is not active, a desktop notification of what was transferred or what failed (Obvestila on).
    void noticeTransfers();
    void HidePrepisiDialog();
    void followUrlName(); // after a listing: the file or folder the link named

    TSettings m_settings;
    TPosSaver m_posSaver;
    TSiteList m_sites;
    TSavedLogin m_savedLogin{m_settings, nullptr};
    int m_siteAwaitingPassword = 0; // a connect waits for this site's password from the keyring
    TSessionLog m_log;
    std::unique_ptr<TPrompts> m_ownPrompts;
    TPrompts* m_prompts;
    TMultiLang* ML1 = nullptr;
    TGlavniUkazi m_ukazi;

    TPanelManager* PanelManager1 = nullptr;
    TMPanel* MPanel1 = nullptr;
    TCustomPanel* Panel4 = nullptr;
    ProgressBar3D* Gauge1 = nullptr;
    TLogView* FTPInfo1 = nullptr;
    TWinSplit* WinSplit1 = nullptr;
    TLocalPane* m_local = nullptr; // ScrollBox1
    TWinSplit* WinSplit2 = nullptr;
    TRemotePane* FTPDat1 = nullptr;
    QLabel* m_panels[3] = {};
    QLabel* m_meterLabel = nullptr; // bytes and speed of the running transfer
    std::unique_ptr<TTransferMeter> m_meter;

    std::unique_ptr<TSejaOkno> m_view;
    std::unique_ptr<TSessionController> m_session;
    std::unique_ptr<TTransferController> m_transfers;
    TQueuePane* m_queuePane = nullptr;
    TPaneDragDrop* m_dragDrop = nullptr;
    QLabel* m_totalsLabel = nullptr; // the queue's totals while a job runs
    QTimer* m_totalsTimer = nullptr;
    bool m_queueShown = false; // the pane is shown (for a job, or by the Okno command)
    TPrepisiDialog1* m_prepisi = nullptr;
    TSistemObrazec* m_sistem = nullptr;

    std::unique_ptr<TDesktopNotifier> m_notifier;
    QElapsedTimer m_runClock; // since the transfers of this run began
    int m_runDone = 0;        // files done and failed before it
    int m_runFailed = 0;
    bool m_runOn = false;
    QString m_urlName; // the last part of the link being opened, until its folder is listed
    QFont m_paneFont;
    bool m_hintsShown = true;
    bool m_shown = false;
    bool m_activated = false;
    bool m_closing = false;
};
