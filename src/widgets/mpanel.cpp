#include "widgets/mpanel.h"

#include <QToolButton>

TMPanel::TMPanel(QWidget* parent) : TCustomPanel(parent)
{
    resize(185, 41);
}

void TMPanel::RepaintManager()
{
    if (parentWidget())
        parentWidget()->update();
}

void TMPanel::SetTabColor(TColor color)
{
    m_tabColor = color;
    RepaintManager();
}

void TMPanel::SetTabHighColor(TColor color)
{
    m_tabHighColor = color;
    RepaintManager();
}

void TMPanel::SetTabCaption(const QString& caption)
{
    m_tabCaption = caption;
    RepaintManager();
}

void TMPanel::SetParentTabColor(bool on)
{
    m_parentTabColor = on;
    RepaintManager();
}

void TMPanel::SetArangeButtons(bool on)
{
    if (on == m_arangeButtons)
        return;
    m_arangeButtons = on;
    int x = 20;
    for (QObject* child : children()) {
        auto* button = qobject_cast<QToolButton*>(child);
        if (!button || button->isHidden())
            continue;
        button->move(x, 2);
        x += button->width();
    }
}
