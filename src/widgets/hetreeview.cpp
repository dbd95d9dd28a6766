#include "widgets/hetreeview.h"

#include "core/exception.h"

#include <QSet>
#include <algorithm>

int CompareNodeTexts(QTreeWidgetItem* node1, QTreeWidgetItem* node2, qintptr)
{
    return QString::localeAwareCompare(node1->text(0), node2->text(0));
}

THETreeView::THETreeView(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
}

void THETreeView::SetSortType(TSortType sortType)
{
    if (sortType == m_sortType)
        return;
    m_sortType = sortType;
    if (sortType == TSortType::stText || sortType == TSortType::stBoth ||
        (sortType == TSortType::stData && OnCompare))
        AlphaSort();
}

void THETreeView::AlphaSort()
{
    if (!OnCompare) {
        CustomSort(CompareNodeTexts);
        return;
    }
    CustomSort([this](QTreeWidgetItem* node1, QTreeWidgetItem* node2, qintptr data) {
        int compare = 0;
        try {
            OnCompare(this, node1, node2, data, compare);
        } catch (...) {
            ReportException(std::current_exception());
        }
        return compare;
    });
}

void THETreeView::CustomSort(const TTVCompare& compare, qintptr data)
{
    // Taking nodes out loses their view state: remember it and put it back.
    QSet<QTreeWidgetItem*> expanded;
    QList<QTreeWidgetItem*> nodes;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        nodes.append(*it);
        if ((*it)->isExpanded())
            expanded.insert(*it);
    }
    const QList<QTreeWidgetItem*> selected = selectedItems();
    QTreeWidgetItem* current = currentItem();

    const QSignalBlocker blocker(this);
    auto sortChildren = [&](QTreeWidgetItem* parent) {
        QList<QTreeWidgetItem*> children = parent->takeChildren();
        std::stable_sort(children.begin(), children.end(),
                         [&](QTreeWidgetItem* a, QTreeWidgetItem* b) { return compare(a, b, data) < 0; });
        parent->addChildren(children);
    };
    sortChildren(invisibleRootItem());
    for (QTreeWidgetItem* node : nodes)
        if (node->childCount() > 1)
            sortChildren(node);

    for (QTreeWidgetItem* node : nodes)
        node->setExpanded(expanded.contains(node));
    if (current)
        setCurrentItem(current);
    for (QTreeWidgetItem* node : selected)
        node->setSelected(true);
}
