#include "tools/vorlanxd/RotatingLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class RotatingLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() / (std::string("vorlanx-rotating-") + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static std::vector<std::string> lines(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::vector<std::string> result;
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

    fs::path m_dir;
};

// Line n's text after the time stamp ("YYYY-MM-DD HH:MM:SS ").
std::string textOf(const std::string& line) {
    return line.size() > 20 ? line.substr(20) : std::string();
}

TEST_F(RotatingLogTest, KeepsWholeLinesInOrderWithinTheBoundAndDropsTheOldest) {
    const fs::path file = m_dir / "vorlanxd.log";
    constexpr std::uintmax_t kLimit = 200;
    {
        vorlanx::RotatingLog log(file, kLimit, 2);
        ASSERT_TRUE(log.isOpen());
        std::ostream out(&log);
        for (int n = 0; n < 40; ++n)
            out << "line " << n << " 食堂" << '\n';
        out << "an unfinished line";
    }
    ASSERT_TRUE(fs::exists(file));
    ASSERT_TRUE(fs::exists(m_dir / "vorlanxd.log.1"));
    ASSERT_TRUE(fs::exists(m_dir / "vorlanxd.log.2"));
    EXPECT_FALSE(fs::exists(m_dir / "vorlanxd.log.3"));
    // Oldest file first: the lines run on without a gap and end with the newest.
    std::vector<std::string> all;
    for (const fs::path& part : {m_dir / "vorlanxd.log.2", m_dir / "vorlanxd.log.1", file}) {
        EXPECT_LE(fs::file_size(part), kLimit) << part;
        for (const auto& line : lines(part))
            all.push_back(textOf(line));
    }
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all.back(), "an unfinished line");
    const int first = std::stoi(all.front().substr(5));
    EXPECT_GT(first, 0) << "nothing was dropped";
    for (std::size_t i = 0; i + 1 < all.size(); ++i)
        EXPECT_EQ(all[i], "line " + std::to_string(first + static_cast<int>(i)) + " 食堂");
}

TEST_F(RotatingLogTest, AppendsToTheLogOfAnEarlierRunAndTakesALongLineWhole) {
    const fs::path file = m_dir / "vorlanxd.log";
    {
        vorlanx::RotatingLog log(file, 100, 1);
        std::ostream out(&log);
        out << "first run" << std::endl;
    }
    const std::string longLine(150, 'x');
    {
        vorlanx::RotatingLog log(file, 100, 1);
        std::ostream out(&log);
        out << "second run" << std::endl;
        out << longLine << std::endl;
    }
    const auto older = lines(m_dir / "vorlanxd.log.1");
    const auto newer = lines(file);
    ASSERT_EQ(older.size(), 2u);
    EXPECT_EQ(textOf(older[0]), "first run");
    EXPECT_EQ(textOf(older[1]), "second run");
    ASSERT_EQ(newer.size(), 1u);
    EXPECT_EQ(textOf(newer[0]), longLine);
}

TEST_F(RotatingLogTest, LinesOfThreadsWritingAtOnceStayWhole) {
    const fs::path file = m_dir / "vorlanxd.log";
    {
        vorlanx::RotatingLog log(file, 1 << 20, 1);
        std::vector<std::thread> writers;
        for (int t = 0; t < 4; ++t)
            writers.emplace_back([&log, t] {
                std::ostream out(&log);
                for (int n = 0; n < 200; ++n)
                    out << std::string("thread ") + std::to_string(t) + " line " + std::to_string(n) + "\n";
            });
        for (auto& writer : writers)
            writer.join();
    }
    const auto written = lines(file);
    ASSERT_EQ(written.size(), 800u);
    for (const auto& line : written)
        EXPECT_EQ(textOf(line).rfind("thread ", 0), 0u) << line;
}

} // namespace
