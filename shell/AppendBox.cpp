#include "shell/AppendBox.h"

#include <QScrollBar>
#include <QTextCursor>

namespace vorlanx::shell {

AppendBox::AppendBox(const char* name, QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QString::fromUtf8(name));
    setReadOnly(true);
    // Frames are long runs of hex without blanks: scroll sideways rather than break them anywhere.
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
}

void AppendBox::appendText(const QString& text) {
    if (text.isEmpty())
        return;
    // A CRLF may straddle two appends: a tail ending in CR followed by text starting with LF.
    bool prevCr = !m_text.isEmpty() && m_tailLength > 0 && m_text.back() == u'\r';
    for (QChar c : text) {
        if (c == u'\n' && prevCr) {
            ++m_crlfCount;
            m_tailLength = 0;
        } else {
            ++m_tailLength;
        }
        prevCr = c == u'\r';
    }
    m_text += text;

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
    m_crlfCount = 0;
    m_tailLength = 0;
    clear();
}

} // namespace vorlanx::shell
