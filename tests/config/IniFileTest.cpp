#include "config/IniFile.h"
#include "config/IniText.h"

#include "tests/config/SettingsTestDir.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using vorlanx::config::IniFile;
using vorlanx::config::kIniValueBufferSize;
using vorlanx::test::SettingsTestDir;

// GBK bytes of the names the service stores.
constexpr std::string_view kPeriodSectionGbk = "\xCA\xB1\xB6\xCE\xB2\xCE\xCA\xFD"; // 时段参数
constexpr std::string_view kServerGbk = "\xB7\xFE\xCE\xF1";                        // 服务
constexpr std::string_view kNameGbk = "\xC3\xFB\xB3\xC6";                          // 名称

TEST(IniFile, MissingFileSectionAndKeyReadAsEmpty) {
    SettingsTestDir dir;
    const IniFile file(dir.confIni());
    EXPECT_FALSE(file.exists());
    EXPECT_EQ(file.readValue("sername", "type"), "");

    dir.write(dir.confIni(), "[sername]\r\ntype=1\r\n");
    EXPECT_TRUE(file.exists());
    EXPECT_EQ(file.readValue("mssql", "type"), "");
    EXPECT_EQ(file.readValue("sername", "kind"), "");
    EXPECT_EQ(file.readValue("sername", "type"), "1");
}

#ifndef _WIN32
// conf.ini holds the database password: a save must not hand it to everyone, nor to another
// owner, nor write through a link that someone put beside it.
TEST(IniFile, RewriteKeepsModeAndOwnerAndFollowsNoLink) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), "[sername]\r\ntype=2\r\n");
    ASSERT_EQ(::chmod(dir.confIni().c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(dir.confIni().c_str(), 65534, 65534), 0);
    }
    const std::filesystem::path victim = dir.path() / "victim";
    std::filesystem::create_symlink(victim, dir.path() / "conf.ini.new");

    ASSERT_TRUE(IniFile(dir.confIni()).writeValue("mssql", "服务", "127.0.0.1"));
    struct stat after {};
    ASSERT_EQ(::lstat(dir.confIni().c_str(), &after), 0);
    EXPECT_TRUE(S_ISREG(after.st_mode));
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(after.st_uid, 65534u);
        EXPECT_EQ(after.st_gid, 65534u);
    }
    EXPECT_FALSE(std::filesystem::exists(victim)) << "the save wrote through a link";
    EXPECT_EQ(IniFile(dir.confIni()).readValue("mssql", "服务"), "127.0.0.1");
    EXPECT_EQ(IniFile(dir.confIni()).readValue("sername", "type"), "2");
}
#endif

TEST(IniFile, FirstWriteCreatesFileAndSectionInGbkWithCrLf) {
    SettingsTestDir dir;
    const IniFile file(dir.confIni());
    ASSERT_TRUE(file.writeValue("时段参数", "time1", "05:00:01-09:30:01"));
    ASSERT_TRUE(file.writeValue("mssql", "服务", "127.0.0.1"));
    ASSERT_TRUE(file.writeValue("mssql", "名称", "食堂"));

    const std::string expected = "[" + std::string(kPeriodSectionGbk) + "]\r\ntime1=05:00:01-09:30:01\r\n" +
                                 "[mssql]\r\n" + std::string(kServerGbk) + "=127.0.0.1\r\n" + std::string(kNameGbk) +
                                 "=\xCA\xB3\xCC\xC3\r\n";
    EXPECT_EQ(SettingsTestDir::read(dir.confIni()), expected);
    EXPECT_EQ(file.readValue("mssql", "名称"), "食堂");
}

TEST(IniFile, ReplacesOneKeyInPlaceAndLeavesEveryOtherByte) {
    SettingsTestDir dir;
    const std::string before = "; canteen settings\r\n"
                               "[sername]\r\n"
                               "type = 0\r\n"
                               "\r\n"
                               "[mssql]\r\n" +
                               std::string(kServerGbk) + "=10.0.0.5\r\n" + std::string(kNameGbk) +
                               "=pos\r\n"
                               "; keep this note\r\n"
                               "[other]\r\n"
                               "type=9";
    dir.write(dir.confIni(), before);
    ASSERT_TRUE(IniFile(dir.confIni()).writeValue("sername", "type", "1"));

    std::string expected = before;
    expected.replace(expected.find("type = 0"), 8, "type=1");
    EXPECT_EQ(SettingsTestDir::read(dir.confIni()), expected);
}

TEST(IniFile, NewKeyFollowsTheSectionsLastKeyAndNewSectionGoesAtTheEnd) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), "[sername]\r\ntype=1\r\n\r\n; database\r\n[mssql]\r\nuser=sa");
    const IniFile file(dir.confIni());
    ASSERT_TRUE(file.writeValue("sername", "extra", "x"));
    ASSERT_TRUE(file.writeValue("mssql", "port", "1433"));
    ASSERT_TRUE(file.writeValue("new", "k", "v"));
    EXPECT_EQ(
        SettingsTestDir::read(dir.confIni()),
        "[sername]\r\ntype=1\r\nextra=x\r\n\r\n; database\r\n[mssql]\r\nuser=sa\r\nport=1433\r\n[new]\r\nk=v\r\n");
}

