#pragma once

#include <string>

namespace vorlanx::winshell {

// The host's first IPv4 address other than loopback, or 127.0.0.1 when it has none.
std::string firstLocalAddress();

} // namespace vorlanx::winshell
