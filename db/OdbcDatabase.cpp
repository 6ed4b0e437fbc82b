#include "db/OdbcDatabase.h"

#include "db/ProcedureCall.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "link/DebugLog.h"
#include "link/Utf16Text.h"

namespace vorlanx::db {

namespace {

// SQL Server's xml columns are text to the service.
constexpr SQLSMALLINT sqlServerXml = -152;

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// Text crosses the driver manager as UTF-16 on Windows, where the narrow functions would speak the
// system code page. unixODBC's wide functions cut characters to 8 bits in front of narrow-only
// drivers (the SQLite one), so there the narrow functions carry UTF-8, and FreeTDS is told to use
// UTF-8 in the connection string.
#ifdef _WIN32
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide text is UTF-16 on Windows");
using DriverChar = SQLWCHAR;
constexpr SQLSMALLINT textCType = SQL_C_WCHAR;

std::vector<DriverChar> driverText(std::string_view utf8) {
    const std::u16string wide = link::utf8ToUtf16(utf8);
    std::vector<DriverChar> text(reinterpret_cast<const DriverChar*>(wide.data()),
                                 reinterpret_cast<const DriverChar*>(wide.data()) + wide.size());
    text.push_back(0);
    return text;
}

std::string serviceText(const DriverChar* text, std::size_t length) {
    return link::utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

SQLRETURN execDirect(SQLHSTMT statement, std::vector<DriverChar>& text) {
    return SQLExecDirectW(statement, text.data(), SQL_NTS);
}

SQLRETURN driverConnect(SQLHDBC connection, std::vector<DriverChar>& text) {
    return SQLDriverConnectW(connection, nullptr, text.data(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
}

SQLRETURN diagRecord(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, DriverChar* state, SQLINTEGER* native,
                     DriverChar* message, SQLSMALLINT capacity, SQLSMALLINT* length) {
    return SQLGetDiagRecW(type, handle, record, state, native, message, capacity, length);
}

SQLRETURN describeColumn(SQLHSTMT statement, SQLUSMALLINT number, DriverChar* name, SQLSMALLINT capacity,
                         SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                         SQLSMALLINT* nullable) {
    return SQLDescribeColW(statement, number, name, capacity, nameLength, type, size, digits, nullable);
}

SQLRETURN columnAttribute(SQLHSTMT statement, SQLUSMALLINT number, SQLUSMALLINT field, SQLPOINTER text,
                          SQLSMALLINT bytes, SQLSMALLINT* length, SQLLEN* numeric) {
    return SQLColAttributeW(statement, number, field, text, bytes, length, numeric);
}
#else
using DriverChar = SQLCHAR;
constexpr SQLSMALLINT textCType = SQL_C_CHAR;

std::vector<DriverChar> driverText(std::string_view utf8) {
    std::vector<DriverChar> text(reinterpret_cast<const DriverChar*>(utf8.data()),
                                 reinterpret_cast<const DriverChar*>(utf8.data()) + utf8.size());
    text.push_back(0);
    return text;
}

std::string serviceText(const DriverChar* text, std::size_t length) {
    return std::string(reinterpret_cast<const char*>(text), length);
}

SQLRETURN execDirect(SQLHSTMT statement, std::vector<DriverChar>& text) {
    return SQLExecDirect(statement, text.data(), SQL_NTS);
}

SQLRETURN driverConnect(SQLHDBC connection, std::vector<DriverChar>& text) {
    return SQLDriverConnect(connection, nullptr, text.data(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
}

SQLRETURN diagRecord(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, DriverChar* state, SQLINTEGER* native,
                     DriverChar* message, SQLSMALLINT capacity, SQLSMALLINT* length) {
    return SQLGetDiagRec(type, handle, record, state, native, message, capacity, length);
}

SQLRETURN describeColumn(SQLHSTMT statement, SQLUSMALLINT number, DriverChar* name, SQLSMALLINT capacity,
                         SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                         SQLSMALLINT* nullable) {
    return SQLDescribeCol(statement, number, name, capacity, nameLength, type, size, digits, nullable);
}

SQLRETURN columnAttribute(SQLHSTMT statement, SQLUSMALLINT number, SQLUSMALLINT field, SQLPOINTER text,
                          SQLSMALLINT bytes, SQLSMALLINT* length, SQLLEN* numeric) {
    return SQLColAttribute(statement, number, field, text, bytes, length, numeric);
}
#endif

std::size_t terminatedLength(const DriverChar* text, std::size_t capacity) {
    std::size_t n = 0;
    while (n < capacity && text[n] != 0)
        ++n;
    return n;
}

// What the driver reported for the last call on a handle.
struct Diagnostics {
    // A record says the link to the server is gone (SQLSTATE class 08, or a command that timed
    // out), which is what makes the next job re-open the connection.
    bool linkLost = false;
    // A record that is not a warning: SQL Server's INFO messages (PRINT, a changed database
    // context) come as class 01, every error of the server as another class.
    bool error = false;
    std::string text;
};

// The one place where driver errors are translated: SQLSTATE, native code and message, for the
// engineer's debug log, never for the operator.
Diagnostics readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    Diagnostics diagnostics;
    for (SQLSMALLINT record = 1;; ++record) {
        std::array<DriverChar, 6> state{};
        std::array<DriverChar, 1024> message{};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        const SQLRETURN rc = diagRecord(handleType, handle, record, state.data(), &native, message.data(),
                                        static_cast<SQLSMALLINT>(message.size()), &length);
        if (!succeeded(rc))
            break;
        const std::string sqlState = serviceText(state.data(), terminatedLength(state.data(), 5));
        const std::string text = serviceText(message.data(), terminatedLength(message.data(), message.size()));
        if (!diagnostics.text.empty())
            diagnostics.text += "; ";
        diagnostics.text += sqlState + " [" + std::to_string(native) + "] " + text;
        if (sqlState.starts_with("08") || sqlState == "HYT00" || sqlState == "HYT01")
            diagnostics.linkLost = true;
        if (!sqlState.starts_with("01"))
            diagnostics.error = true;
    }
    return diagnostics;
}

bool reportDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view where) {
    const Diagnostics diagnostics = readDiagnostics(handleType, handle);
    if (!diagnostics.text.empty())
        link::debugLog(where, diagnostics.text);
    return diagnostics.linkLost;
}

std::string formatted(const char* format, double value) {
    std::array<char, 64> buffer{};
    const int n = std::snprintf(buffer.data(), buffer.size(), format, value);
    if (n < 0)
        return {};
    if (static_cast<std::size_t>(n) < buffer.size())
        return std::string(buffer.data(), static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), format, value);
    big.resize(static_cast<std::size_t>(n));
    return big;
}

// Currency in the short form Windows gives it ("12.5", "100"), from the driver's "12.5000".
std::string currencyText(std::string text) {
    if (text.find('.') == std::string::npos)
        return text;
    while (!text.empty() && text.back() == '0')
        text.pop_back();
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    if (text.empty() || text == "-")
        text = "0";
    return text;
}

struct Column {
    std::string name;
    SQLSMALLINT type = 0;
    bool isUnsigned = false;
    bool isCurrency = false;
};

class ColumnReader {
public:
    ColumnReader(SQLHSTMT statement, const Column& column, SQLUSMALLINT number)
        : m_statement(statement), m_column(column), m_number(number) {}

    // The value as text by the type table of the connection; null and unreadable values are empty.
    std::string text() {
        switch (m_column.type) {
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_LONGVARCHAR:
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR:
        case sqlServerXml:
            return stringText();
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            return integerText();
        case SQL_REAL: {
            SQLREAL value = 0;
            return fixed(SQL_C_FLOAT, &value, sizeof value) ? formatted("%.4f", static_cast<double>(value)) : "";
        }
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_DECIMAL:
        case SQL_NUMERIC: {
            if (m_column.isCurrency)
                return currencyText(narrowText());
            SQLDOUBLE value = 0;
            return fixed(SQL_C_DOUBLE, &value, sizeof value) ? formatted("%.8f", value) : "";
        }
        case SQL_BIT: {
            unsigned char value = 0;
            if (!fixed(SQL_C_BIT, &value, sizeof value))
                return {};
            return value != 0 ? "TRUE" : "FALSE";
        }
        case SQL_DATETIME:
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIMESTAMP:
            return timestampText();
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return narrowText().empty() && m_null ? "" : "[BLOB]";
        default:
            return narrowText().empty() && m_null ? "" : "UN_KNOW";
        }
    }

private:
    bool fixed(SQLSMALLINT cType, SQLPOINTER target, SQLLEN size) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(m_statement, m_number, cType, target, size, &indicator);
        if (!succeeded(rc)) {
            reportDiagnostics(SQL_HANDLE_STMT, m_statement, "odbc read");
            return false;
        }
        return indicator != SQL_NULL_DATA;
    }

    std::string integerText() {
        if (m_column.isUnsigned) {
            SQLUBIGINT value = 0;
            return fixed(SQL_C_UBIGINT, &value, sizeof value) ? std::to_string(value) : "";
        }
        SQLBIGINT value = 0;
        return fixed(SQL_C_SBIGINT, &value, sizeof value) ? std::to_string(value) : "";
    }

    std::string timestampText() {
        SQL_TIMESTAMP_STRUCT value{};
        if (!fixed(SQL_C_TYPE_TIMESTAMP, &value, sizeof value))
            return {};
        std::array<char, 48> buffer{};
        const int n = std::snprintf(buffer.data(), buffer.size(), "%04d-%02d-%02d %02d:%02d:%02d", value.year,
                                    value.month, value.day, value.hour, value.minute, value.second);
        return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
    }

    // Long values arrive in pieces; each piece but the last fills the buffer up to its terminator.
    std::string stringText() {
        std::vector<DriverChar> value;
        std::array<DriverChar, 1024> buffer{};
        const std::size_t pieceChars = buffer.size() - 1;
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(m_statement, m_number, textCType, buffer.data(),
                                            static_cast<SQLLEN>(buffer.size() * sizeof(DriverChar)), &indicator);
            if (rc == SQL_NO_DATA)
                break;
            if (!succeeded(rc)) {
                reportDiagnostics(SQL_HANDLE_STMT, m_statement, "odbc read");
                return {};
            }
            if (indicator == SQL_NULL_DATA)
                return {};
            std::size_t chars = pieceChars;
            if (indicator != SQL_NO_TOTAL)
                chars = std::min(pieceChars, static_cast<std::size_t>(indicator) / sizeof(DriverChar));
            value.insert(value.end(), buffer.data(), buffer.data() + chars);
            if (rc == SQL_SUCCESS)
                break;
        }
        return serviceText(value.data(), value.size());
    }

    std::string narrowText() {
        std::string value;
        std::array<char, 256> buffer{};
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(m_statement, m_number, SQL_C_CHAR, buffer.data(),
                                            static_cast<SQLLEN>(buffer.size()), &indicator);
            if (rc == SQL_NO_DATA)
                break;
            if (!succeeded(rc)) {
                reportDiagnostics(SQL_HANDLE_STMT, m_statement, "odbc read");
                m_null = true;
                return {};
            }
            if (indicator == SQL_NULL_DATA) {
                m_null = true;
                return {};
            }
            std::size_t chars = buffer.size() - 1;
            if (indicator != SQL_NO_TOTAL)
                chars = std::min(chars, static_cast<std::size_t>(indicator));
            value.insert(value.end(), buffer.data(), buffer.data() + chars);
            if (rc == SQL_SUCCESS)
                break;
        }
        return value;
    }

