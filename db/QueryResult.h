#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vorlanx::db {

// The rows of one job's command, read whole while the job held the connection. Because every job
// owns its result, jobs running at the same time never see each other's rows, and the connection
// is free for the next job while this one walks its rows.
class QueryResult {
public:
    // A result that is not open: what a failed runQuery gives.
    QueryResult() = default;
    QueryResult(std::vector<std::string> columns, std::vector<std::string> cells);

    bool isOpen() const { return m_open; }
    // What runQuery gives for a call that was dropped before it reached the database (it waited
    // too long for the connection, or a stop gave it up): not open, and nothing was done by it.
    static QueryResult droppedUnrun();
    bool wasDropped() const { return m_dropped; }

    // The value of a column in the current row, as text. A missing column, a position out of range,
    // a closed result or a position past the last row give the empty text. Column names are matched
    // without regard to ASCII case, as SQL Server matches them.
    std::string fieldText(std::string_view column) const;
    std::string fieldText(std::size_t position) const;

    bool atEnd() const;
    void nextRow();
    void closeQuery();

    std::size_t rowCount() const;
    const std::vector<std::string>& columns() const { return m_columns; }

private:
    std::vector<std::string> m_columns;
    // Row after row, columns().size() cells each.
    std::vector<std::string> m_cells;
    std::size_t m_row = 0;
    bool m_open = false;
    bool m_dropped = false;
};

} // namespace vorlanx::db
