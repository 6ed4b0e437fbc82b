#pragma once

#include <filesystem>

namespace vorlanx::config {

// Whether "传全部白名单" serves every terminal at once, frame by frame (section "whitelist",
// key "parallel", 0 or 1). Off when the file says nothing else.
bool loadParallelDownload(const std::filesystem::path& serviceDir);
bool saveParallelDownload(const std::filesystem::path& serviceDir, bool parallel);

} // namespace vorlanx::config