    SQLHSTMT m_statement;
    const Column& m_column;
    SQLUSMALLINT m_number;
    bool m_null = false;
};

std::vector<Column> describeColumns(SQLHSTMT statement, SQLSMALLINT count) {
    std::vector<Column> columns;
    for (SQLUSMALLINT number = 1; number <= static_cast<SQLUSMALLINT>(count); ++number) {
        std::array<DriverChar, 256> name{};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        Column column;
        if (succeeded(describeColumn(statement, number, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                     &type, &size, &digits, &nullable))) {
            column.name = serviceText(name.data(), terminatedLength(name.data(), name.size()));
            column.type = type;
        }
        SQLLEN isUnsigned = SQL_FALSE;
        if (succeeded(columnAttribute(statement, number, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned)))
            column.isUnsigned = isUnsigned == SQL_TRUE;
        if (type == SQL_DECIMAL || type == SQL_NUMERIC) {
            std::array<DriverChar, 64> typeName{};
            SQLSMALLINT typeNameBytes = 0;
            if (succeeded(columnAttribute(statement, number, SQL_DESC_TYPE_NAME, typeName.data(),
                                          static_cast<SQLSMALLINT>(typeName.size() * sizeof(DriverChar)),
                                          &typeNameBytes, nullptr))) {
                const std::string typeText = serviceText(typeName.data(), terminatedLength(typeName.data(), 63));
                column.isCurrency = typeText == "money" || typeText == "smallmoney";
            }
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

} // namespace

bool OdbcDatabase::StepCheck::passed(short rc) {
    if (m_failure)
        return false;
    if (rc == SQL_SUCCESS || rc == SQL_NO_DATA)
        return true;
    Diagnostics diagnostics = readDiagnostics(SQL_HANDLE_STMT, m_statement);
    if (rc == SQL_SUCCESS_WITH_INFO && !diagnostics.error)
        return true;
    if (diagnostics.text.empty())
        diagnostics.text = "the driver returned " + std::to_string(rc) + " without a message";
    m_failure = Failure{diagnostics.linkLost, std::move(diagnostics.text)};
    return false;
}

OdbcDatabase::OdbcDatabase(std::string driver, int commandTimeoutSeconds)
    : m_driver(std::move(driver)), m_commandTimeoutSeconds(commandTimeoutSeconds) {
    SQLHENV environment = SQL_NULL_HENV;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment))) {
        link::debugLog("odbc", "no ODBC environment: the driver manager is missing or broken");
        return;
    }
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    m_environment = environment;
}

