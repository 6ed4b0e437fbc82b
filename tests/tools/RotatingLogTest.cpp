#include "tools/vorlanxd/RotatingLog.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// vorlanxd's main thread writes its lines in pieces ("stopping: ... up to " << n << " s") while
// the workers write theirs: a line another thread ends in between must not land inside it.
TEST_F(RotatingLogTest, ALineWrittenInPiecesIsNotSplicedByAnotherThreadsLine) {
    const fs::path file = m_dir / "vorlanxd.log";
    {
        vorlanx::RotatingLog log(file, 1 << 20, 1);
        std::ostream main(&log);
        main << "stopping: answering for up to ";
        std::thread([&log] {
            std::ostream worker(&log);
            worker << "booking answered\n";
        }).join();
        main << 10 << " s" << std::endl;
    }
    const auto written = lines(file);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(textOf(written[0]), "booking answered");
    EXPECT_EQ(textOf(written[1]), "stopping: answering for up to 10 s");
}

TEST_F(RotatingLogTest, LinesOfThreadsWritingInPiecesAtOnceStayWholeAndInOrder) {
    const fs::path file = m_dir / "vorlanxd.log";
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    {
        vorlanx::RotatingLog log(file, 1 << 20, 1);
        std::vector<std::thread> writers;
        for (int t = 0; t < kThreads; ++t)
            writers.emplace_back([&log, t] {
                std::ostream out(&log);
                for (int n = 0; n < kLines; ++n) {
                    out << "thread " << t;
                    std::this_thread::yield();
                    out << " line " << n << '\n';
                }
            });
        for (auto& writer : writers)
            writer.join();
    }
    const auto written = lines(file);
    ASSERT_EQ(written.size(), static_cast<std::size_t>(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (const auto& line : written) {
        int t = -1;
        int n = -1;
        char rest = 0;
        ASSERT_EQ(std::sscanf(textOf(line).c_str(), "thread %d line %d%c", &t, &n, &rest), 2) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_EQ(n, next[t]++) << line;
    }
}

} // namespace
