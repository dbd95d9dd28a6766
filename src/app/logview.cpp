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
    cursor.insertText(TSessionLog::EscapeControls(line), format); // whoever the line came from
    // The oldest lines go in steps: removing lines lays the whole view out
    // again, so one removal of TrimStep lines costs what one of a single line does.
    if (document()->blockCount() > MaxLines + TrimStep) {
        QTextCursor oldest(document());
        oldest.setPosition(document()->findBlockByNumber(document()->blockCount() - MaxLines).position(),
                           QTextCursor::KeepAnchor);
        oldest.removeSelectedText();
    }
    // One scroll to the end once the burst of lines is in, not one per line.
    if (!m_scrollPending) {
        m_scrollPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_scrollPending = false;
                QScrollBar* bar = verticalScrollBar();
                bar->setValue(bar->maximum());
            },
            Qt::QueuedConnection);
    }
}

int TLogView::Lines() const
{
    return document()->isEmpty() ? 0 : document()->blockCount();
}
