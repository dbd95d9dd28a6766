#include "app/columnfit.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QStyle>
#include <QTreeView>

int NeededColumnWidth(const QTreeView& view, int column)
{
    // Public in the base class (QTreeView makes its override protected): the rows, as the header measures
    // them.
    return qMax(view.header()->sectionSizeHint(column),
                static_cast<const QAbstractItemView&>(view).sizeHintForColumn(column));
}

int FittedColumnWidth(const QTreeView& view, int column, const QStringList& samples)
{
    if (view.isColumnHidden(column))
        return view.columnWidth(column);
    int width = qMax(view.columnWidth(column), NeededColumnWidth(view, column));
    // What a cell adds around its text: the focus frame's margins on both sides and a little air.
    const int margin = 2 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1) + 6;
    const QFontMetrics metrics(view.font());
    for (const QString& sample : samples)
        width = qMax(width, metrics.horizontalAdvance(sample) + margin);
    return width;
}

QString WidestShortDateTime()
{
    const QLocale locale;
    const QDateTime late(QDate(2026, 12, 28), QTime(23, 58));
    return locale.toString(late, QLocale::ShortFormat);
}
