#pragma once

#include "link/AddressFilter.h"

#include <filesystem>
#include <variant>

namespace vorlanx::config {

// The senders the service serves: section "terminals", key "allow", IPv4 addresses and CIDR
// ranges separated by commas. Absent or empty: everyone. A bad item is given back to be named.
std::variant<link::AddressFilter, link::AddressFilter::BadItem> loadAllowList(const std::filesystem::path& serviceDir);

} // namespace vorlanx::config
