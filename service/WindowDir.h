#pragma once

#include <filesystem>
#include <functional>
#include <optional>

namespace vorlanx::service {

// Where the window keeps conf.ini, the built-in database and its restart script. A copied folder
// or a build tree keeps them beside the executable as always; a copy installed in /usr/bin, which
// its user cannot write, keeps them in the user's configuration directory instead.
struct WindowDirInputs {
    // --dir DIR: taken as given, whatever else holds.
    std::optional<std::filesystem::path> requested;
    // The directory of the running executable.
    std::filesystem::path programDir;
    // Where the packages install the window. Never taken, even when writable: root running the
    // installed window must not scatter conf.ini among the system's programs.
    std::filesystem::path installedProgramDir;
    // The user's configuration directory (~/.config); "vorlanx" in it is made when needed.
    std::filesystem::path configHome;
};

// True when a file can be made in dir: the write is tried, since permissions, a read-only mount
// and root's privileges all decide it and only the system knows their sum.
bool isWritableDir(const std::filesystem::path& dir);

// The window's directory by the rule above; nullopt when it ends at a configuration directory
// that cannot be made.
std::optional<std::filesystem::path>
chooseWindowDir(const WindowDirInputs& inputs,
                const std::function<bool(const std::filesystem::path&)>& writable = isWritableDir);

} // namespace vorlanx::service
