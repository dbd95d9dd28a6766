#include "widgets/panelmanager.h"

#include "widgets/events.h"
#include "widgets/floatpanel.h"
#include "widgets/mpanel.h"
#include "widgets/paint3d.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

std::vector<TPanelEntry> LayoutPanelTable(const std::vector<TPanelInfo>& panels)
{
    std::vector<TPanelEntry> table;
    table.reserve(panels.size());
    for (std::size_t i = 0; i < panels.size(); ++i)
        table.push_back({panels[i].top, 0, 0, int(i), false});
    // Exchange sort: a later entry with a smaller key changes places with entry i.
    for (std::size_t i = 0; i < table.size(); ++i)
        for (std::size_t j = i + 1; j < table.size(); ++j)
            if (table[j].key < table[i].key)
                std::swap(table[i], table[j]);
    int shown = 0;
    int collapsed = 0;
    for (TPanelEntry& entry : table) {
        const TPanelInfo& panel = panels[std::size_t(entry.child)];
        if (panel.visible) {
            entry.start = shown;
            entry.end = shown + panel.height;
            entry.collapsed = false;
            shown += panel.height;
        } else {
            const int length = panel.height + panel.captionWidth;
            entry.start = collapsed;
            entry.end = collapsed + length;
            entry.collapsed = true;
            collapsed += length;
        }
    }
    return table;
}

int PanelManagerHeight(const std::vector<TPanelEntry>& table, int tabHeight, int bevelWidth,
                       TPanelBevel inner, TPanelBevel outer)
{
    int shown = 0;
    bool anyCollapsed = false;
    for (const TPanelEntry& entry : table) {
        if (entry.collapsed)
            anyCollapsed = true;
        else
            shown += entry.end - entry.start;
    }
    const int bevels = 1 + (inner != TPanelBevel::bvNone ? 1 : 0) + (outer != TPanelBevel::bvNone ? 1 : 0);
    return shown + (anyCollapsed ? tabHeight : 0) + bevelWidth * bevels;
}

int HitTestPanelTable(const std::vector<TPanelEntry>& table, int x, int y, int gripRight, int height,
                      int tabHeight)
{
    const int stripTop = height - tabHeight;
    if (x > gripRight && y < stripTop)
        return -1;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const TPanelEntry& entry = table[i];
        if (entry.collapsed) {
            const int d = y - stripTop;
            if (d < 0 || d >= tabHeight)
                continue;
            const int left = entry.start <= 0 ? entry.start : entry.start - d;
            if (x >= left && x <= entry.end - d)
                return int(i);
        } else if (y >= entry.start && y <= entry.end && x >= 0 && x <= gripRight) {
            return int(i);
        }
    }
    return -1;
}

TColor TabHighlightOf(TColor tabColor)
{
    TColor result = 0;
    for (int shift = 0; shift < 24; shift += 8)
        result |= TColor(qMin<int>(int((tabColor >> shift) & 0xFF) + 192, 255)) << shift;
    return result;
}

TPanelManager::TPanelManager(QWidget* parent) : TCustomPanel(parent)
{
    SetBevelOuter(TPanelBevel::bvNone);
    SetControlAlign(this, TAlign::alTop);
}

void TPanelManager::SetTabWidth(int width)
{
    m_tabWidth = qMax(0, width);
    Realign();
}

void TPanelManager::SetTabHeight(int height)
{
    m_tabHeight = qMax(0, height);
    Realign();
}

void TPanelManager::SetTabColor(TColor color)
{
    m_tabColor = color;
    m_tabHighColor = TabHighlightOf(color);
    update();
}

void TPanelManager::SetTabHighColor(TColor color)
{
    m_tabHighColor = color;
    update();
}

void TPanelManager::SetTabHighLight(bool on)
{
    m_tabHighLight = on;
    setMouseTracking(on);
    if (!on)
        m_highlighted = -1;
    update();
}

int TPanelManager::CaptionWidth(const QWidget* panel) const
{
    auto* mpanel = qobject_cast<const TMPanel*>(panel);
    if (!mpanel || mpanel->TabCaption().isEmpty())
        return 0;
    return fontMetrics().horizontalAdvance(mpanel->TabCaption() + QStringLiteral("a"));
}

