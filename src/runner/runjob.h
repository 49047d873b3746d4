#pragma once

#include "operations/integrityrun.h"
#include "operations/item.h"
#include "operations/runprogress.h"

#include <QString>

#include <mutex>
#include <optional>
#include <string>

// One run of Check, Tag or Retag on a window's item. The GUI thread fills in what the run needs before it
// starts the worker; the worker fills in its outcome before it posts the run back. Both do so holding
// handOffMutex().
struct RunJob
{
    // In:
    QObject* window = nullptr; // where the outcome is posted
    int id = 0; // the run's number in its window
    orvane::Operation operation = orvane::Operation::Check;
    orvane::Item item; // a folder's path without its final slash: the F of the totals
    orvane::RunSettings settings; // its progress points at the member below
    // Both ways, from any thread:
    orvane::RunProgress progress;
    // Out:
    std::optional<orvane::Failure> failure; // why the folder could not be walked
    QString text; // the whole report, totals included for a folder, once the run has ended
    orvane::RunCounters counters; // what the totals count
    bool stopped = false; // ended by Stop before the walk was done
};

/*!
 * The lock under which runs pass between the GUI thread and the pool. Qt's queues order the hand-over
 * already, but Qt is not built with ThreadSanitizer, which would take every hand-over for a race; a lock
 * of Orvane's own, older than every pool thread, makes it plain to see. It is held only to copy a run's
 * inputs and outcome, never while a file is read.
 */
std::mutex& handOffMutex();
