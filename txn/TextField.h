#pragma once

#include <string>
#include <string_view>

namespace vorlanx::txn {

// One display line of a terminal in a "63" reply: the text's GBK bytes as hex, filled with
// blanks to the 16 bytes the terminal shows. A longer text goes out whole and is never cut; the
// procedure that wrote it decides what the terminal shows. Characters GBK cannot hold become "?".
std::string encodeTextField(std::string_view utf8);

} // namespace vorlanx::txn
