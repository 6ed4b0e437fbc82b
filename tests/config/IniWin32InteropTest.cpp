// conf.ini written by our INI code must read the same through GetPrivateProfileStringA, and a file
// written by WritePrivateProfileStringA must read the same through ours: an office may still have
// the file of an older installation, and its tools edit the file with the Win32 calls. Names and
// values cross the ANSI calls as GBK bytes, as they do on a Chinese Windows.

#include "config/IniFile.h"

#include "tests/config/SettingsTestDir.h"
#include "link/Gbk.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using vorlanx::config::IniFile;
using vorlanx::test::SettingsTestDir;

std::string gbk(std::string_view utf8) {
    return vorlanx::link::toGbk(utf8);
}

// The ANSI profile calls want the file's full path in the ANSI code page.
std::string ansiPath(const std::filesystem::path& path) {
    const std::wstring wide = std::filesystem::absolute(path).wstring();
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), bytes, nullptr, nullptr);
    return text;
}

// The value as GetPrivateProfileStringA gives it, in GBK bytes; no default, a 10240-byte buffer.
std::string win32Read(const std::filesystem::path& file, std::string_view section, std::string_view key) {
    std::string buffer(10240, '\0');
    const DWORD length = GetPrivateProfileStringA(gbk(section).c_str(), gbk(key).c_str(), "", buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), ansiPath(file).c_str());
    buffer.resize(length);
    return buffer;
}

bool win32Write(const std::filesystem::path& file, std::string_view section, std::string_view key,
                std::string_view value) {
    const std::string path = ansiPath(file);
    const bool written =
        WritePrivateProfileStringA(gbk(section).c_str(), gbk(key).c_str(), gbk(value).c_str(), path.c_str()) != 0;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()); // no cached copy stays behind
    return written;
}

struct Setting {
    const char* section;
    const char* key;
    const char* value;
};

// What the service keeps, with Chinese section names, Chinese key names and Chinese values.
const Setting kSettings[] = {
    {"sername", "type", "1"},
    {"mssql", "服务", "192.168.1.20"},
    {"mssql", "名称", "食堂消费"},
    {"mssql", "用户", "sa"},
    {"mssql", "密码", "四六八"},
    {"时段参数", "time1", "05:00:01-09:30:01"},
    {"时段参数", "time4", "19:01:01-23:59:59"},
    {"时段金额", "money2", "1250"},
    {"时段金额", "早餐", "三元"},
};

TEST(IniWin32Interop, WhatOurCodeWritesGetPrivateProfileStringAReads) {
    SCOPED_TRACE("ANSI code page " + std::to_string(GetACP()));
    SettingsTestDir dir;
    const IniFile ini(dir.confIni());
    for (const Setting& s : kSettings)
        ASSERT_TRUE(ini.writeValue(s.section, s.key, s.value)) << s.section << "/" << s.key;
    ASSERT_TRUE(ini.writeValue("mssql", "服务", "10.0.0.5")); // replaced where it stands

    for (const Setting& s : kSettings) {
        const std::string expected = std::string(s.key) == "服务" ? "10.0.0.5" : s.value;
        EXPECT_EQ(win32Read(dir.confIni(), s.section, s.key), gbk(expected)) << s.section << "/" << s.key;
    }
    EXPECT_EQ(win32Read(dir.confIni(), "SERNAME", "Type"), "1") << "names match without regard to ASCII case";
    EXPECT_EQ(win32Read(dir.confIni(), "时段参数", "time2"), "");
    EXPECT_EQ(win32Read(dir.confIni(), "数据", "time1"), "");
}

TEST(IniWin32Interop, WhatWritePrivateProfileStringAWritesOurCodeReads) {
    SCOPED_TRACE("ANSI code page " + std::to_string(GetACP()));
    SettingsTestDir dir;
    for (const Setting& s : kSettings)
        ASSERT_TRUE(win32Write(dir.confIni(), s.section, s.key, s.value)) << s.section << "/" << s.key;
    ASSERT_TRUE(win32Write(dir.confIni(), "时段金额", "money2", "900"));

    const IniFile ini(dir.confIni());
    for (const Setting& s : kSettings) {
        const std::string expected = std::string(s.key) == "money2" ? "900" : s.value;
        EXPECT_EQ(ini.readValue(s.section, s.key), expected) << s.section << "/" << s.key;
    }
    EXPECT_EQ(ini.readValue("MSSQL", "用户"), "sa");

    // Our write into the file the Win32 calls made, read back by them: both keep each other's keys.
    ASSERT_TRUE(ini.writeValue("时段参数", "time1", "06:00:00-09:00:00"));
    ASSERT_TRUE(ini.writeValue("时段参数", "time2", "09:31:01-14:00:01"));
    EXPECT_EQ(win32Read(dir.confIni(), "时段参数", "time1"), "06:00:00-09:00:00");
    EXPECT_EQ(win32Read(dir.confIni(), "时段参数", "time2"), "09:31:01-14:00:01");
    EXPECT_EQ(win32Read(dir.confIni(), "时段参数", "time4"), "19:01:01-23:59:59");
    EXPECT_EQ(win32Read(dir.confIni(), "mssql", "密码"), gbk("四六八"));
}

TEST(IniWin32Interop, TrailBytesLikeAsciiStayPartOfTheirCharacterOnAChineseWindows) {
    if (GetACP() != 936)
        GTEST_SKIP() << "needs the ANSI code page of a Chinese Windows (936); this one has " << GetACP()
                     << " (scripts/test-windows runs the tests once more under LC_ALL=zh_CN.UTF-8)";
    // 丄 is 81 41 and 乤 is 81 61, which ASCII case folding would make one name; 乚 is 81 5D, whose
    // second byte is the code of "]". Windows works on characters: three sections.
    SettingsTestDir dir;
    const IniFile ini(dir.confIni());
    ASSERT_TRUE(ini.writeValue("丄", "键", "upper"));
    ASSERT_TRUE(ini.writeValue("乤", "键", "lower"));
    ASSERT_TRUE(ini.writeValue("乚", "键", "bracket"));
    EXPECT_EQ(win32Read(dir.confIni(), "丄", "键"), "upper");
    EXPECT_EQ(win32Read(dir.confIni(), "乤", "键"), "lower");
    EXPECT_EQ(win32Read(dir.confIni(), "乚", "键"), "bracket");

    ASSERT_TRUE(win32Write(dir.confIni(), "乤", "键", "LOWER"));
    ASSERT_TRUE(win32Write(dir.confIni(), "乚", "名", "乚"));
    EXPECT_EQ(ini.readValue("丄", "键"), "upper");
    EXPECT_EQ(ini.readValue("乤", "键"), "LOWER");
    EXPECT_EQ(ini.readValue("乚", "键"), "bracket");
    EXPECT_EQ(ini.readValue("乚", "名"), "乚");
}

} // namespace
