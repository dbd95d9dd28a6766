#pragma once
// THETreeView: a tree view with a SortType property. Sorting orders the
// top-level nodes and then, depth-first, the children of every node; expanded
// nodes, the selection and the current node survive a sort.
//
// Contract: setting SortType to a new value sorts at once when it is stText
// or stBoth, or stData with OnCompare assigned. OnCompare(sender, node1,
// node2, data, compare) is asked during a sort (AlphaSort) and must not change
// the tree; it sets compare below, at or above 0.
#include <QTreeWidget>
#include <functional>

enum class TSortType { stNone, stData, stText, stBoth };

class THETreeView;
using TTVCompareEvent = std::function<void(THETreeView* sender, QTreeWidgetItem* node1,
                                           QTreeWidgetItem* node2, qintptr data, int& compare)>;
using TTVCompare = std::function<int(QTreeWidgetItem* node1, QTreeWidgetItem* node2, qintptr data)>;

// The default order: the nodes' texts, locale-aware and case-sensitive.
int CompareNodeTexts(QTreeWidgetItem* node1, QTreeWidgetItem* node2, qintptr data);

class THETreeView : public QTreeWidget {
    Q_OBJECT

public:
    explicit THETreeView(QWidget* parent = nullptr);

    TSortType SortType() const { return m_sortType; }
    void SetSortType(TSortType sortType);

    // Sorts with OnCompare when assigned, else by text.
    void AlphaSort();
    // Sorts with compare, which is passed data with every pair.
    void CustomSort(const TTVCompare& compare, qintptr data = 0);

    TTVCompareEvent OnCompare;

private:
    TSortType m_sortType = TSortType::stNone;
};
