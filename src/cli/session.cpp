#include "session.h"

#include "output.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace orvane;

namespace {

// The run the first SIGINT or SIGTERM asks to stop, and which signal did.
RunProgress* stoppable = nullptr;
volatile std::sig_atomic_t stopSignal = 0;
volatile std::sig_atomic_t progressShown = 0;

// A pipe that the first stop signal writes a byte to, so that a read waiting for input wakes up. It stays
// open for the program's life: a handler on another thread could write to a number reused meanwhile.
int stopPipe[2] = { -1, -1 };

void onStopSignal(int signal)
{
    if (stopSignal == 0) {
        stopSignal = signal;
        if (stoppable)
            stoppable->stopRequested.store(true);
        if (stopPipe[1] >= 0) {
            const ssize_t written = ::write(stopPipe[1], "", 1);
            (void)written; // nothing more a handler could do
        }
        return;
    }
    // The second ends the program at once, as the signal's default does. Erasing the progress line is a
    // courtesy: if the write fails, the program ends all the same.
    if (progressShown && ::write(STDERR_FILENO, "\r\x1b[K", 4) < 0)
        progressShown = 0;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void catchStopSignals()
{
    if (stopPipe[0] < 0 && ::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        stopPipe[0] = stopPipe[1] = -1;
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESTART;
    // One handler at a time: a second signal landing inside the first one's handler would otherwise be
    // taken for the first as well, and not end the program.
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace

Session::Session(Command command, Variant variant, const SessionOptions& options)
    : m_command(command)
    , m_options(options)
    // Tag's notices of failed writes reach the window at once, ahead of the run's text; so they do here, on a
    // line of their own should standard output and standard error share a terminal.
    , m_text(
          command, variant, [this](const std::string& notice) { writeBeside(notice); }, options.quiet)
    , m_json(command)
{
    stoppable = &m_progress;
    catchStopSignals();
    if (options.showProgress) {
        m_line.emplace(m_progress, STDERR_FILENO);
        progressShown = 1;
    }
    if (options.jsonl) {
        m_observer.fileDone = [this](const Outcome& outcome) {
            if (m_options.quiet && resultIsFine(outcome.result))
                m_json.skip(outcome);
            else
                writeBeside(m_json.fileObject(outcome));
        };
    } else {
        m_observer.fileDone = [this](const Outcome& outcome) { m_text.add(outcome); };
    }
}

int Session::stopDescriptor()
{
    return stopPipe[0];
}

Session::~Session()
{
    runEnded();
    stoppable = nullptr;
}

void Session::runEnded()
{
    if (m_line) {
        m_line->stop();
        m_line.reset();
        progressShown = 0;
    }
}

int Session::report(const RunResult& result, const std::string& subject, const std::string& textSubject)
{
    if (m_options.jsonl) {
        output::write(m_json.totalsObject(subject, result.counters, result.stopped));
    } else {
        m_text.finish(textSubject, result.counters, result.stopped);
        output::write(m_text.text());
    }
    if (stopSignal != 0)
        return output::finish(128 + stopSignal);
    return output::finish(runWasClean(m_command, result.counters) ? output::exitClean : output::exitFindings);
}

void Session::writeBeside(const std::string& text)
{
    if (!m_line)
        return output::write(text);
    m_line->withLineErased([&text] {
        output::write(text);
        std::fflush(stdout);
    });
}
