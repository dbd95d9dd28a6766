#include "app/actions.h"

#include "widgets/gifimage.h"
#include "widgets/mpanel.h"
#include "widgets/officebutton.h"

#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>

namespace {

enum TToolIcon { tiConnect, tiDisconnect, tiStop, tiType, tiSettings, tiSites };

// The tool buttons' pictures, drawn here so that Kvado ships no picture from
// elsewhere, at the screen's density (24 x 24 device-independent pixels). The
// top-left pixel holds the transparent colour.
QImage ToolIcon(TToolIcon icon, qreal ratio)
{
    const int side = qRound(24 * ratio);
    QImage image(side, side, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(QColor(255, 0, 255));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor dark(20, 40, 90);
    p.setPen(QPen(dark, 1.5));
    switch (icon) {
    case tiConnect: // two plugs joined
    case tiDisconnect: {
        const bool joined = icon == tiConnect;
        p.setBrush(QColor(60, 160, 60));
        p.drawRoundedRect(QRectF(2, 8, 8, 8), 2, 2);
        p.setBrush(joined ? QColor(60, 160, 60) : QColor(200, 60, 50));
        p.drawRoundedRect(QRectF(joined ? 10 : 14, 8, 8, 8), 2, 2);
        p.drawLine(QPointF(joined ? 18 : 22, 12), QPointF(23, 12));
        p.drawLine(QPointF(1, 12), QPointF(2, 12));
        if (!joined) {
            p.setPen(QPen(QColor(200, 60, 50), 2));
            p.drawLine(QPointF(11, 5), QPointF(13, 19));
        }
        break;
    }
    case tiStop: { // an octagon
        QPainterPath path;
        const double r = 10, c = 12;
        for (int i = 0; i < 8; ++i) {
            const double a = (22.5 + 45.0 * i) * M_PI / 180.0;
            const QPointF point(c + r * std::cos(a), c + r * std::sin(a));
            i == 0 ? path.moveTo(point) : path.lineTo(point);
        }
        path.closeSubpath();
        p.setBrush(QColor(210, 40, 40));
        p.drawPath(path);
        p.setPen(QPen(Qt::white, 2.5));
        p.drawLine(QPointF(8, 12), QPointF(16, 12));
        break;
    }
    case tiType: // a page with lines
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 3, 13, 18));
        p.drawLine(QPointF(8, 8), QPointF(15, 8));
        p.drawLine(QPointF(8, 12), QPointF(15, 12));
        p.drawLine(QPointF(8, 16), QPointF(13, 16));
        break;
    case tiSettings: { // a cog
        p.setBrush(QColor(120, 130, 150));
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(12, 12);
            p.rotate(45.0 * i);
            p.drawRect(QRectF(-2, -11, 4, 5));
            p.restore();
        }
        p.drawEllipse(QPointF(12, 12), 7.5, 7.5);
        p.setBrush(QColor(255, 0, 254));
        p.drawEllipse(QPointF(12, 12), 3, 3);
        break;
    }
    case tiSites: // a card index
        p.setBrush(QColor(240, 220, 150));
        p.drawRect(QRectF(3, 6, 18, 14));
        p.setBrush(QColor(250, 235, 180));
        p.drawRect(QRectF(5, 3, 10, 5));
        p.drawLine(QPointF(6, 12), QPointF(18, 12));
        p.drawLine(QPointF(6, 16), QPointF(15, 16));
        break;
    }
    return image;
}

} // namespace

QAction* TGlavniUkazi::action(const char* name, const QString& caption, const QKeySequence& shortcut)
{
    auto* a = new QAction(caption, m_window);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(shortcut);
    return a;
}

QMenu* TGlavniUkazi::menu(const char* name, const QString& title)
{
    auto* m = new QMenu(title, m_window);
    m->setObjectName(QString::fromLatin1(name));
    return m;
}

