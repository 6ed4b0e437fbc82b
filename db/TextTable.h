#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vorlanx::db {

// Rows of texts shown two ways: aligned in columns for a terminal window, where a Chinese
// character takes two columns, or as UTF-8 CSV with the header as the first row.
class TextTable {
public:
    // rightAligned names the columns of numbers; missing entries mean left-aligned.
    TextTable(std::vector<std::string> header, std::vector<bool> rightAligned);

    void addRow(std::vector<std::string> cells);
    std::string text() const;
    std::string csv() const;

private:
    std::vector<std::string> m_header;
    std::vector<bool> m_rightAligned;
    std::vector<std::vector<std::string>> m_rows;
};

} // namespace vorlanx::db
