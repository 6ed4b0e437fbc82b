// Stands in for the service in the restart test: it notes the directory it was started in and its
// arguments, one per line, in probe-ran.txt there. The note appears whole or not at all.

#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    const std::filesystem::path here = std::filesystem::current_path();
    {
        std::ofstream out(here / "probe-ran.tmp", std::ios::binary | std::ios::trunc);
        out << here.string() << '\n';
        for (int i = 1; i < argc; ++i)
            out << argv[i] << '\n';
    }
    std::filesystem::rename(here / "probe-ran.tmp", here / "probe-ran.txt");
    return 0;
}