void TPanelManager::Realign()
{
    if (m_layoutRunning)
        return;
    m_layoutRunning = true;
    m_panels.clear();
    std::vector<TPanelInfo> infos;
    for (QObject* object : children()) {
        auto* panel = qobject_cast<TCustomPanel*>(object);
        if (!panel || panel->isWindow())
            continue;
        if (m_panels.size() == MaxManagedPanels) {
            panel->hide(); // beyond the table's capacity: refused
            continue;
        }
        panel->installEventFilter(this);
        m_panels.emplace_back(panel);
        infos.push_back({panel->y(), panel->height(), !panel->isHidden(), CaptionWidth(panel)});
    }
    m_table = LayoutPanelTable(infos);

    QRect area = InnerRect();
    if (AnyShown())
        area.setLeft(area.left() + m_tabWidth);
    for (const TPanelEntry& entry : m_table)
        if (!entry.collapsed) {
            QWidget* panel = m_panels[std::size_t(entry.child)];
            panel->setGeometry(area.left(), area.top() + entry.start, qMax(area.width(), 0), panel->height());
        }
    const int height = PanelManagerHeight(m_table, m_tabHeight, BevelWidth(), BevelInner(), BevelOuter());
    if (height != this->height() || minimumHeight() != maximumHeight())
        setFixedHeight(height);
    if (m_highlighted >= int(m_table.size()))
        m_highlighted = -1;
    m_layoutRunning = false;
    update();
}

void TPanelManager::RequestLayout()
{
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
}

bool TPanelManager::event(QEvent* event)
{
    if (event->type() == QEvent::LayoutRequest) {
        Realign();
        return true;
    }
    return TCustomPanel::event(event);
}

bool TPanelManager::eventFilter(QObject* watched, QEvent* event)
{
    if (watched->parent() == this && !m_layoutRunning) {
        switch (event->type()) {
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
        case QEvent::Resize:
            RequestLayout();
            break;
        default:
            break;
        }
    }
    return TCustomPanel::eventFilter(watched, event);
}

void TPanelManager::childEvent(QChildEvent* event)
{
    TCustomPanel::childEvent(event);
    if (event->added() || event->removed())
        RequestLayout(); // a panel moved elsewhere keeps the filter, which ignores it
}

void TPanelManager::resizeEvent(QResizeEvent* event)
{
    TCustomPanel::resizeEvent(event);
    Realign();
}

bool TPanelManager::AnyShown() const
{
    return std::any_of(m_table.begin(), m_table.end(), [](const TPanelEntry& e) { return !e.collapsed; });
}

bool TPanelManager::AnyCollapsed() const
{
    return std::any_of(m_table.begin(), m_table.end(), [](const TPanelEntry& e) { return e.collapsed; });
}

int TPanelManager::GripRight() const
{
    return BevelSize() + (AnyShown() ? m_tabWidth : 0);
}

QList<QWidget*> TPanelManager::Panels() const
{
    QList<QWidget*> panels;
    for (const TPanelEntry& entry : m_table)
        if (QWidget* panel = m_panels[std::size_t(entry.child)])
            panels.append(panel);
    return panels;
}

bool TPanelManager::IsCollapsed(const QWidget* panel) const
{
    for (const TPanelEntry& entry : m_table)
        if (m_panels[std::size_t(entry.child)] == panel)
            return entry.collapsed;
    return false;
}

QWidget* TPanelManager::HitTest(int x, int y, bool act)
{
    const int hit = HitTestPanelTable(m_table, x, y, GripRight(), height(), m_tabHeight);
    if (hit < 0)
        return nullptr;
    QWidget* panel = m_panels[std::size_t(m_table[std::size_t(hit)].child)];
    if (act && panel)
        TogglePanel(panel);
    return panel;
}

void TPanelManager::TogglePanel(QWidget* panel)
{
    for (const TPanelEntry& entry : m_table) {
        if (!panel || m_panels[std::size_t(entry.child)] != panel)
            continue;
        if (entry.collapsed)
            ShowPanel(panel);
        else
            CollapsePanel(panel);
        return;
    }
}

QRect TPanelManager::HandleRect(const QWidget* panel) const
{
    for (const TPanelEntry& entry : m_table) {
        if (!panel || m_panels[std::size_t(entry.child)] != panel)
            continue;
        if (entry.collapsed)
            return QRect(entry.start, height() - m_tabHeight, entry.end - entry.start, m_tabHeight);
        return QRect(0, entry.start, GripRight() + 1, entry.end - entry.start);
    }
    return {};
}

bool TPanelManager::Ask(QWidget* panel, pnlAction action)
{
    bool canDo = true;
    FireEvent(OnPanelAction, this, panel, action, canDo);
    return canDo;
}

void TPanelManager::Tell(QWidget* panel, pnlAction action)
{
    bool canDo = true;
    FireEvent(OnPanelAction, this, panel, action, canDo);
}

