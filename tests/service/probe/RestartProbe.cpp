// Stands in for the service in the restart test: it notes the directory it was started in and its
// arguments, one per line in UTF-8, in probe-ran.txt there. The note appears whole or not at all.

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

namespace {

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The arguments as the program was given them: on Windows from the UTF-16 command line, which
// holds every character whatever the ANSI code page.
std::vector<std::string> arguments(int argc, char** argv) {
    std::vector<std::string> out;
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i)
        out.push_back(utf8(std::filesystem::path(wide[i])));
    LocalFree(wide);
#else
    for (int i = 1; i < argc; ++i)
        out.emplace_back(argv[i]);
#endif
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path here = std::filesystem::current_path();
    {
        std::ofstream out(here / "probe-ran.tmp", std::ios::binary | std::ios::trunc);
        out << utf8(here) << '\n';
        for (const std::string& argument : arguments(argc, argv))
            out << argument << '\n';
    }
    std::filesystem::rename(here / "probe-ran.tmp", here / "probe-ran.txt");
    return 0;
}
