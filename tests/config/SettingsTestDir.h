#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace vorlanx::test {

// A fresh service directory under the system's temporary directory, removed with its contents
// at the end of the test.
class SettingsTestDir {
public:
    explicit SettingsTestDir(std::string_view stem = "vorlanx-settings") {
        std::random_device random;
        // The stem is UTF-8; on Windows a path made from narrow text would take it for other bytes.
        const std::string name = std::string(stem) + "-" + std::to_string(random());
        m_path = std::filesystem::temp_directory_path() / std::u8string(name.begin(), name.end());
        std::filesystem::create_directories(m_path);
    }
    ~SettingsTestDir() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    SettingsTestDir(const SettingsTestDir&) = delete;
    SettingsTestDir& operator=(const SettingsTestDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path confIni() const { return m_path / "conf.ini"; }

    void write(const std::filesystem::path& file, std::string_view bytes) const {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    static std::string read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path m_path;
};

} // namespace vorlanx::test
