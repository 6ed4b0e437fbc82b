#pragma once

#include <string>

namespace vorlanx::link {

// One row of a terminal list, every column as text: "设备IP", "端口号", "机号" (decimal).
struct TerminalRow {
    std::string address;
    std::string port;
    std::string machine;

    bool operator==(const TerminalRow&) const = default;
};

} // namespace vorlanx::link
