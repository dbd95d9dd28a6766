// TLocalPane: the widths of its report columns.
#include "app/columnfit.h"
#include "app/localpane.h"
#include "files/filelist.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeView>

void TLocalPane::FitColumns()
{
    QTreeView* view = m_list->ReportView();
    m_list->Items().Flush();
    const std::pair<TFileInfo, QStringList> columns[] = {
        {fiName, {}},
        {fiSize, {QStringLiteral("9999999999")}},
        {fiType, {}},
        {fiModified, {WidestShortDateTime() + QStringLiteral("  ")}},
        {fiAttributes, {QStringLiteral("DARSHT")}},
    };
    for (const auto& [kind, samples] : columns) {
        const int column = m_list->ColumnOf(kind);
        if (column < 0 || view->isColumnHidden(column))
            continue;
        const int width = FittedColumnWidth(*view, column, samples);
        if (width > view->columnWidth(column))
            m_list->SetColumnWidth(kind, width);
    }
}

void TLocalPane::WidenToRows()
{
    // Names and kinds of a new folder may be longer than the last one's: their columns grow to show
    // them (up to half the pane), unless the user has sized the column by hand.
    QTreeView* view = m_list->ReportView();
    m_list->Items().Flush();
    for (TFileInfo kind : {fiName, fiType}) {
        const int column = m_list->ColumnOf(kind);
        if (column < 0 || view->isColumnHidden(column) || m_userSized.contains(kind))
            continue;
        const int wanted =
            qMin(NeededColumnWidth(*view, column), qMax(view->columnWidth(column), width() / 2));
        if (wanted > view->columnWidth(column))
            m_list->SetColumnWidth(kind, wanted);
    }
}

int TLocalPane::ColumnsWidth() const
{
    const QTreeView* view = m_list->ReportView();
    return view->header()->length() + 2 * view->frameWidth() +
           view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
}
