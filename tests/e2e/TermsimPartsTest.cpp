// The simulator's own pieces: the frames a terminal sends, the reading of what it receives, the
// hostile datagrams and the latency percentiles.

#include "link/FrameBuilders.h"
#include "link/HexText.h"
#include "tools/vorlanx-termsim/HostileDatagrams.h"
#include "tools/vorlanx-termsim/LatencyHistogram.h"
#include "tools/vorlanx-termsim/TerminalFrames.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace vorlanx;
using namespace vorlanx::tools;

TEST(TerminalFrames, RequestsCarryTheFieldsWhereTheServiceReadsThem) {
    EXPECT_EQ(link::bytesToHex(cardQueryFrame(1, 12345678)), link::buildFrame("0001", "0006", "63", "00BC614E06"));
    EXPECT_EQ(link::bytesToHex(onlinePaymentFrame(1, 12345678, 250)),
              link::buildFrame("0001", "000A", "63", "00BC614E00000000FA"));
    EXPECT_EQ(link::bytesToHex(offlineUploadFrame(1, 12345678, "200508100503", 1250)),
              link::buildFrame("0001", "0010", "76", "00BC614E00200508100503000004E2"));
    // The keep-alive's length, command and first byte are what the service acknowledges.
    EXPECT_EQ(link::bytesToHex(heartbeatFrame(0x4E)).substr(8, 8), "00057400");
    EXPECT_EQ(link::bytesToHex(settingDoneFrame(1)), "FE010001000181E40C");
}

TEST(TerminalFrames, RepliesAreCheckedWhole) {
    const auto ack = link::hexToBytes("FE010001000177644A");
    const ReceivedFrame good = readFrame(ack);
    EXPECT_TRUE(good.valid);
    EXPECT_TRUE(good.lengthMatches);
    EXPECT_EQ(good.machine, 1);
    EXPECT_EQ(good.command, kCommandOfflineAcknowledge);

    auto badChecksum = ack;
    badChecksum.back() ^= 1;
    EXPECT_FALSE(readFrame(badChecksum).valid);
    EXPECT_FALSE(readFrame(std::span(ack).first(8)).valid);
    const auto wrongLength = link::hexToBytes(link::buildFrame("0001", "0044", "77", ""));
    EXPECT_TRUE(readFrame(wrongLength).valid);
    EXPECT_FALSE(readFrame(wrongLength).lengthMatches);

    const std::string display(64 * 2, '0');
    const auto reply = link::hexToBytes(link::cardReplyFrame("0001", display + "010100"));
    const ReceivedFrame paid = readFrame(reply);
    ASSERT_TRUE(paid.valid);
    EXPECT_TRUE(paid.lengthMatches);
    EXPECT_EQ(cardReplyResult(paid.parameters), "010100");
}

TEST(HostileDatagrams, NeverATransactionNorAKeepAlive) {
    HostileDatagrams hostile(42);
    std::size_t longest = 0;
    for (int i = 0; i < 20000; ++i) {
        const Bytes d = hostile.next(7);
        longest = std::max(longest, d.size());
        ASSERT_LE(d.size(), HostileDatagrams::kMaxLength);
        if (d.size() >= 7) {
            ASSERT_TRUE(d[6] != kCommandCardTransaction && d[6] != kCommandOfflineRecord);
        }
        if (d.size() >= 8) {
            ASSERT_FALSE(d[4] == 0 && d[5] == 5 && d[6] == kCommandHeartbeat && d[7] == 0);
        }
    }
    EXPECT_GT(longest, 3000u);
}

TEST(LatencyHistogram, PercentilesWithinOnePercent) {
    LatencyHistogram h;
    EXPECT_EQ(h.percentile(0.99), 0u);
    for (std::uint64_t v = 1; v <= 100000; ++v)
        h.record(v);
    EXPECT_EQ(h.count(), 100000u);
    EXPECT_EQ(h.max(), 100000u);
    for (const double q : {0.5, 0.9, 0.99}) {
        const double exact = q * 100000;
        EXPECT_LE(std::abs(static_cast<double>(h.percentile(q)) - exact), exact * 0.01) << q;
    }
    LatencyHistogram small;
    small.record(3);
    small.record(3);
    small.record(120);
    EXPECT_EQ(small.percentile(0.5), 3u);
    EXPECT_EQ(small.percentile(1.0), 120u);
}

} // namespace
