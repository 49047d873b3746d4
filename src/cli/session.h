#pragma once

#include "operations/integrityrun.h"
#include "operations/jsonreport.h"
#include "operations/reportformat.h"
#include "operations/runprogress.h"
#include "progressline.h"

#include <optional>
#include <string>

/// How a run of orvane-cli shows itself: progress on standard error, the report as text or JSON Lines.
struct SessionOptions
{
    bool showProgress = false;
    bool quiet = false;
    bool jsonl = false;
};

/*!
 * A run of check, tag, retag or import as the command line shows it: progress on standard error, the first
 * SIGINT or SIGTERM heard as a stop request (a second one ends the program at once) from the moment the
 * session exists, and the report on
 * standard output as text (Tag's notices at once, ahead of the rest) or as JSON Lines (each object as its
 * outcome comes).
 */
class Session
{
public:
    Session(orvane::Command command, orvane::Variant variant, const SessionOptions& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    [[nodiscard]] orvane::RunProgress& progress()
    {
        return m_progress;
    }
    [[nodiscard]] const orvane::RunObserver& observer() const
    {
        return m_observer;
    }
    /// A descriptor that becomes readable with the stop request, for a read that waits (a list on a pipe).
    [[nodiscard]] static int stopDescriptor();

    /// Ends the progress line; call once the run has returned.
    void runEnded();

    /*!
     * Writes the rest of the report of the run on subject (the JSON Lines totals name it as it is; the text
     * names textSubject) and gives the exit status.
     */
    [[nodiscard]] int report(
        const orvane::RunResult& result, const std::string& subject, const std::string& textSubject);

private:
    void writeBeside(const std::string& text);

    orvane::Command m_command;
    SessionOptions m_options;
    orvane::RunProgress m_progress;
    std::optional<ProgressLine> m_line;
    orvane::TextReport m_text;
    orvane::JsonReport m_json;
    orvane::RunObserver m_observer;
};