OdbcDatabase::~OdbcDatabase() {
    std::lock_guard lock(m_mutex);
    closeLocked();
    if (m_environment != nullptr)
        SQLFreeHandle(SQL_HANDLE_ENV, m_environment);
}

std::string OdbcDatabase::connectionString(std::string_view driver, std::string_view server, std::string_view database,
                                           std::string_view user, std::string_view password) {
    std::string text = "DRIVER=";
    text.append(driver).append(";SERVER=").append(server);
    text.append(";UID=").append(user).append(";PWD=").append(password);
    text.append(";DATABASE=").append(database).append(";");
#ifndef _WIN32
    // FreeTDS never tries the SQL Server default port unless told; "host,port" and "host\instance"
    // already say where to go. Text then travels as UTF-8, the service's own.
    if (server.find(',') == std::string_view::npos && server.find('\\') == std::string_view::npos)
        text += "PORT=1433;";
    text += "TDS_Version=7.4;ClientCharset=UTF-8;";
#endif
    return text;
}

bool OdbcDatabase::connect(const std::string& server, const std::string& database, const std::string& user,
                           const std::string& password) {
    std::lock_guard lock(m_mutex);
    closeLocked();
    m_gate.reset();
    const std::string connection = connectionString(m_driver, server, database, user, password);
    if (!openLocked(connection))
        return false;
    m_lastGood = connection;
    return true;
}

