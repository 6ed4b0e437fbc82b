#include "db/QueryResult.h"

#include <utility>

namespace vorlanx::db {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

QueryResult QueryResult::droppedUnrun() {
    QueryResult result;
    result.m_dropped = true;
    return result;
}

QueryResult::QueryResult(std::vector<std::string> columns, std::vector<std::string> cells)
    : m_columns(std::move(columns)), m_cells(std::move(cells)), m_open(true) {
    if (m_columns.empty() || m_cells.size() % m_columns.size() != 0)
        m_cells.clear();
}

std::string QueryResult::fieldText(std::string_view column) const {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (sameName(m_columns[i], column))
            return fieldText(i);
    }
    return {};
}

std::string QueryResult::fieldText(std::size_t position) const {
    if (atEnd() || position >= m_columns.size())
        return {};
    return m_cells[m_row * m_columns.size() + position];
}

bool QueryResult::atEnd() const {
    return !m_open || m_row >= rowCount();
}

void QueryResult::nextRow() {
    if (!atEnd())
        ++m_row;
}

void QueryResult::closeQuery() {
    m_open = false;
    m_columns.clear();
    m_cells.clear();
    m_row = 0;
}

std::size_t QueryResult::rowCount() const {
    return m_columns.empty() ? 0 : m_cells.size() / m_columns.size();
}

} // namespace vorlanx::db
