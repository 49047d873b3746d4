#pragma once

#include "outcome.h"

#include <functional>

namespace orvane {

/// How a run hands its outcomes to its caller: each one, in report order, on the thread that commits it.
struct RunObserver
{
    std::function<void(const Outcome& outcome)> fileDone;
};

/// What a run adds up as its outcomes are committed. Only one thread at a time commits.
struct RunState
{
    RunState(Command command, Variant variant)
        : command(command)
        , variant(variant)
    {
    }

    Command command;
    Variant variant;
    RunCounters counters;
};

/// Adds the outcome to the run, in the report's order: counted in state, handed to the observer.
void commitOutcome(const Outcome& outcome, RunState& state, const RunObserver& observer);

} // namespace orvane
