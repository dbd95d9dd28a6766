#pragma once
// TRadioGroup: a framed group of radio buttons, one per item, with the
// caption on the frame and the index of the checked item.
//
// Contract: OnClick(sender) fires when the user checks an item (ItemIndex is
// already the new index); setting ItemIndex or Items from code fires nothing.
// ItemIndex is -1 when no item is checked; setting it outside 0 .. item count
// - 1 unchecks all. Setting Items keeps ItemIndex when it is still in range.
// Items are laid out in Columns columns, filled top to bottom.
#include "widgets/events.h"

#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QGridLayout;
class QGroupBox;
class QRadioButton;

class TRadioGroup : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)

public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    QString Caption() const;
    void SetCaption(const QString& caption);
    QStringList Items() const { return m_items; }
    void SetItems(const QStringList& items);
    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int index);
    int Columns() const { return m_columns; }
    void SetColumns(int columns); // at least 1

    // The radio button of an item (for focus and tests), or nullptr.
    QRadioButton* Button(int index) const;

    TNotifyEvent OnClick;

private:
    void Rebuild();

    QGroupBox* m_box;
    QGridLayout* m_grid;
    QButtonGroup* m_group;
    QList<QRadioButton*> m_buttons;
    QStringList m_items;
    int m_itemIndex = -1;
    int m_columns = 1;
};
