#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vorlanx::admin {

// A terminal that a command frame goes to, checked: an IPv4 address, a port 1-65535 and the
// decimal machine number ("0".."65535"; an empty field has already become "0").
struct Destination {
    std::string address;
    std::uint16_t port = 0;
    std::string machine;

    bool operator==(const Destination&) const = default;
};

// One step of a command: a frame to one terminal followed by a pause, or a pause alone. The
// pauses are part of what terminals expect: they need time to store one setting before the next
// frame arrives.
struct PlanStep {
    enum class Kind {
        Frame,      // frameHex to `to`, then pauseAfter
        ClockFrame, // a set-clock frame to `to`, its clock code taken from local time when it is sent
        Pause,      // pauseAfter alone
    };

    Kind kind = Kind::Pause;
    Destination to;
    std::string frameHex;
    std::chrono::milliseconds pauseAfter{0};

    bool operator==(const PlanStep&) const = default;
};

// Everything one click sends, in order. An empty plan sends nothing.
struct CommandPlan {
    std::vector<PlanStep> steps;

    std::size_t frameCount() const;
    std::chrono::milliseconds totalPause() const;
};

} // namespace vorlanx::admin
