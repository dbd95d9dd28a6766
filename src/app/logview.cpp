#include "app/logview.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

TLogView::TLogView(QWidget* parent) : TSRichEdit(parent)
{
    setObjectName(QStringLiteral("FTPInfo1"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTextInteractionFlags(Qt::TextSelectableByMouse); // no blinking caret in a log
    document()->setMaximumBlockCount(MaxLines);
}

void TLogView::Append(TLogColour colour, const QString& line)
{
    const TColor value = colour == lcCommand  ? m_colours.Ukaz
                         : colour == lcStatus ? m_colours.Stanje
                                              : m_colours.Normal;
    QTextCharFormat format;
    format.setForeground(FromWinColor(value, palette()));
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!document()->isEmpty()) {
        cursor.insertBlock();
    }
    cursor.insertText(line, format);
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}

int TLogView::Lines() const
{
    return document()->isEmpty() ? 0 : document()->blockCount();
}