void TPanelManager::ShowPanel(QWidget* panel)
{
    QPointer<QWidget> guard(panel); // the asked handler may delete the panel
    if (!Ask(panel, 0) || !guard)
        return;
    panel->show();
    Realign();
    Tell(guard, 3);
    FireEvent(OnPanelChange, this, guard.data());
}

void TPanelManager::CollapsePanel(QWidget* panel)
{
    QPointer<QWidget> guard(panel); // the asked handler may delete the panel
    if (!Ask(panel, 2) || !guard)
        return;
    panel->hide();
    Realign();
    Tell(guard, 1);
    FireEvent(OnPanelChange, this, guard.data());
}

void TPanelManager::PanelDocked(QWidget* panel)
{
    Realign();
    Tell(panel, 6);
}

void TPanelManager::FloatPanel(QWidget* panel, const QPoint& globalPos)
{
    auto* mpanel = qobject_cast<TMPanel*>(panel);
    QPointer<TMPanel> guard(mpanel); // the asked handler may delete the panel
    if (!mpanel || !mpanel->Floatable() || !Ask(panel, 4) || !guard)
        return;
    auto* window = new TFloatPanel(mpanel, this->window());
    Tell(mpanel, 5);
    window->move(globalPos);
    window->show();
}

void TPanelManager::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    setCursor(Qt::DragMoveCursor);
    m_pressPos = pos;
    m_pressedPanel = HitTest(pos.x(), pos.y(), false);
    m_dragging = true;
}

void TPanelManager::SetHighlight(int entry)
{
    if (entry == m_highlighted)
        return;
    m_highlighted = entry;
    update();
}

void TPanelManager::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging || !m_tabHighLight)
        return;
    const QPoint pos = event->position().toPoint();
    SetHighlight(HitTestPanelTable(m_table, pos.x(), pos.y(), GripRight(), height(), m_tabHeight));
}

void TPanelManager::leaveEvent(QEvent* event)
{
    TCustomPanel::leaveEvent(event);
    if (!m_dragging)
        SetHighlight(-1);
}

void TPanelManager::mouseReleaseEvent(QMouseEvent* event)
{
    unsetCursor();
    SetHighlight(-1);
    if (event->button() == Qt::LeftButton && m_dragging) {
        const QPoint pos = event->position().toPoint();
        QPointer<QWidget> pressed = m_pressedPanel;
        if (rect().contains(pos) || !pressed || !qobject_cast<TMPanel*>(pressed)) {
            const QPoint moved = pos - m_pressPos;
            if (qAbs(moved.x()) <= 4 && qAbs(moved.y()) <= 4) {
                // A click: acts on what was pressed, even when the mouse slipped off it.
                HitTest(m_pressPos.x(), m_pressPos.y(), true);
            } else if (pressed) {
                if (QWidget* target = HitTest(pos.x(), pos.y(), false)) {
                    pressed->move(pressed->x(), target->y() - 1);
                    if (IsCollapsed(pressed))
                        ShowPanel(pressed);
                    else
                        Realign();
                }
            }
        } else {
            FloatPanel(pressed, event->globalPosition().toPoint());
        }
    }
    m_dragging = false;
}

QColor TPanelManager::TabColorFor(const QWidget* panel) const
{
    auto* mpanel = qobject_cast<const TMPanel*>(panel);
    return Resolve(mpanel && !mpanel->ParentTabColor() ? mpanel->TabColor() : m_tabColor);
}

QColor TPanelManager::TabHighColorFor(const QWidget* panel) const
{
    auto* mpanel = qobject_cast<const TMPanel*>(panel);
    return Resolve(mpanel && !mpanel->ParentTabColor() ? mpanel->TabHighColor() : m_tabHighColor);
}

void TPanelManager::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintPanel(painter, false);
    const int bevel = BevelSize();
    const bool anyCollapsed = AnyCollapsed();
    if (AnyShown()) {
        const QRect column(bevel, bevel, m_tabWidth, height() - 2 * bevel - (anyCollapsed ? m_tabHeight : 0));
        for (std::size_t i = 0; i < m_table.size(); ++i) {
            QWidget* panel = m_panels[std::size_t(m_table[i].child)];
            if (m_table[i].collapsed || !panel)
                continue;
            const QRect grip = QRect(bevel, panel->y(), m_tabWidth, panel->height()).intersected(column);
            PaintGrip(painter, grip, panel, int(i) == m_highlighted);
        }
    }
    if (anyCollapsed) {
        int left = bevel;
        bool first = true;
        for (std::size_t i = 0; i < m_table.size(); ++i) {
            QWidget* panel = m_panels[std::size_t(m_table[i].child)];
            if (!m_table[i].collapsed || !panel)
                continue;
            const int length = panel->height() + CaptionWidth(panel);
            PaintTab(painter, left, left + length - 1, first, panel, int(i) == m_highlighted);
            left += length + 1;
            first = false;
        }
    }
}