bool OdbcDatabase::isConnected() const {
    return m_connected.load();
}

void OdbcDatabase::disconnect() {
    std::lock_guard lock(m_mutex);
    closeLocked();
    m_gate.reset();
}

bool OdbcDatabase::openLocked(const std::string& connection) {
    if (m_environment == nullptr)
        return false;
    SQLHDBC handle = SQL_NULL_HDBC;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_DBC, m_environment, &handle))) {
        reportDiagnostics(SQL_HANDLE_ENV, m_environment, "odbc connect");
        return false;
    }
    // Without a login time-out a server that accepts the connection but never answers would hang
    // the connect, and with it the window, for good.
    SQLSetConnectAttr(handle, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeoutSeconds)), 0);
    auto text = driverText(connection);
    const SQLRETURN rc = driverConnect(handle, text);
    if (!succeeded(rc)) {
        reportDiagnostics(SQL_HANDLE_DBC, handle, "odbc connect");
        SQLFreeHandle(SQL_HANDLE_DBC, handle);
        return false;
    }
    m_connection = handle;
    m_connected = true;
    return true;
}

void OdbcDatabase::closeLocked() {
    if (m_connection == nullptr)
        return;
    SQLDisconnect(m_connection);
    SQLFreeHandle(SQL_HANDLE_DBC, m_connection);
    m_connection = nullptr;
    m_connected = false;
}

