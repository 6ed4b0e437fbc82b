#pragma once

#include <filesystem>
#include <functional>
#include <optional>

namespace vorlanx::service {

// Where the window (and on Windows vorlanxd) keeps conf.ini, the logs and the built-in database, on
// every platform by one rule: --dir DIR when given; else the data folder the Windows setup
// recorded (%ProgramData%\Vorlanx, shared by the window and the service); else the executable's
// directory when a file can be made there (a copied folder or a build tree keeps them beside the
// executable as always); else the user's folder, ~/.config/vorlanx or %APPDATA%\Vorlanx, for a
// copy installed where its user cannot write (/usr/bin, C:\Program Files).
struct WindowDirInputs {
    // --dir DIR: taken as given, whatever else holds.
    std::optional<std::filesystem::path> requested;
    // The data folder setup recorded; taken when it is a directory.
    std::filesystem::path recorded;
    // The directory of the running executable.
    std::filesystem::path programDir;
    // Where the packages install the window. Never taken, even when writable: root running the
    // installed window must not scatter conf.ini among the system's programs.
    std::filesystem::path installedProgramDir;
    // The user's configuration directory (~/.config, %APPDATA%); kWindowDirName in it is made
    // when needed.
    std::filesystem::path configHome;
};

#ifdef _WIN32
inline constexpr const char* kWindowDirName = "Vorlanx";
#else
inline constexpr const char* kWindowDirName = "vorlanx";
#endif

// The user's configuration directory: %APPDATA% on Windows; elsewhere $XDG_CONFIG_HOME when it
// is an absolute path, else ~/.config. Empty when the environment names none.
std::filesystem::path userConfigHome();

#ifdef _WIN32
// The data folder setup recorded: HKLM\Software\Vorlanx, value DataDir. Empty without one.
std::filesystem::path recordedDataDir();
#endif

// True when a file can be made in dir: the write is tried, since permissions, a read-only mount
// and root's privileges all decide it and only the system knows their sum.
bool isWritableDir(const std::filesystem::path& dir);

// The window's directory by the rule above; nullopt when it ends at a configuration directory
// that cannot be made.
std::optional<std::filesystem::path>
chooseWindowDir(const WindowDirInputs& inputs,
                const std::function<bool(const std::filesystem::path&)>& writable = isWritableDir);

// The rule for this process: requested (--dir), on Windows the recorded data folder, this
// executable's directory, the user's configuration directory from the environment. installedProgramDir as in
// WindowDirInputs.
std::optional<std::filesystem::path> windowDirOfThisProgram(const std::optional<std::filesystem::path>& requested,
                                                            const std::filesystem::path& installedProgramDir = {});

} // namespace vorlanx::service
