// Renders every control of src/widgets in each of its states into one PNG per
// control: kvado_gallery <output directory>. Run it on the offscreen platform
// (QT_QPA_PLATFORM=offscreen) or under Xvfb.
#include "widgets/aslink.h"
#include "widgets/button3d.h"
#include "widgets/hemispherebutton.h"
#include "widgets/hetreeview.h"
#include "widgets/mpanel.h"
#include "widgets/officebutton.h"
#include "widgets/panel3d.h"
#include "widgets/panelmanager.h"
#include "widgets/progressbar3d.h"
#include "widgets/radiogroup.h"
#include "widgets/srichedit.h"
#include "widgets/wallpaper.h"
#include "widgets/winsplit.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <cstdio>
#include <functional>

namespace {

// One picture: a grid of labelled cells, each holding one control in one state.
class Sheet {
public:
    explicit Sheet(int columns) : m_columns(columns), m_grid(new QGridLayout(&m_page)) {}

    // A cell of the given size; the control is created by the caller as a child of it.
    QWidget* Cell(const QString& label, QSize size)
    {
        auto* cell = new QWidget(&m_page);
        auto* layout = new QVBoxLayout(cell);
        auto* holder = new QWidget(cell);
        holder->setFixedSize(size);
        layout->addWidget(holder);
        layout->addWidget(new QLabel(label, cell));
        m_grid->addWidget(cell, m_count / m_columns, m_count % m_columns);
        ++m_count;
        return holder;
    }

    // Runs after the page is shown (hover, press, drag states).
    void Then(std::function<void()> step) { m_steps.push_back(std::move(step)); }

