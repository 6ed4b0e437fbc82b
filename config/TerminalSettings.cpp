#include "config/TerminalSettings.h"

#include "config/IniFile.h"

namespace vorlanx::config {

std::variant<link::AddressFilter, link::AddressFilter::BadItem> loadAllowList(const std::filesystem::path& serviceDir) {
    return link::AddressFilter::parse(IniFile(configFilePath(serviceDir)).readValue("terminals", "allow"));
}

} // namespace vorlanx::config
