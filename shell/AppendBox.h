#pragma once

#include <QPlainTextEdit>

#include <cstddef>

namespace vorlanx::shell {

// A read-only multi-line box that is only ever appended to at its end or emptied whole:
// the activity log and the parameter-return box. It keeps the exact text with its CRLF line
// ends (the widget itself shows plain line breaks) and the number of line pieces in it, so
// that pruning and the success count never have to split the whole text again.
class AppendBox : public QPlainTextEdit {
public:
    AppendBox(const char* name, QWidget* parent);

    // Adds text at the end, moves the caret to the end and scrolls it into view.
    void appendText(const QString& text);
    void clearText();

    const QString& text() const { return m_text; }
    // Pieces of the text split at CRLF: every CRLF ends one, a non-empty tail is one more.
    std::size_t pieceCount() const { return m_crlfCount + (m_tailLength > 0 ? 1 : 0); }

private:
    QString m_text;
    std::size_t m_crlfCount = 0;
    std::size_t m_tailLength = 0; // characters after the last CRLF
};

} // namespace vorlanx::shell
