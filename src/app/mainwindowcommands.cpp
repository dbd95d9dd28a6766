// The main window's commands: menus, pop-ups, tool buttons, splitters and the
// Okno check marks. The remote commands go to the session engine, the local
// ones to the local pane.
#include "app/localpane.h"
#include "app/logview.h"
#include "app/mainwindow.h"
#include "app/remotepane.h"
#include "app/sessioncontroller.h"
#include "app/transfercontroller.h"
#include "files/filelist.h"
#include "lang/multilang.h"
#include "widgets/gifimage.h"
#include "widgets/officebutton.h"
#include "widgets/winsplit.h"

#include <QLabel>

void TGlavniObrazec::connectCommands()
{
    TGlavniUkazi& u = m_ukazi;
    TFtpSeja& seja = m_session->Seja();
    auto on = [this](QAction* action, auto handler) { connect(action, &QAction::triggered, this, handler); };

    on(u.FTPPovezi, [this] { HitriGumb1Click(); });
    on(u.Sistempovezav1, [this] { OfficeButton1Click(); });
    on(u.FTPMoznosti, [this] { FTPMoznostiClick(); });
    on(u.FTPIzhod, [this] { close(); });
    on(u.OknoSkrijLok, [this] { OknoSkrijLokClick(); });
    on(u.OknoSkrijFTP, [this] { OknoSkrijFTPClick(); });
    on(u.OknoSkrijInfo, [this] { OknoSkrijInfoClick(); });
    on(u.OknoSkrijVrsto, [this] { OknoSkrijVrstoClick(); });
    // Transfers go through the queue's controller: a selection of files in the
    // session still runs the described commands.
    on(u.UkazPreSFTP, [this] { m_transfers->DownloadSelection(); });
    on(u.UkazPreNaFTP, [this] { m_transfers->UploadSelection(); });
    on(u.UkazOdpri, [this] { m_local->Odpri(); });
    on(u.UkazIzbrisiFTP, [&seja] { seja.Pla1IzbrisiClick(); });
    on(u.UkazIzbrisiLok, [this] { m_local->Pla2IzbrisiClick(); });
    on(u.UkazSkoci, [&seja] { seja.Pla1SkociClick(); });
    on(u.UkazUstvariFTP, [&seja] { seja.Pla1UsMapoClick(); });
    on(u.UkazFTPStop, [this] { m_transfers->Stop(); });
    on(u.PomocVizitka, [this] { HelpAbout(); });

    on(u.Pla1Prenesi, [this] { m_transfers->DownloadSelection(); });
    on(u.Pla1Izbrisi, [&seja] { seja.Pla1IzbrisiClick(); });
    on(u.Pla1Skoci, [&seja] { seja.Pla1SkociClick(); });
    on(u.Pla1UsMapo, [&seja] { seja.Pla1UsMapoClick(); });
    on(u.Pla1OsveziFTP, [&seja] { seja.Pla1OsveziFTPClick(); });
    // One selection range, whatever the length of the listing; ".." stays out.
    on(u.Pla1IzberiVse, [this] { FTPDat1->SelectAllButParent(); });
    connect(u.PlavajociMenu1, &QMenu::aboutToShow, this, [this] { PlavajociMenu1Popup(); });

    on(u.Razii1, [this] { m_local->Razii1Click(); });
    on(u.Velikeikone1, [this] { m_settings.TPogledaLok = quint8(m_local->SetView(1)); });
    on(u.Maleikone1, [this] { m_settings.TPogledaLok = quint8(m_local->SetView(2)); });
    on(u.Seznam1, [this] { m_settings.TPogledaLok = quint8(m_local->SetView(3)); });
    on(u.Podrobnosti1, [this] { m_settings.TPogledaLok = quint8(m_local->SetView(4)); });
    on(u.Pla2Prenesi, [this] { m_transfers->UploadSelection(); });
    on(u.Pla2Izbrisi, [this] { m_local->Pla2IzbrisiClick(); });
    on(u.Pla2Odpri, [this] { m_local->Odpri(); });
    on(u.Pla2Skoci, [this] { m_local->Pla2SkociClick(); });
    on(u.Pla2UsiMapo, [this] { m_local->Pla2UsiMapoClick(); });
    on(u.Pla2OsveziLok, [this] { m_local->Pla2OsveziLokClick(); });
    on(u.Pla2IzberiVse, [this] { m_local->Pla2IzberiVseClick(); });
    connect(u.PlavajociMenu2, &QMenu::aboutToShow, this, [this] { PlavajociMenu2Popup(); });

    on(u.gsSamodejno, [&seja] { seja.gsSamodejnoClick(); });
    on(u.gsSlika, [&seja] { seja.gsSlikaClick(); });
    on(u.gsBinarno, [&seja] { seja.gsBinarnoClick(); });
    on(u.gsTekst, [&seja] { seja.gsTekstClick(); });
    on(u.Kopiraj1, [this] { FTPInfo1->Copy(); });

    u.HitriGumb1->OnClick = [this](QObject*) { HitriGumb1Click(); };
    u.HitriGumb2->OnClick = [this](QObject*) { m_session->Disconnect(); };
    u.STOPFTP->OnClick = [this](QObject*) { m_transfers->Stop(); };
    u.HitriGumb5->OnClick = [this](QObject*) { FTPMoznostiClick(); };
    u.OfficeButton1->OnClick = [this](QObject*) { OfficeButton1Click(); };
    u.KvadoLogo->OnClick = [this](QObject*) { HelpAbout(); };

    FTPDat1->OnSelectionChanged = [this, &seja] {
        seja.FTPDat1Change();
        PlavajociMenu1Popup();
    };
    FTPDat1->OnActivate = [this, &seja] {
        // In the background a file's double-click is a job of the queue; a folder is entered as ever.
        const int row = FTPDat1->FocusedRow();
        if (m_transfers->Connections() > 0 && row > 0 && row < seja.Seznam().Count() &&
            seja.Seznam().At(row).kind == ekFile) {
            m_transfers->Download({seja.Seznam().At(row)}, seja.TrenutnaMapa(), m_local->Directory());
            return;
        }
        seja.FTPDat1DblClick();
    };
    FTPDat1->OnBackspace = [&seja] { seja.FTPDat1Backspace(); };
    FTPDat1->OnEdited = [&seja] { seja.FTPDat1Edited(); };
    FTPDat1->OnColumnResized = [this] { followRemoteColumn(); };
    m_local->OnSelectionCountChanged = [this](TLocalPane*, int) {
        m_panels[0]->setText(QStringLiteral("(%1)").arg(m_local->SelectedCount()));
        PlavajociMenu2Popup();
    };

    WinSplit1->OnBeginSplit = [this](TWinSplit*) {
        WinSplit1->SetMaxTargetSize(unsigned(qMax(2, centralWidget()->height() - 105)));
        ToggleHints();
    };
    WinSplit1->OnEndSplit = [this](TWinSplit*) { ToggleHints(); };
    WinSplit2->OnBeginSplit = [this](TWinSplit*) {
        WinSplit2->SetMaxTargetSize(unsigned(qMax(1, centralWidget()->width() - 18)));
        ToggleHints();
    };
    WinSplit2->OnEndSplit = [this](TWinSplit*) {
        ToggleHints();
        // The pane is resized after this event: look at its width once that is done.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_local->width() == 1) {
                    m_ukazi.OknoSkrijLok->setChecked(true);
                }
            },
            Qt::QueuedConnection);
    };
}

