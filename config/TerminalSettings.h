#pragma once

#include "link/AddressFilter.h"

#include <filesystem>
#include <optional>
#include <variant>

namespace vorlanx::config {

// The senders the service serves: section "terminals", key "allow", IPv4 addresses and CIDR
// ranges separated by commas. Absent or empty: everyone. A bad item is given back to be named.
std::variant<link::AddressFilter, link::AddressFilter::BadItem> loadAllowList(const std::filesystem::path& serviceDir);

// The same, but nullopt when conf.ini is missing or cannot be read: a reload must then keep the
// senders it serves, since a file it cannot see says nothing about them.
std::optional<std::variant<link::AddressFilter, link::AddressFilter::BadItem>>
readAllowList(const std::filesystem::path& serviceDir);

} // namespace vorlanx::config
