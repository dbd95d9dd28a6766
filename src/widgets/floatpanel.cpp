#include "widgets/floatpanel.h"

#include "widgets/mpanel.h"
#include "widgets/panelmanager.h"

#include <QCloseEvent>

TFloatPanel::TFloatPanel(TMPanel* panel, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint), m_panel(panel),
      m_formerParent(panel->parentWidget())
{
    setAttribute(Qt::WA_DeleteOnClose);
    panel->setHidden(false);
    setWindowTitle(panel->TabCaption().isEmpty() ? QStringLiteral("Tools") : panel->TabCaption());

    int right = 0;
    int bottom = 0;
    for (QObject* object : panel->children()) {
        if (auto* child = qobject_cast<QWidget*>(object); child && !child->isWindow()) {
            right = qMax(right, child->x() + child->width());
            bottom = qMax(bottom, child->y() + child->height());
        }
    }
    const int width = qMax(right, 10) + panel->FloatX();
    const int height = qMax(bottom, 10) + panel->FloatY();
    resize(qMax(width, 1), qMax(height, 1));

    panel->setParent(this);
    panel->setGeometry(0, 0, qMax(width, 1), panel->height());
    panel->show();
    panel->SetFloating(true);
    if (auto* manager = qobject_cast<TPanelManager*>(m_formerParent.data()))
        manager->Realign();
}

void TFloatPanel::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (!m_panel || !m_formerParent)
        return; // nowhere to dock: the panel goes with the window
    TMPanel* panel = m_panel;
    panel->setParent(m_formerParent);
    panel->show();
    panel->SetFloating(false);
    if (auto* manager = qobject_cast<TPanelManager*>(m_formerParent.data()))
        manager->PanelDocked(panel);
}
