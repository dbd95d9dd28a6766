// A small window built from Kvado's painted controls, for checking the
// end-to-end harness and the controls' accessibility over the real bus: a
// tool panel with a flat button, a dome button and a progress bar, a menu
// command with Ctrl+P, and a modal form with a field and a 3D button. Every
// act is written as one line to the file named by the first argument.
#include "widgets/accessibility.h"
#include "widgets/button3d.h"
#include "widgets/hemispherebutton.h"
#include "widgets/mpanel.h"
#include "widgets/officebutton.h"
#include "widgets/panelmanager.h"
#include "widgets/progressbar3d.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QVBoxLayout>

namespace {

void Record(const QString& line)
{
    QFile file(QCoreApplication::arguments().value(1));
    if (file.open(QIODevice::Append))
        file.write(line.toUtf8() + '\n');
}

void AskHost(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Hitra Povezava"));
    auto* host = new QLineEdit(&dialog);
    host->setAccessibleName(QStringLiteral("Naslov FTP strežnika"));
    auto* connect = new TButton3D(&dialog);
    connect->SetCaption(QStringLiteral("&Poveži"));
    connect->setDefault(true);
    QObject::connect(connect, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(host);
    layout->addWidget(connect);
    host->setFocus();
    if (dialog.exec() == QDialog::Accepted)
        Record(QStringLiteral("connect ") + host->text());
    else
        Record(QStringLiteral("cancel"));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("KvadoStandIn"));
    InstallAccessibility();

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kvado stand-in"));
    auto* ftp = window.menuBar()->addMenu(QStringLiteral("&FTP"));
    ftp->addAction(QStringLiteral("&Poveži"), QKeySequence(QStringLiteral("Ctrl+P")), &window,
                   [&window] { AskHost(&window); });
    ftp->addAction(QStringLiteral("Iz&hod"), &window, &QWidget::close);

    auto* central = new QWidget;
    auto* manager = new TPanelManager(central);
    manager->setGeometry(0, 0, 480, 42);
    auto* tools = new TMPanel(manager);
    tools->SetTabCaption(QStringLiteral("Orodja"));
    tools->setGeometry(0, 0, 460, 42);
    manager->OnPanelChange = [manager](TPanelManager*, QWidget* panel) {
        Record(manager->IsCollapsed(panel) ? QStringLiteral("collapsed") : QStringLiteral("shown"));
    };
    auto* quick = new TOfficeButton(tools);
    quick->setGeometry(20, 2, 36, 36);
    quick->SetHint(QStringLiteral("Poveže s FTP strežnikom"));
    quick->OnClick = [&window](QObject*) { AskHost(&window); };
    auto* dome = new THemisphereButton(tools);
    dome->setGeometry(60, 4, 32, 32);
    dome->SetCaption(QStringLiteral("Stop"));
    dome->OnClick = [](QObject*) { Record(QStringLiteral("stop")); };
    auto* gauge = new ProgressBar3D(central);
    gauge->setGeometry(0, 60, 300, 20);
    gauge->SetProgress(40);
    window.setCentralWidget(central);
    window.resize(480, 160);
    window.show();
    return app.exec();
}
