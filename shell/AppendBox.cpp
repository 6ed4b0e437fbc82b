#include "shell/AppendBox.h"

#include "shell/Widgets.h"

#include <QScrollBar>
#include <QTextCursor>

namespace vorlanx::shell {

AppendBox::AppendBox(ui::Id id, QWidget* parent) : QPlainTextEdit(parent) {
    tagControl(this, id);
    setReadOnly(true);
    // Frames are long runs of hex without blanks: scroll sideways rather than break them anywhere.
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
}

void AppendBox::setLineLimit(std::size_t lines) {
    m_lineLimit = lines;
    // The widget shows the kept lines and the empty block after the last line end.
    setMaximumBlockCount(lines == 0 ? 0 : static_cast<int>(lines) + 1);
}

void AppendBox::appendText(const QString& text) {
    if (text.isEmpty())
        return;
    // A CRLF may straddle two appends: a tail ending in CR followed by text starting with LF.
    bool prevCr = !m_text.isEmpty() && m_tailLength > 0 && m_text.back() == u'\r';
    const std::int64_t at = m_dropped + m_text.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\n' && prevCr) {
            ++m_crlfCount;
            m_tailLength = 0;
            if (m_lineLimit > 0)
                m_lineEndAt.push_back(at + i + 1);
        } else {
            ++m_tailLength;
        }
        prevCr = c == u'\r';
    }
    m_text += text;
    if (m_lineLimit > 0) {
        while (m_lineEndAt.size() > m_lineLimit) {
            m_start = static_cast<qsizetype>(m_lineEndAt.front() - m_dropped);
            m_lineEndAt.pop_front();
        }
        // Lines let go are removed once they are half the text: each character moves a bounded
        // number of times.
        if (m_start > 0 && m_start >= m_text.size() / 2) {
            m_text.remove(0, m_start);
            m_dropped += m_start;
            m_start = 0;
        }
    }

    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    moveCursor(QTextCursor::End);
    ensureCursorVisible();
}

void AppendBox::clearText() {
    m_text.clear();
    m_start = 0;
    m_lineEndAt.clear();
    m_dropped = 0;
    m_crlfCount = 0;
    m_tailLength = 0;
    clear();
}

} // namespace vorlanx::shell
