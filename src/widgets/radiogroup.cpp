#include "widgets/radiogroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(QWidget* parent)
    : QWidget(parent), m_box(new QGroupBox(this)), m_grid(new QGridLayout(m_box)),
      m_group(new QButtonGroup(this))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_box);
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) {
        m_itemIndex = id;
        FireEvent(OnClick, this);
    });
}

QString TRadioGroup::Caption() const
{
    return m_box->title();
}

void TRadioGroup::SetCaption(const QString& caption)
{
    m_box->setTitle(caption);
}

void TRadioGroup::SetItems(const QStringList& items)
{
    if (items.size() == m_items.size()) {
        // Same count (a language switch): only the texts change.
        m_items = items;
        for (int i = 0; i < items.size(); ++i)
            m_buttons[i]->setText(items[i]);
        return;
    }
    m_items = items;
    if (m_itemIndex >= items.size())
        m_itemIndex = -1;
    Rebuild();
}

void TRadioGroup::SetColumns(int columns)
{
    m_columns = qMax(columns, 1);
    Rebuild();
}

void TRadioGroup::Rebuild()
{
    qDeleteAll(m_buttons);
    m_buttons.clear();
    const int rows = (int(m_items.size()) + m_columns - 1) / m_columns;
    for (int i = 0; i < m_items.size(); ++i) {
        auto* button = new QRadioButton(m_items[i], m_box);
        m_group->addButton(button, i);
        m_grid->addWidget(button, i % qMax(rows, 1), i / qMax(rows, 1));
        m_buttons.append(button);
    }
    SetItemIndex(m_itemIndex);
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index < 0 || index >= m_buttons.size()) {
        m_itemIndex = -1;
        // An exclusive group keeps one button checked: lift that rule to clear it.
        m_group->setExclusive(false);
        for (QRadioButton* button : m_buttons)
            button->setChecked(false);
        m_group->setExclusive(true);
        return;
    }
    m_itemIndex = index;
    m_buttons[index]->setChecked(true);
}

QRadioButton* TRadioGroup::Button(int index) const
{
    return index >= 0 && index < m_buttons.size() ? m_buttons[index] : nullptr;
}