TEST(IniFile, NamesMatchWithoutRegardToAsciiCase) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), "[SerName]\r\nTYPE=2\r\n");
    const IniFile file(dir.confIni());
    EXPECT_EQ(file.readValue("sername", "type"), "2");
    EXPECT_EQ(file.readValue(" SERNAME ", "Type"), "2");

    ASSERT_TRUE(file.writeValue("sername", "type", "1"));
    EXPECT_EQ(SettingsTestDir::read(dir.confIni()), "[SerName]\r\ntype=1\r\n");
}

TEST(IniFile, SecondByteOfAGbkCharacterIsNeitherFoldedNorABracket) {
    SettingsTestDir dir;
    // 丄 is 81 41 and 乤 is 81 61: folding bytes would make them one name. 乚 is 81 5D, whose
    // second byte is the code of "]".
    dir.write(dir.confIni(), "[\x81\x41]\r\nk=upper\r\n[\x81\x61]\r\nk=lower\r\n[\x81\x5D]\r\nk=bracket\r\n");
    const IniFile file(dir.confIni());
    EXPECT_EQ(file.readValue("乤", "k"), "lower");
    EXPECT_EQ(file.readValue("丄", "k"), "upper");
    EXPECT_EQ(file.readValue("乚", "k"), "bracket");
}

TEST(IniFile, ValuesLoseSurroundingBlanksAndOnePairOfQuotes) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), "  [mssql]  \r\n\tuser =  sa  \r\npassword=\"4 68\"\r\nsingle='x'\r\nodd=\"x\r\n");
    const IniFile file(dir.confIni());
    EXPECT_EQ(file.readValue("mssql", "user"), "sa");
    EXPECT_EQ(file.readValue("mssql", "password"), "4 68");
    EXPECT_EQ(file.readValue("mssql", "single"), "x");
    EXPECT_EQ(file.readValue("mssql", "odd"), "\"x");
}

TEST(IniFile, LfOnlyFileKeepsItsLineBreaks) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), "[a]\nk=1\n");
    const IniFile file(dir.confIni());
    ASSERT_TRUE(file.writeValue("a", "m", "2"));
    ASSERT_TRUE(file.writeValue("b", "n", "3"));
    EXPECT_EQ(SettingsTestDir::read(dir.confIni()), "[a]\nk=1\nm=2\n[b]\nn=3\n");
}

TEST(IniFile, LongValueIsCutAtTheReadBufferWithoutSplittingACharacter) {
    SettingsTestDir dir;
    const std::string ascii(kIniValueBufferSize + 100, 'a');
    // 10238 ASCII bytes, then 张 (D5 C5): its second byte would be byte 10240, the terminator's.
    const std::string straddling = std::string(kIniValueBufferSize - 2, 'b') + "\xD5\xC5" + "tail";
    dir.write(dir.confIni(), "[s]\r\nlong=" + ascii + "\r\nstraddle=" + straddling + "\r\n");
    const IniFile file(dir.confIni());
    EXPECT_EQ(file.readValue("s", "long"), std::string(kIniValueBufferSize - 1, 'a'));
    EXPECT_EQ(file.readValue("s", "straddle"), std::string(kIniValueBufferSize - 2, 'b'));
}

TEST(IniFile, WriteRefusesWhatWouldBreakTheLines) {
    SettingsTestDir dir;
    const IniFile file(dir.confIni());
    EXPECT_FALSE(file.writeValue("s", "k", "a\r\n[evil]"));
    EXPECT_FALSE(file.writeValue("s", "k=x", "v"));
    EXPECT_FALSE(file.writeValue("s]", "k", "v"));
    EXPECT_FALSE(file.exists());
}

TEST(IniFile, WritesFromSeveralThreadsAllLand) {
    // A connect worker may save while the UI thread saves periods; neither change may be lost.
    SettingsTestDir dir;
    const IniFile file(dir.confIni());
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&file, t] {
            for (int i = 0; i < 25; ++i)
                file.writeValue("s" + std::to_string(t), "k" + std::to_string(i), std::to_string(t * 100 + i));
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(file.readValue("s" + std::to_string(t), "k" + std::to_string(i)), std::to_string(t * 100 + i));
    }
}

TEST(IniText, StoredValueReadsBackIdentically) {
    std::string text;
    for (const std::string_view value : {"", "0", "127.0.0.1", "pass word", "\xD5\xC5\xC8\xFD"})
        EXPECT_EQ(vorlanx::config::readIniValue(vorlanx::config::writeIniValue(text, "s", "k", value), "s", "k"), value);
}

} // namespace
