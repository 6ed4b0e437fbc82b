#include "config/TerminalSettings.h"

#include "config/IniFile.h"

namespace vorlanx::config {

std::variant<link::AddressFilter, link::AddressFilter::BadItem> loadAllowList(const std::filesystem::path& serviceDir) {
    return link::AddressFilter::parse(IniFile(configFilePath(serviceDir)).readValue("terminals", "allow"));
}

std::optional<std::variant<link::AddressFilter, link::AddressFilter::BadItem>>
readAllowList(const std::filesystem::path& serviceDir) {
    const std::optional<std::string> value =
        IniFile(configFilePath(serviceDir)).readValueIfReadable("terminals", "allow");
    if (!value)
        return std::nullopt;
    return link::AddressFilter::parse(*value);
}

} // namespace vorlanx::config
