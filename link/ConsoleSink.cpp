#include "link/ConsoleSink.h"

#include "link/LogText.h"

namespace vorlanx::link {

ConsoleSink::ConsoleSink(std::ostream& out, std::ostream& err, bool verbose)
    : m_out(out), m_err(err), m_verbose(verbose) {}

void ConsoleSink::clientEntry(const std::string& entry) {
    if (m_verbose)
        writeLines(m_out, {}, entry);
}

void ConsoleSink::transactionLogged(const std::string& line) {
    writeLines(m_out, {}, line);
}

void ConsoleSink::entry(std::string_view text) {
    writeLines(m_out, {}, text);
}

void ConsoleSink::terminalAdded(const std::string&, const std::string&, const std::string&, const std::string&) {}

void ConsoleSink::terminalRemoved(const std::string&, const std::string& statusText) {
    if (!statusText.empty())
        status(statusText);
}

void ConsoleSink::resultAppended(const std::string& text, std::optional<std::size_t>) {
    writeLines(m_out, "[结果]", text);
}

void ConsoleSink::status(std::string_view text) {
    writeLines(m_out, "[状态]", text);
}

void ConsoleSink::operation(std::string_view text) {
    writeLines(m_out, "[操作]", text);
}

void ConsoleSink::message(std::string_view text) {
    writeLines(m_err, {}, text);
}

void ConsoleSink::writeLines(std::ostream& stream, std::string_view prefix, std::string_view text) {
    std::lock_guard lock(m_mutex);
    // Same piece rule as the boxes: every CRLF ends a line, a non-empty tail is one more.
    std::size_t start = 0;
    for (std::size_t end = text.find(kLineEnd); end != std::string_view::npos; end = text.find(kLineEnd, start)) {
        stream << prefix << text.substr(start, end - start) << '\n';
        start = end + kLineEnd.size();
    }
    if (start < text.size() || text.empty())
        stream << prefix << text.substr(start) << '\n';
    stream.flush();
}

} // namespace vorlanx::link