    void Save(const QString& path)
    {
        m_page.setAutoFillBackground(true);
        m_page.show();
        QApplication::processEvents();
        for (auto& step : m_steps) {
            step();
            QApplication::processEvents();
        }
        if (!m_page.grab().save(path))
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        else
            std::printf("%s\n", qPrintable(path));
    }

private:
    QWidget m_page;
    int m_columns;
    QGridLayout* m_grid;
    int m_count = 0;
    std::vector<std::function<void()>> m_steps;
};

void Enter(QWidget* widget)
{
    const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
    QEnterEvent event(local, local, widget->mapToGlobal(local));
    QApplication::sendEvent(widget, &event);
}

void Mouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons = Qt::LeftButton)
{
    QMouseEvent event(type, pos, widget->mapToGlobal(QPointF(pos)), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A 24 x 24 picture on a magenta background (its transparent colour).
QImage SampleBitmap()
{
    QImage image(24, 24, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));
    QPainter painter(&image);
    // Colours of every shade: light, middle, dark and near black.
    painter.fillRect(3, 3, 12, 12, QColor(220, 30, 30));
    painter.setBrush(QColor(0, 0, 140));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(9, 9, 13, 13);
    painter.fillRect(2, 18, 8, 4, QColor(250, 230, 40));
    painter.fillRect(14, 2, 8, 4, QColor(10, 10, 10));
    painter.fillRect(12, 13, 5, 5, QColor(60, 60, 20));
    return image;
}

void OfficeButtons(const QString& dir)
{
    Sheet sheet(5);
    auto button = [&](const QString& label, const QString& caption, auto setup) {
        auto* b = new TOfficeButton(sheet.Cell(label, QSize(70, 56)));
        b->resize(70, 56);
        b->SetBitmap(SampleBitmap());
        b->SetCaption(caption);
        setup(b);
        return b;
    };
    button("rest (grey)", "&Poveži", [](TOfficeButton*) {});
    auto* hot = button("hot", "&Poveži", [](TOfficeButton*) {});
    sheet.Then([hot] { Enter(hot); });
    auto* pressed = button("pressed", "&Poveži", [](TOfficeButton*) {});
    sheet.Then([pressed] {
        Enter(pressed);
        Mouse(pressed, QEvent::MouseButtonPress, QPoint(30, 20));
    });
    button("down pattern", "&Poveži", [](TOfficeButton* b) {
        b->SetGroupIndex(1);
        b->SetDown(true);
    });
    button("disabled", "&Poveži", [](TOfficeButton* b) { b->setEnabled(false); });
    button("bitmap bottom", "Spodaj",
           [](TOfficeButton* b) { b->SetLayout(TExplorerButtonLayout::blBitmapBottom); });
    auto* left = button("bitmap left, hot", "Levo",
                        [](TOfficeButton* b) { b->SetLayout(TExplorerButtonLayout::blBitmapLeft); });
    sheet.Then([left] { Enter(left); });
    button("bitmap right", "Desno",
           [](TOfficeButton* b) { b->SetLayout(TExplorerButtonLayout::blBitmapRight); });
    static QMenu menu;
    menu.addAction(QStringLiteral("Auto"));
    auto* drop = button("drop-down, hot", "", [](TOfficeButton* b) { b->SetDropDownMenu(&menu); });
    sheet.Then([drop] { Enter(drop); });
    button("caption only, drop-down", "Auto", [](TOfficeButton* b) {
        b->SetBitmap(QImage());
        b->SetDropDownMenu(&menu);
    });
    button("icon only", "&Poveži",
           [](TOfficeButton* b) { b->SetOptions(b->Options() | TExplorerButtonOption::boIconOnly); });
    button("stLight", "", [](TOfficeButton* b) { b->SetShadingType(TExplorerButtonShadingType::stLight); });
    button("stDark", "", [](TOfficeButton* b) { b->SetShadingType(TExplorerButtonShadingType::stDark); });
    auto* lowered =
        button("bsLowered, hot", "Nizko", [](TOfficeButton* b) { b->SetBevelStyle(TBevelStyle::bsLowered); });
    sheet.Then([lowered] { Enter(lowered); });
    button("word wrap", "Dolg napis", [](TOfficeButton* b) {
        b->SetBitmap(QImage());
        b->SetWordWrap(true);
    });
    sheet.Save(dir + "/officebutton.png");
}

void PanelManagers(const QString& dir)
{
    Sheet sheet(2);
    auto manager = [&](const QString& label, auto setup) {
        auto* m = new TPanelManager(sheet.Cell(label, QSize(320, 130)));
        m->resize(320, 10);
        const QStringList captions{QStringLiteral("Orodja"), QStringLiteral("Prenos"), QString()};
        for (int i = 0; i < 3; ++i) {
            auto* panel = new TMPanel(m);
            panel->setGeometry(0, i * 40, 300, 30 + 5 * i);
            panel->SetTabCaption(captions[i]);
            for (int j = 0; j < 3; ++j) {
                auto* tool = new QToolButton(panel);
                tool->setText(QString::number(i * 3 + j + 1));
                tool->resize(28, 24);
            }
            panel->SetArangeButtons(true);
        }
        m->Realign();
        setup(m);
        return m;
    };
    manager("all shown", [](TPanelManager*) {});
    manager("second collapsed", [](TPanelManager* m) {
        m->Panels()[1]->hide();
        m->Realign();
    });
    manager("all collapsed", [](TPanelManager* m) {
        for (QWidget* p : m->Panels())
            p->hide();
        m->Realign();
    });
    auto* high = manager("highlighted grip", [](TPanelManager* m) { m->SetTabHighLight(true); });
    sheet.Then([high] { Mouse(high, QEvent::MouseMove, QPoint(4, 50), Qt::NoButton); });
    auto* red = manager("TabColor red, one collapsed, tab highlighted", [](TPanelManager* m) {
        m->SetTabColor(0x0000FF);
        m->SetTabHighLight(true);
        m->Panels()[0]->hide();
        m->Realign();
    });
    sheet.Then([red] { Mouse(red, QEvent::MouseMove, QPoint(20, red->height() - 4), Qt::NoButton); });
    sheet.Save(dir + "/panelmanager.png");
}

void Splitters(const QString& dir)
{
    Sheet sheet(3);
    auto scene = [&](const QString& label, bool vertical) {
        QWidget* area = sheet.Cell(label, QSize(200, 120));
        auto* target = new TCustomPanel(area);
        target->SetCaption(QStringLiteral("target"));
        target->SetBevelOuter(TPanelBevel::bvLowered);
        auto* split = new TWinSplit(area);
        if (vertical) {
            SetControlAlign(target, TAlign::alLeft);
            target->setGeometry(0, 0, 80, 120);
            split->setGeometry(80, 0, 3, 120);
        } else {
            SetControlAlign(target, TAlign::alBottom);
            target->setGeometry(0, 60, 200, 60);
            split->setGeometry(0, 57, 200, 3);
        }
        split->SetTargetControl(target);
        return split;
    };
    scene("vertical bar at rest", true);
    auto* drag = scene("dragging 30 right (inverted line)", true);
    sheet.Then([drag] {
        Mouse(drag, QEvent::MouseButtonPress, QPoint(1, 50));
        Mouse(drag, QEvent::MouseMove, QPoint(31, 50));
    });
    auto* done = scene("released: target 30 wider", true);
    sheet.Then([done] {
        Mouse(done, QEvent::MouseButtonPress, QPoint(1, 50));
        Mouse(done, QEvent::MouseMove, QPoint(31, 50));
        Mouse(done, QEvent::MouseButtonRelease, QPoint(31, 50), Qt::NoButton);
    });
    scene("horizontal bar at rest", false);
    auto* up = scene("dragging 20 up", false);
    sheet.Then([up] {
        Mouse(up, QEvent::MouseButtonPress, QPoint(50, 1));
        Mouse(up, QEvent::MouseMove, QPoint(50, -19));
    });
    sheet.Save(dir + "/winsplit.png");
}

void ProgressBars(const QString& dir)
{
    Sheet sheet(4);
    for (int progress : {0, 45, 100}) {
        auto* bar =
            new ProgressBar3D(sheet.Cell(QStringLiteral("progress %1").arg(progress), QSize(160, 40)));
        bar->resize(160, 25);
        bar->SetBarColor(0x40C040);
        bar->SetProgress(progress);
    }
    auto* plain = new ProgressBar3D(sheet.Cell(QStringLiteral("blue, no text (Gauge1)"), QSize(160, 40)));
    plain->resize(160, 20);
    plain->SetBarColor(clBlue);
    plain->SetShowText(false);
    plain->SetProgress(60);
    auto* vertical = new ProgressBar3D(sheet.Cell(QStringLiteral("vertical 45"), QSize(40, 100)));
    vertical->SetOrientation(ProgressBar3DOrientation::BarVertical);
    vertical->resize(30, 100);
    vertical->SetBarColor(0x40C040);
    vertical->SetProgress(45);
    auto* tiny = new ProgressBar3D(sheet.Cell(QStringLiteral("set to 30 x 80"), QSize(100, 40)));
    tiny->resize(30, 80);
    tiny->SetProgress(50);
    sheet.Save(dir + "/progressbar3d.png");
}

void Buttons3D(const QString& dir)
{
    Sheet sheet(4);
    auto button = [&](const QString& label, TButton3DBevel bevel, auto setup) {
        auto* b = new TButton3D(sheet.Cell(label, QSize(110, 34)));
        b->resize(110, 34);
        b->SetCaption(QStringLiteral("&Poveži"));
        QFont f = b->font();
        f.setPointSize(12);
        f.setBold(true);
        b->setFont(f);
        b->SetBevel(bevel);
        b->setFocusPolicy(Qt::NoFocus); // so that the default button is the active one
        setup(b);
        return b;
    };
    button("bvRaised", TButton3DBevel::bvRaised, [](TButton3D*) {});
    button("bvLowered", TButton3DBevel::bvLowered, [](TButton3D*) {});
    button("bvShadow", TButton3DBevel::bvShadow, [](TButton3D* b) { b->SetShadowSize(2); });
    button("bvNone", TButton3DBevel::bvNone, [](TButton3D*) {});
    button("raised, pressed", TButton3DBevel::bvRaised, [](TButton3D* b) { b->setDown(true); });
    button("raised, pressed, bvPress", TButton3DBevel::bvRaised, [](TButton3D* b) {
        b->SetPressState(TButton3DPressState::bvPress);
        b->setDown(true);
    });
    button("shadow, pressed", TButton3DBevel::bvShadow, [](TButton3D* b) {
        b->SetShadowSize(2);
        b->setDown(true);
    });
    button("disabled", TButton3DBevel::bvRaised, [](TButton3D* b) { b->setEnabled(false); });
    button("default", TButton3DBevel::bvRaised, [](TButton3D* b) { b->setDefault(true); });
    sheet.Save(dir + "/button3d.png");
}

void Panels3D(const QString& dir)
{
    Sheet sheet(3);
    auto panel = [&](const QString& label, auto setup) {
        auto* p = new TPanel3D(sheet.Cell(label, QSize(180, 110)));
        p->resize(180, 110);
        p->SetCaption(QStringLiteral("Lastnosti strežnika"));
        QFont f = p->font();
        f.setPointSize(11);
        p->setFont(f);
        setup(p);
        return p;
    };
    panel("raised caption, no title", [](TPanel3D*) {});
    panel("title, lowered frame", [](TPanel3D* p) {
        p->SetTitle(QStringLiteral("Lastnosti"));
        p->SetBevelOuter(TPanelBevel::bvLowered);
        p->SetBevelInner(TPanelBevel::bvRaised);
    });
    panel("title raised border, centred", [](TPanel3D* p) {
        p->SetTitle(QStringLiteral("Naslov"));
        p->SetBorderTitle(TPanelBevel::bvRaised);
        p->SetAlignmentTitle(TAlignment::taCenter);
        p->SetBevelCaption(TPanelText3DBevel::bvLowered3);
    });
    panel("shadow caption, top, right title", [](TPanel3D* p) {
        p->SetTitle(QStringLiteral("Desno"));
        p->SetAlignmentTitle(TAlignment::taRightJustify);
        p->SetBevelCaption(TPanelText3DBevel::bvShadow3);
        p->SetShadowSizeCaption(2);
        p->SetVertAlignment(TPanel3DVertAlignment::vaTop);
    });
    panel("disabled", [](TPanel3D* p) {
        p->SetTitle(QStringLiteral("Onemogočeno"));
        p->setEnabled(false);
    });
    panel("bottom, left aligned", [](TPanel3D* p) {
        p->SetVertAlignment(TPanel3DVertAlignment::vaBottom);
        p->SetAlignment(TAlignment::taLeftJustify);
    });
    sheet.Save(dir + "/panel3d.png");
}

void Hemispheres(const QString& dir)
{
    Sheet sheet(4);
    auto dome = [&](const QString& label, QSize size, auto setup) {
        auto* b = new THemisphereButton(sheet.Cell(label, size));
        b->resize(size);
        setup(b);
        return b;
    };
    dome("raised", QSize(80, 80), [](THemisphereButton*) {});
    dome("sunken (pressed)", QSize(80, 80), [](THemisphereButton* b) { b->SetPressed(true); });
    dome("bevels raised/lowered, width 3", QSize(80, 80), [](THemisphereButton* b) {
        b->SetBevelOuter(THemisphereBevel::hbRaised);
        b->SetBevelInner(THemisphereBevel::hbLowered);
        b->SetBevelWidth(3);
    });
    dome("caption, border, colours", QSize(120, 70), [](THemisphereButton* b) {
        b->SetCaption(QStringLiteral("Kvado"));
        b->SetBorderStyle(TBorderStyle::bsSingle);
        b->SetColorBright(0x80FFFF);
        b->SetColorDark(0x004080);
    });
    dome("caption, sunken", QSize(120, 70), [](THemisphereButton* b) {
        b->SetCaption(QStringLiteral("Kvado"));
        b->SetBorderStyle(TBorderStyle::bsSingle);
        b->SetColorBright(0x80FFFF);
        b->SetColorDark(0x004080);
        b->SetPressed(true);
    });
    sheet.Save(dir + "/hemispherebutton.png");
}

void Links(const QString& dir)
{
    Sheet sheet(3);
    auto link = [&](const QString& label, auto setup) {
        auto* l = new TASLink(sheet.Cell(label, QSize(170, 30)));
        QFont f = l->font();
        f.setPointSize(12);
        l->setFont(f);
        l->SetCaption(QStringLiteral("www.zorvek.si"));
        l->SetShadowColor(0x808080);
        setup(l);
        return l;
    };
    link("spLeftTop (default)", [](TASLink*) {});
    link("spRightBottom, size 2", [](TASLink* l) {
        l->SetShadowPos(TShadowPosition::spRightBottom);
        l->SetShadowSize(2);
    });
    auto* hot = link("mouse over (LinkColor)", [](TASLink*) {});
    sheet.Then([hot] { Enter(hot); });
    link("disabled, ShadowSize 0", [](TASLink* l) {
        l->SetShadowSize(0);
        l->setEnabled(false);
    });
    link("opaque, spRightTop", [](TASLink* l) {
        l->SetTransparent(false);
        l->SetShadowPos(TShadowPosition::spRightTop);
    });
    sheet.Save(dir + "/aslink.png");
}

void Wallpapers(const QString& dir)
{
    Sheet sheet(2);
    QPixmap tile(20, 14);
    tile.fill(QColor(200, 220, 255));
    {
        QPainter painter(&tile);
        painter.setPen(QColor(80, 120, 200));
        painter.drawLine(0, 0, 19, 13);
        painter.drawRect(0, 0, 19, 13);
    }
    auto* tiled =
        new TWallpaper(sheet.Cell(QStringLiteral("tiled, lowered bevel, border 2"), QSize(200, 70)));
    tiled->resize(200, 70);
    tiled->SetBevelOuter(TPanelBevel::bvLowered);
    tiled->SetBorderWidth(2);
    tiled->SetWallpaper(tile);
    QPixmap big(400, 300);
    big.fill(QColor(255, 230, 200));
    {
        QPainter painter(&big);
        painter.setPen(QPen(QColor(200, 80, 40), 3));
        painter.drawEllipse(5, 5, 390, 290);
    }
    auto* once = new TWallpaper(sheet.Cell(QStringLiteral("picture larger than the panel"), QSize(200, 70)));
    once->resize(200, 70);
    once->SetWallpaper(big);
    sheet.Save(dir + "/wallpaper.png");
}

void Standard(const QString& dir)
{
    Sheet sheet(3);
    auto* tree = new THETreeView(sheet.Cell(QStringLiteral("tree, SortType stText"), QSize(180, 140)));
    tree->resize(180, 140);
    for (const char* name : {"Zorvek", "arnes", "Arnes", "Kvado"}) {
        auto* node = new QTreeWidgetItem(tree, {QString::fromUtf8(name)});
        for (const char* child : {"ftp2", "ftp1"})
            new QTreeWidgetItem(node, {QString::fromUtf8(child)});
    }
    tree->expandAll();
    tree->SetSortType(TSortType::stText);
    auto* edit = new TSRichEdit(sheet.Cell(QStringLiteral("rich edit, scrolled to line 5"), QSize(180, 140)));
    edit->resize(180, 140);
    QStringList lines;
    for (int i = 0; i < 30; ++i)
        lines << QStringLiteral("Vrstica %1").arg(i);
    edit->SetText(lines.join('\n'));
    sheet.Then([edit] { edit->ScrollToLine(5); });
    auto* group = new TRadioGroup(sheet.Cell(QStringLiteral("radio group"), QSize(180, 140)));
    group->resize(180, 140);
    group->SetCaption(QStringLiteral("Način prenosa"));
    group->SetItems({QStringLiteral("Auto"), QStringLiteral("Binarno"), QStringLiteral("Besedilo")});
    group->SetItemIndex(1);
    sheet.Save(dir + "/standard.png");
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
    QDir().mkpath(dir);
    OfficeButtons(dir);
    PanelManagers(dir);
    Splitters(dir);
    ProgressBars(dir);
    Buttons3D(dir);
    Panels3D(dir);
    Hemispheres(dir);
    Links(dir);
    Wallpapers(dir);
    Standard(dir);
    return 0;
}
