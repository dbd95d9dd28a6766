#include "widgets/srichedit.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

TSRichEdit::TSRichEdit(QWidget* parent) : QTextEdit(parent)
{
    auto raiseLater = [this](TNotifyEvent TSRichEdit::*event) {
        return [this, event](int) {
            QMetaObject::invokeMethod(
                this, [this, event] { FireEvent(this->*event, this); }, Qt::QueuedConnection);
        };
    };
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, raiseLater(&TSRichEdit::OnVScroll));
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, raiseLater(&TSRichEdit::OnHScroll));
}

int TSRichEdit::LineCount() const
{
    return qMax(document()->lineCount(), 1);
}

int TSRichEdit::LineOfPosition(int position) const
{
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        return 0;
    int line = qMax(block.firstLineNumber(), 0);
    if (const QTextLayout* layout = block.layout(); layout && layout->lineCount() > 0) {
        const QTextLine textLine = layout->lineForTextPosition(position - block.position());
        if (textLine.isValid())
            line += textLine.lineNumber();
    }
    return line;
}

int TSRichEdit::CaretLine() const
{
    return LineOfPosition(textCursor().selectionStart());
}

int TSRichEdit::VisibleLineCount() const
{
    if (!isVisible())
        return -1;
    const int lineHeight = qMax(fontMetrics().lineSpacing(), 1);
    return viewport()->height() / lineHeight;
}

void TSRichEdit::ScrollToLine(int n)
{
    n = qBound(0, n, LineCount() - 1);
    const QTextBlock block = document()->findBlockByLineNumber(n);
    if (!block.isValid())
        return;
    qreal y = document()->documentLayout()->blockBoundingRect(block).top();
    if (const QTextLayout* layout = block.layout()) {
        const QTextLine line = layout->lineAt(n - qMax(block.firstLineNumber(), 0));
        if (line.isValid())
            y += line.y();
    }
    // The document's margin stays visible above the line, as above the first one.
    verticalScrollBar()->setValue(int(y - document()->documentMargin()));
}

int TSRichEdit::FirstVisibleLine() const
{
    const int textTop = int(document()->documentMargin()) + 1;
    return LineOfPosition(cursorForPosition(QPoint(0, textTop)).position());
}
