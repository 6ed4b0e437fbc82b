#pragma once

#include "link/ClockTexts.h"

#include <mutex>

namespace vorlanx::link {

// The clock texts as one value: the clock tick replaces them whole, and every reader
// (payment jobs on worker threads, the clock command on the UI thread) copies them whole,
// so nobody ever sees a date from one tick with a time from another.
class SharedClock {
public:
    SharedClock();

    // Rebuilds the texts from the current local time and returns the new value.
    ClockTexts tick();
    void set(ClockTexts texts);
    ClockTexts get() const;

private:
    mutable std::mutex m_mutex;
    ClockTexts m_texts;
};

} // namespace vorlanx::link
