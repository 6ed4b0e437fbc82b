#include "db/TextTable.h"

#include <algorithm>

#include "db/ReportText.h"

namespace vorlanx::db {

TextTable::TextTable(std::vector<std::string> header, std::vector<bool> rightAligned)
    : m_header(std::move(header)), m_rightAligned(std::move(rightAligned)) {
    m_rightAligned.resize(m_header.size(), false);
}

void TextTable::addRow(std::vector<std::string> cells) {
    cells.resize(m_header.size());
    m_rows.push_back(std::move(cells));
}

std::string TextTable::text() const {
    std::vector<std::size_t> widths(m_header.size(), 0);
    for (std::size_t column = 0; column < m_header.size(); ++column) {
        widths[column] = displayWidth(m_header[column]);
        for (const auto& row : m_rows)
            widths[column] = std::max(widths[column], displayWidth(row[column]));
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t column = 0; column < cells.size(); ++column) {
            const std::string padding(widths[column] - displayWidth(cells[column]), ' ');
            if (column > 0)
                out += "  ";
            out += m_rightAligned[column] ? padding + cells[column] : cells[column] + padding;
        }
        // Padding after the last cell would only make lines wrap in a narrow window.
        out.erase(out.find_last_not_of(' ') + 1);
        return out + "\n";
    };
    std::string out = line(m_header);
    for (const auto& row : m_rows)
        out += line(row);
    return out;
}

std::string TextTable::csv() const {
    std::string out;
    auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t column = 0; column < cells.size(); ++column)
            // Numbers stay numbers; every other cell is text a spreadsheet must not run.
            out += (column > 0 ? "," : "") +
                   (m_rightAligned[column] ? csvField(cells[column]) : spreadsheetText(cells[column]));
        out += "\r\n";
    };
    line(m_header);
    for (const auto& row : m_rows)
        line(row);
    return out;
}

} // namespace vorlanx::db