TOfficeButton* TGlavniUkazi::button(const char* name, const QString& hint, int icon, int x, int width)
{
    auto* b = new TOfficeButton(m_panel);
    b->setObjectName(QString::fromLatin1(name));
    b->SetBitmap(ToolIcon(TToolIcon(icon), m_panel->devicePixelRatioF()));
    b->SetHint(hint);
    b->SetShowHint(true);
    b->setAccessibleName(hint);
    b->setGeometry(x, 3, width, 36);
    return b;
}

void TGlavniUkazi::popupOn(QWidget* pane, QMenu* popup)
{
    pane->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(pane, &QWidget::customContextMenuRequested, popup,
                     [pane, popup](const QPoint& at) { popup->popup(pane->mapToGlobal(at)); });
    // The pop-up's shortcuts work while the pane (or a child of it) has the focus.
    for (QAction* a : popup->actions()) {
        if (!a->shortcut().isEmpty()) {
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            pane->addAction(a);
        }
    }
}

void TGlavniUkazi::Build(QMainWindow* window, QWidget* remoteList, QWidget* localList, QWidget* log,
                         TMPanel* toolPanel)
{
    m_window = window;
    m_panel = toolPanel;

    FTPPovezi = action("FTPPovezi", QStringLiteral("&Poveži"), QKeySequence(Qt::CTRL | Qt::Key_P));
    Sistempovezav1 = action("Sistempovezav1", QStringLiteral("Sistem povezav"));
    FTPMoznosti = action("FTPMoznosti", QStringLiteral("&Možnosti"));
    FTPIzhod = action("FTPIzhod", QStringLiteral("Iz&hod"));
    OknoSkrijLok = action("OknoSkrijLok", QStringLiteral("Skrij &Lokalne"));
    OknoSkrijFTP = action("OknoSkrijFTP", QStringLiteral("Skrij &FTP"));
    OknoSkrijInfo = action("OknoSkrijInfo", QStringLiteral("Skrij &Informacije"));
    OknoSkrijVrsto = action("OknoSkrijVrsto", QStringLiteral("Skrij &vrsto prenosov"));
    for (QAction* a : {OknoSkrijLok, OknoSkrijFTP, OknoSkrijInfo, OknoSkrijVrsto}) {
        a->setCheckable(true);
    }
    OknoSkrijVrsto->setChecked(true); // the queue is empty
    UkazPreSFTP = action("UkazPreSFTP", QStringLiteral("Prenesi s FTP"), QKeySequence(Qt::CTRL | Qt::Key_J));
    UkazPreNaFTP = action("UkazPreNaFTP", QStringLiteral("Prenesi na FTP"));
    UkazOdpri = action("UkazOdpri", QStringLiteral("Odpri"));
    UkazIzbrisiFTP = action("UkazIzbrisiFTP", QStringLiteral("Izbriši FTP datoteko"));
    UkazIzbrisiLok = action("UkazIzbrisiLok", QStringLiteral("Izbriši lokalno datoteko"));
    UkazSkoci = action("UkazSkoci", QStringLiteral("Skoči v ..."));
    UkazUstvariFTP = action("UkazUstvariFTP", QStringLiteral("Ustvari FTP mapo"));
    UkazFTPStop = action("UkazFTPStop", QStringLiteral("Stop"));
    PomocTeme = action("PomocTeme", QStringLiteral("&Teme pomoči"));
    PomocTeme->setVisible(false);
    PomocVizitka = action("PomocVizitka", QStringLiteral("Vi&zitka"));
    PomocVizitka->setToolTip(QStringLiteral("Prikaže informacije o programu"));
    for (QAction* a : {FTPPovezi, UkazPreSFTP}) {
        a->setShortcutContext(Qt::WindowShortcut);
    }

    QMenuBar* bar = window->menuBar();
    bar->setObjectName(QStringLiteral("GlavniMenu"));
    QMenu* ftp = menu("FTPMenu", QStringLiteral("&FTP"));
    ftp->addActions({FTPPovezi, Sistempovezav1});
    ftp->addSeparator();
    ftp->addAction(FTPMoznosti);
    ftp->addSeparator();
    ftp->addAction(FTPIzhod);
    QMenu* okno = menu("OknoMenu", QStringLiteral("&Okno"));
    okno->addActions({OknoSkrijLok, OknoSkrijFTP, OknoSkrijInfo, OknoSkrijVrsto});
    QMenu* ukazi = menu("UkaziMenu", QStringLiteral("&Ukazi"));
    ukazi->addActions({UkazPreSFTP, UkazPreNaFTP, UkazOdpri});
    ukazi->addSeparator();
    ukazi->addActions({UkazIzbrisiFTP, UkazIzbrisiLok});
    ukazi->addSeparator();
    ukazi->addActions({UkazSkoci, UkazUstvariFTP});
    ukazi->addSeparator();
    ukazi->addAction(UkazFTPStop);
    QMenu* pomoc = menu("PomocMenu", QStringLiteral("&Pomoč"));
    pomoc->addActions({PomocTeme, PomocVizitka});
    for (QMenu* m : {ftp, okno, ukazi, pomoc}) {
        bar->addMenu(m);
    }

    PlavajociMenu1 = menu("PlavajociMenu1", {});
    Pla1Prenesi = action("Pla1Prenesi", QStringLiteral("Prenesi"), Qt::Key_F5);
    Pla1Izbrisi = action("Pla1Izbrisi", QStringLiteral("Izbriši"), Qt::Key_F8);
    Pla1Skoci = action("Pla1Skoci", QStringLiteral("Skoči v ..."), QKeySequence(Qt::CTRL | Qt::Key_S));
    Pla1UsMapo = action("Pla1UsMapo", QStringLiteral("Ustvari mapo"), QKeySequence(Qt::CTRL | Qt::Key_M));
    Pla1OsveziFTP = action("Pla1OsveziFTP", QStringLiteral("Osveži FTP"), Qt::Key_F2);
    Pla1IzberiVse = action("Pla1IzberiVse", QStringLiteral("Izberi vse"), QKeySequence(Qt::CTRL | Qt::Key_A));
    PlavajociMenu1->addActions({Pla1Prenesi, Pla1Izbrisi, Pla1Skoci});
    PlavajociMenu1->addSeparator();
    PlavajociMenu1->addActions({Pla1UsMapo, Pla1OsveziFTP});
    PlavajociMenu1->addSeparator();
    PlavajociMenu1->addAction(Pla1IzberiVse);
    popupOn(remoteList, PlavajociMenu1);

    PlavajociMenu2 = menu("PlavajociMenu2", {});
    Razii1 = action("Razii1", QStringLiteral("R&azišči"));
    QFont bold = Razii1->font();
    bold.setBold(true);
    Razii1->setFont(bold); // the default item
    Po1 = menu("Po1", QStringLiteral("Pogl&ed"));
    Velikeikone1 = action("Velikeikone1", QStringLiteral("V&elike ikone"));
    Maleikone1 = action("Maleikone1", QStringLiteral("M&ale ikone"));
    Seznam1 = action("Seznam1", QStringLiteral("Se&znam"));
    Podrobnosti1 = action("Podrobnosti1", QStringLiteral("Po&drobnosti"));
    auto* views = new QActionGroup(window);
    for (QAction* a : {Velikeikone1, Maleikone1, Seznam1, Podrobnosti1}) {
        a->setCheckable(true);
        views->addAction(a);
        Po1->addAction(a);
    }
    Podrobnosti1->setChecked(true);
    Pla2Prenesi = action("Pla2Prenesi", QStringLiteral("Prenesi na FTP"), Qt::Key_F5);
    Pla2Izbrisi = action("Pla2Izbrisi", QStringLiteral("Izbriši"), Qt::Key_Delete);
    Pla2Odpri = action("Pla2Odpri", QStringLiteral("Odpri / poglej"));
    Pla2Skoci = action("Pla2Skoci", QStringLiteral("Skoči v ..."), QKeySequence(Qt::CTRL | Qt::Key_S));
    Pla2UsiMapo = action("Pla2UsiMapo", QStringLiteral("Ustvari mapo"), QKeySequence(Qt::CTRL | Qt::Key_M));
    Pla2OsveziLok = action("Pla2OsveziLok", QStringLiteral("Osveži lokalne"), Qt::Key_F2);
    Pla2IzberiVse = action("Pla2IzberiVse", QStringLiteral("Izberi vse"), QKeySequence(Qt::CTRL | Qt::Key_A));
    PlavajociMenu2->addAction(Razii1);
    PlavajociMenu2->addMenu(Po1);
    PlavajociMenu2->addSeparator();
    PlavajociMenu2->addActions({Pla2Prenesi, Pla2Izbrisi, Pla2Odpri, Pla2Skoci});
    PlavajociMenu2->addSeparator();
    PlavajociMenu2->addActions({Pla2UsiMapo, Pla2OsveziLok});
    PlavajociMenu2->addSeparator();
    PlavajociMenu2->addAction(Pla2IzberiVse);
    popupOn(localList, PlavajociMenu2);

    PlavajociMenu3 = menu("PlavajociMenu3", {});
    gsSamodejno = action("gsSamodejno", QStringLiteral("Samodejno"));
    gsSlika = action("gsSlika", QStringLiteral("Slika"));
    gsBinarno = action("gsBinarno", QStringLiteral("Binarno"));
    gsTekst = action("gsTekst", QStringLiteral("Tekst"));
    auto* types = new QActionGroup(window);
    for (QAction* a : {gsSamodejno, gsSlika, gsBinarno, gsTekst}) {
        a->setCheckable(true);
        types->addAction(a);
        PlavajociMenu3->addAction(a);
    }
    gsSamodejno->setChecked(true);

    PlavajociMenu4 = menu("PlavajociMenu4", {});
    Kopiraj1 = action("Kopiraj1", QStringLiteral("&Kopiraj"));
    Izberivse1 = action("Izberivse1", QStringLiteral("Izberi &vse"));
    PlavajociMenu4->addAction(Kopiraj1);
    PlavajociMenu4->addSeparator()->setVisible(false);
    PlavajociMenu4->addAction(Izberivse1);
    Izberivse1->setVisible(false);
    popupOn(log, PlavajociMenu4);

    HitriGumb1 = button("HitriGumb1", QStringLiteral("Poveže s FTP strežnikom"), tiConnect, 20);
    HitriGumb2 = button("HitriGumb2", QStringLiteral("Prekine povezavo"), tiDisconnect, 54);
    STOPFTP = button("STOPFTP", QStringLiteral("Prekine prenos datotek(e)"), tiStop, 88);
    GumbTipPrenosa = button("GumbTipPrenosa", QStringLiteral("Izbere tip prenosa datotek"), tiType, 122, 70);
    GumbTipPrenosa->SetLayout(TExplorerButtonLayout::blBitmapLeft);
    GumbTipPrenosa->SetDropDownMenu(PlavajociMenu3);
    HitriGumb5 = button("HitriGumb5", QStringLiteral("Nastavitve"), tiSettings, 196);
    OfficeButton1 = button("OfficeButton1", QStringLiteral("Sistem povezav"), tiSites, 230);
    SetTransferTypeShown(0);

    KvadoLogo = new TGIFImage(toolPanel);
    KvadoLogo->setObjectName(QStringLiteral("KvadoLogo"));
    KvadoLogo->setFixedSize(44, 37);
    KvadoLogo->setAccessibleName(QStringLiteral("Kvado"));
    KvadoLogo->setCursor(Qt::PointingHandCursor);
}

void TGlavniUkazi::SetTransferTypeShown(int type)
{
    static const char* const captions[4] = {"Auto", "Slika", "Bin", "Tekst"};
    if (type < 0 || type > 3) {
        return;
    }
    m_type = type;
    GumbTipPrenosa->SetCaption(QString::fromLatin1(captions[type]));
    QAction* items[4] = {gsSamodejno, gsSlika, gsBinarno, gsTekst};
    items[type]->setChecked(true);
}
