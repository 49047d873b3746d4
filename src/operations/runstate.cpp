#include "runstate.h"

namespace orvane {

void commitOutcome(const Outcome& outcome, RunState& state, const RunObserver& observer)
{
    state.counters.count(state.command, state.variant, outcome);
    if (observer.fileDone)
        observer.fileDone(outcome);
}

} // namespace orvane
