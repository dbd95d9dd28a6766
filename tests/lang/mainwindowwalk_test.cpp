// The main window's word table walked over Kvado's real controls: the flat
// tool buttons take their hints through their own property, the session log
// keeps its lines, the panes get only their hints.
#include "lang/multilang.h"
#include "widgets/officebutton.h"
#include "widgets/srichedit.h"

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QTreeWidget>
#include <gtest/gtest.h>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct MainWindowSkeleton {
    QWidget form;
    QMenu* ukazi = new QMenu("&Ukazi", &form);
    QAction* stop = ukazi->addAction("Stop");
    QMenu* remote = new QMenu(&form);
    QAction* refresh = remote->addAction(QString::fromUtf8("Osveži FTP"));
    QAction* localExplore = remote->addAction(QString::fromUtf8("R&azišči"));
    TOfficeButton* connect = new TOfficeButton(&form);
    TOfficeButton* transferType = new TOfficeButton(&form);
    TSRichEdit* log = new TSRichEdit(&form);
    QTreeWidget* remoteList = new QTreeWidget(&form);
    QListView* localList = new QListView(&form);

    MainWindowSkeleton()
    {
        form.setObjectName("GlavniObrazec");
        ukazi->setObjectName("UkaziMenu");
        stop->setObjectName("UkazFTPStop");
        remote->setObjectName("PlavajociMenu1");
        refresh->setObjectName("Pla1OsveziFTP");
        localExplore->setObjectName("Razii1");
        connect->setObjectName("HitriGumb1");
        transferType->setObjectName("GumbTipPrenosa");
        transferType->SetCaption("Auto");
        log->setObjectName("FTPInfo1");
        log->SetText("                       220 pozdrav");
        remoteList->setObjectName("FTPDat1");
        localList->setObjectName("LokalneDat1");
    }
};

} // namespace

TEST(MainWindowWalk, EnglishAndBackOverKvadoControls)
{
    MainWindowSkeleton w;
    TMultiLang ml(&w.form);
    ml.LoadWords("ML1");

    ml.SetActiveLanguage(1);
    EXPECT_EQ(w.form.windowTitle(), "Kvado");
    EXPECT_EQ(w.ukazi->title(), "Co&mmand");
    EXPECT_EQ(w.stop->text(), "Stop");
    EXPECT_EQ(w.refresh->text(), "Refresh remote");
    EXPECT_EQ(w.localExplore->text(), QString::fromUtf8("R&azišči")); // stays Slovenian
    EXPECT_EQ(w.connect->Caption(), "");
    EXPECT_EQ(w.connect->Hint(), "Connects with host");
    EXPECT_EQ(w.transferType->Caption(), "Auto");
    EXPECT_EQ(w.transferType->Hint(), "Select transfer type");
    EXPECT_EQ(w.log->Text(), "                       220 pozdrav");
    EXPECT_EQ(w.log->toolTip(), "Show host progress/status");
    EXPECT_EQ(w.remoteList->toolTip(), "Remote directories and files");
    EXPECT_EQ(w.localList->toolTip(), "Local directories and files");

    ml.SetActiveLanguage(0);
    EXPECT_EQ(w.ukazi->title(), "&Ukazi");
    EXPECT_EQ(w.refresh->text(), QString::fromUtf8("Osveži FTP"));
    EXPECT_EQ(w.connect->Hint(), QString::fromUtf8("Poveže s FTP strežnikom"));
    EXPECT_EQ(w.log->toolTip(), QString::fromUtf8("Prikaz dela/stanja na FTP strežniku"));
    EXPECT_EQ(w.log->Text(), "                       220 pozdrav");
}