void TPanelManager::PaintGrip(QPainter& painter, const QRect& grip, QWidget* panel, bool highlighted)
{
    if (grip.width() < 1 || grip.height() < 1)
        return;
    const QColor light = Resolve(clBtnHighlight);
    const QColor dark = Resolve(clBtnShadow);
    const QColor mark = TabColorFor(panel);
    painter.fillRect(grip, highlighted ? TabHighColorFor(panel) : Resolve(clBtnFace));
    QRect inner = grip;
    Frame3D(painter, inner, light, dark, 1);

    auto pixel = [&](int x, int y, const QColor& color) { painter.fillRect(x, y, 1, 1, color); };
    const int dotsLeft = grip.left() + (grip.width() - 5) / 2;
    int nextY = grip.top() + 4;
    for (; nextY <= grip.bottom() - 8; nextY += 3) {
        for (int x : {dotsLeft, dotsLeft + 3}) {
            pixel(x, nextY, light);
            pixel(x + 1, nextY + 1, mark);
        }
    }
    // A small downward triangle under the dots.
    const int triangleLeft = grip.left() + (grip.width() - 6) / 2;
    if (nextY + 2 >= grip.bottom())
        return;
    for (int row = 0; row < 3; ++row) {
        const int from = triangleLeft + row;
        const int to = triangleLeft + 5 - row;
        if (row == 0) {
            painter.fillRect(from, nextY, to - from + 1, 1, light);
            continue;
        }
        pixel(from, nextY + row, light);
        if (to - from > 1)
            painter.fillRect(from + 1, nextY + row, to - from - 1, 1, mark);
        pixel(to, nextY + row, dark);
    }
}

void TPanelManager::PaintTab(QPainter& painter, int left, int right, bool first, QWidget* panel,
                             bool highlighted)
{
    const int h = m_tabHeight;
    if (h < 1 || right < left)
        return;
    const QColor light = Resolve(clBtnHighlight);
    const QColor dark = Resolve(clBtnShadow);
    const QColor mark = TabColorFor(panel);
    const int top = height() - BevelSize() - h;
    const int bottom = top + h - 1;
    const int slant = h - 1; // one pixel left for each row down
    const int bottomLeft = first ? left : left - slant;
    const int bottomRight = right - slant;

    const QPolygon shape(
        {QPoint(left, top), QPoint(right, top), QPoint(bottomRight, bottom), QPoint(bottomLeft, bottom)});
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(highlighted ? TabHighColorFor(panel) : Resolve(clBtnFace));
    painter.drawPolygon(shape);
    painter.setPen(light);
    painter.drawLine(left, top, right, top);
    painter.drawLine(left, top, bottomLeft, bottom);
    painter.setPen(dark);
    painter.drawLine(right, top, bottomRight, bottom);
    painter.drawLine(bottomLeft, bottom, bottomRight, bottom);
    painter.restore();

    auto pixel = [&](int x, int y, const QColor& color) { painter.fillRect(x, y, 1, 1, color); };
    // A small upward triangle at the left end.
    const int apex = left + 5;
    for (int row = 0; row < 3 && top + 2 + row < bottom; ++row) {
        const int y = top + 2 + row;
        if (row == 2) {
            pixel(apex - row, y, light);
            painter.fillRect(apex - row + 1, y, 2 * row, 1, dark);
            continue;
        }
        pixel(apex - row, y, light);
        if (row > 0) {
            painter.fillRect(apex - row + 1, y, 2 * row - 1, 1, mark);
            pixel(apex + row, y, dark);
        }
    }

    const QString caption =
        qobject_cast<TMPanel*>(panel) ? static_cast<TMPanel*>(panel)->TabCaption() : QString();
    const int captionWidth = CaptionWidth(panel);
    if (!caption.isEmpty()) {
        const QFontMetrics metrics = fontMetrics();
        const int textTop = top + (h - metrics.boundingRect(QStringLiteral("Ayq")).height()) / 2;
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QPoint(left + 14, textTop + metrics.ascent()), caption);
    }

    // Rows of raised dots following the slant.
    const int dotsFrom = left + h + captionWidth + 6;
    const int dotsTo = right - 6;
    for (int row = 0, y = top + 2; y + 1 < bottom; ++row, y += 3)
        for (int x = dotsFrom - 3 * row; x <= dotsTo - 3 * row; x += 3) {
            pixel(x, y, Qt::white);
            pixel(x + 1, y + 1, mark);
        }
}
