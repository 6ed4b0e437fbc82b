#pragma once

#include "ui/Controls.h"

#include <QPlainTextEdit>

#include <cstddef>
#include <cstdint>
#include <deque>

namespace vorlanx::shell {

// A read-only multi-line box that is only ever appended to at its end or emptied whole:
// the activity log and the parameter-return box. It keeps the exact text with its CRLF line
// ends (the widget itself shows plain line breaks) and the number of line pieces appended since
// it was emptied, so that pruning and the success count never have to split the whole text again.
class AppendBox : public QPlainTextEdit {
public:
    AppendBox(ui::Id id, QWidget* parent);

    // Keep only the last `lines` complete lines (0: all); the piece count goes on counting what
    // was appended.
    void setLineLimit(std::size_t lines);

    // Adds text at the end, moves the caret to the end and scrolls it into view.
    void appendText(const QString& text);
    void clearText();

    QString text() const { return m_text.sliced(m_start); }
    // Pieces of the text appended since the box was emptied, split at CRLF: every CRLF ends one,
    // a non-empty tail is one more.
    std::size_t pieceCount() const { return m_crlfCount + (m_tailLength > 0 ? 1 : 0); }

private:
    QString m_text;
    qsizetype m_start = 0; // where the kept text begins in m_text
    std::size_t m_lineLimit = 0;
    std::deque<std::int64_t> m_lineEndAt; // kept complete lines: where each ends, counting m_dropped
    std::int64_t m_dropped = 0;           // characters removed from the front of m_text
    std::size_t m_crlfCount = 0;
    std::size_t m_tailLength = 0; // characters after the last CRLF
};

} // namespace vorlanx::shell