QueryResult OdbcDatabase::runQuery(std::string_view command) {
    std::lock_guard lock(m_mutex);
    if (m_gate.attemptNow(ReconnectGate::Clock::now())) {
        closeLocked();
        if (openLocked(m_lastGood)) {
            link::debugLog("odbc", "connection re-opened after it was lost");
            m_gate.reset();
        }
    }
    if (m_connection == nullptr)
        return {};

    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_STMT, m_connection, &statement))) {
        if (reportDiagnostics(SQL_HANDLE_DBC, m_connection, "odbc query"))
            m_gate.connectionLost();
        return {};
    }
    SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(m_commandTimeoutSeconds)), 0);
    auto text = driverText(command);
    StepCheck check(statement);
    QueryResult result;
    if (check.passed(execDirect(statement, text)))
        result = readFirstResultSet(statement, check);
    if (check.failure()) {
        // One line per failed call, whatever the server said in how many messages.
        link::debugLog("odbc query", std::string(procedureOf(command)) + " failed: " + check.failure()->text);
        if (check.failure()->linkLost)
            m_gate.connectionLost();
        result = QueryResult();
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return result;
}

QueryResult OdbcDatabase::readFirstResultSet(void* statement, StepCheck& check) {
    // A procedure's row counts come before its rows unless it says SET NOCOUNT ON; they are not
    // the result set the job asked for.
    SQLSMALLINT count = 0;
    for (;;) {
        if (!check.passed(SQLNumResultCols(statement, &count)))
            return {};
        if (count > 0)
            break;
        const SQLRETURN more = SQLMoreResults(statement);
        if (!check.passed(more))
            return {};
        if (more == SQL_NO_DATA)
            return QueryResult({}, {});
    }

    const std::vector<Column> columns = describeColumns(statement, count);
    std::vector<std::string> cells;
    for (;;) {
        const SQLRETURN fetched = SQLFetch(statement);
        if (!check.passed(fetched))
            return {};
        if (fetched == SQL_NO_DATA)
            break;
        for (std::size_t i = 0; i < columns.size(); ++i)
            cells.push_back(ColumnReader(statement, columns[i], static_cast<SQLUSMALLINT>(i + 1)).text());
    }

    // SQL Server runs the rest of a procedure only as its results are consumed; reading them to the
    // end lets a booking after the procedure's SELECT complete and commit. An error anywhere in the
    // rest (the INSERT behind the SELECT failed, a deadlock) means the call did not do its work:
    // rows read before it must not be taken for its answer.
    for (;;) {
        const SQLRETURN more = SQLMoreResults(statement);
        if (!check.passed(more))
            return {};
        if (more == SQL_NO_DATA)
            break;
    }

    std::vector<std::string> names;
    names.reserve(columns.size());
    for (const Column& column : columns)
        names.push_back(column.name);
    return QueryResult(std::move(names), std::move(cells));
}

} // namespace vorlanx::db
