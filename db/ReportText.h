#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlanx::db {

// Texts of the office's reports and exports.

// Spreadsheets on Windows read a CSV file in the local code page (GBK on a Chinese system) unless
// it starts with the UTF-8 byte order mark; with it, names and departments come out right.
inline constexpr std::string_view kCsvByteOrderMark = "\xEF\xBB\xBF";

// One CSV field: quoted when it holds a comma, a quote or a line break, quotes doubled, so that a
// name like 李, "小" 四 stays one field in a spreadsheet.
std::string csvField(std::string_view value);
// A text cell of a CSV file meant for a spreadsheet: csvField, with an apostrophe before a text
// that begins with = + - @, a TAB or a CR, which a spreadsheet would otherwise run as a formula.
// Names, departments and personnel codes come from the office's import and are not ours to trust.
std::string spreadsheetText(std::string_view value);
// Fen as yuan with two decimals: 1250 gives "12.50", -5 gives "-0.05".
std::string yuanText(std::int64_t fen);
// Columns a UTF-8 text takes in a terminal window: East Asian wide characters (Chinese, full-width
// forms) take two, every other character one.
std::size_t displayWidth(std::string_view utf8);
// Whether text is a real calendar date written YYYY-MM-DD.
bool isDate(std::string_view text);
// Today's date on this machine's clock, YYYY-MM-DD, as terminals and the service write record dates.
std::string todayDate();

} // namespace vorlanx::db
