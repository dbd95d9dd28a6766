#include "app/layoutreport.h"

#include "app/columnfit.h"
#include "app/localpane.h"
#include "app/mainwindow.h"
#include "app/remotepane.h"
#include "files/filelist.h"

#include <QHeaderView>
#include <QScreen>
#include <QTreeView>

namespace {

void ReportPane(QStringList& lines, const QString& pane, const QTreeView& view)
{
    const QHeaderView* header = view.header();
    for (int column = 0; column < header->count(); ++column) {
        if (view.isColumnHidden(column))
            continue;
        lines << QStringLiteral("column %1 %2 %3 %4 %5")
                     .arg(pane)
                     .arg(column)
                     .arg(view.columnWidth(column))
                     .arg(NeededColumnWidth(view, column))
                     .arg(view.model()->headerData(column, Qt::Horizontal).toString());
    }
    lines << QStringLiteral("pane %1 %2 %3").arg(pane).arg(view.viewport()->width()).arg(header->length());
}

} // namespace

QStringList LayoutReport(TGlavniObrazec& window)
{
    QStringList lines;
    const QScreen* screen = window.screen();
    const QSize area = screen != nullptr ? screen->availableGeometry().size() : QSize();
    const QRect frame = window.frameGeometry();
    lines << QStringLiteral("window %1 %2 screen %3 %4")
                 .arg(frame.width())
                 .arg(frame.height())
                 .arg(area.width())
                 .arg(area.height());
    ReportPane(lines, QStringLiteral("local"), *window.LocalPane()->List()->ReportView());
    ReportPane(lines, QStringLiteral("remote"), *window.RemotePane());
    return lines;
}
