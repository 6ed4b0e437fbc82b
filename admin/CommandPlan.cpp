#include "admin/CommandPlan.h"

namespace vorlanx::admin {

std::size_t CommandPlan::frameCount() const {
    std::size_t count = 0;
    for (const PlanStep& step : steps) {
        if (step.kind != PlanStep::Kind::Pause)
            ++count;
    }
    return count;
}

std::chrono::milliseconds CommandPlan::totalPause() const {
    std::chrono::milliseconds total{0};
    for (const PlanStep& step : steps)
        total += step.pauseAfter;
    return total;
}

} // namespace vorlanx::admin