void TGlavniObrazec::PlavajociMenu1Popup()
{
    m_session->Seja().PlavajociMenu1Popup();
}

void TGlavniObrazec::PlavajociMenu2Popup()
{
    TGlavniUkazi& u = m_ukazi;
    const bool usable = m_local->HasSelection() && !m_session->Seja().PrenosTece();
    for (QAction* item : {u.Pla2Prenesi, u.Pla2Izbrisi, u.Pla2Odpri, u.Razii1}) {
        item->setEnabled(usable);
    }
    if (usable && !m_session->Connected()) {
        u.Pla2Prenesi->setEnabled(false);
    }
}

void TGlavniObrazec::OknoSkrijLokClick()
{
    QAction* mark = m_ukazi.OknoSkrijLok;
    const bool wasChecked = !mark->isChecked(); // the action has already flipped its mark
    setLocalWidth(wasChecked ? 240 : 1);
    mark->setChecked(!wasChecked);
}

void TGlavniObrazec::OknoSkrijFTPClick()
{
    QAction* mark = m_ukazi.OknoSkrijFTP;
    const bool wasChecked = !mark->isChecked();
    setLocalWidth(wasChecked ? 240 : centralWidget()->width() - 18);
    mark->setChecked(!wasChecked);
}

void TGlavniObrazec::OknoSkrijInfoClick()
{
    QAction* mark = m_ukazi.OknoSkrijInfo;
    const bool wasChecked = !mark->isChecked();
    setLogHeight(wasChecked ? height() / 4 : 2);
    mark->setChecked(!wasChecked);
}
