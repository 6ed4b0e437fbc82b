#include "db/ReconnectGate.h"

#include <gtest/gtest.h>

namespace vorlanx::db {
namespace {

using namespace std::chrono_literals;

TEST(ReconnectGate, NothingToDoWhileTheConnectionIsFine) {
    ReconnectGate gate(5s);
    EXPECT_FALSE(gate.attemptNow(ReconnectGate::Clock::time_point{}));
}

TEST(ReconnectGate, FirstJobAfterTheLossTriesAtOnceThenAtMostOncePerSpacing) {
    ReconnectGate gate(5s);
    const ReconnectGate::Clock::time_point start{100s};
    gate.connectionLost();
    EXPECT_TRUE(gate.attemptNow(start));
    EXPECT_FALSE(gate.attemptNow(start + 1s));
    EXPECT_FALSE(gate.attemptNow(start + 4s));
    EXPECT_TRUE(gate.attemptNow(start + 5s));
    EXPECT_FALSE(gate.attemptNow(start + 6s));
}

TEST(ReconnectGate, ASuccessfulConnectEndsTheRecovery) {
    ReconnectGate gate(5s);
    const ReconnectGate::Clock::time_point start{100s};
    gate.connectionLost();
    EXPECT_TRUE(gate.attemptNow(start));
    gate.reset();
    EXPECT_FALSE(gate.isLost());
    EXPECT_FALSE(gate.attemptNow(start + 10s));
    gate.connectionLost();
    EXPECT_TRUE(gate.attemptNow(start + 11s));
}

} // namespace
} // namespace vorlanx::db
