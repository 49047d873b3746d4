// orvane-cli: Check, Tag and Retag from the command line, on the same engine as the window. Standard
// output carries exactly the report text the window would show; diagnostics go to standard error.

#include "integrity/filedigest.h"
#include "operations/hashnumber.h"
#include "operations/integrityrun.h"
#include "operations/item.h"
#include "operations/printablepath.h"
#include "operations/runprogress.h"
#include "operations/workerpool.h"
#include "progressline.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orvane;

namespace {

constexpr int exitClean = 0;
constexpr int exitFindings = 1;
constexpr int exitTrouble = 2;

const char usage[] = "Usage: orvane-cli [OPTION]... check|tag|retag PATH\n"
                     "\n"
                     "Keeps each file's SHA-256 digest in its extended attribute user."
                     "co.sablewickfern.kelmor.hash#S.\n"
                     "\n"
                     "  check   compare every file's contents with its stored digest; writes nothing\n"
                     "  tag     store every file's digest, replacing what was stored\n"
                     "  retag   store digests that are missing or differ; leave matching ones alone\n"
                     "\n"
                     "PATH is a folder (walked with totals) or a single file. Links and \"..\" in PATH are\n"
                     "resolved as the system resolves them. A file that cannot be read gets a line\n"
                     "\"Couldn't read PATH (reason)\", a folder that cannot be listed \"Couldn't read folder\";\n"
                     "files on pseudo file systems (/proc, /sys) are not read. Control characters in\n"
                     "names are shown as \\xHH.\n"
                     "\n"
                     "Options:\n"
                     "  --jobs=N, --jobs N hash up to N files of a folder at once; the report is the same\n"
                     "                     as with one. auto (the default): the CPUs this process may\n"
                     "                     use, at most 8, or 1 when PATH is on a rotational disk\n"
                     "  --progress         show progress on standard error: files and bytes done of\n"
                     "                     the whole, speed, time left and the current file, on one\n"
                     "                     line erased at the end (the default when standard error is\n"
                     "                     a terminal)\n"
                     "  --no-progress      show no progress\n"
                     "  --backend=modern   hash with OpenSSL's EVP interface\n"
                     "  --backend=classic  hash with OpenSSL's SHA256_Init/Update/Final\n"
                     "  --help             show this text\n"
                     "  --version          show the version\n"
                     "\n"
                     "Stopping: the first SIGINT (Ctrl+C) or SIGTERM lets the files in hand finish,\n"
                     "starts no other, prints the report so far and \"Stopped after N files: the run\n"
                     "did not finish.\" instead of the totals; a second one ends the program at once.\n"
                     "\n"
                     "Exit status: 0 every file handled cleanly; 1 a file mismatched, had no digest, could\n"
                     "not be read or could not be tagged; 2 usage error (also an empty PATH, or a PATH\n"
                     "ending in / that is no folder), PATH missing or not listable, OpenSSL without\n"
                     "SHA-256, or standard output that could not be written; 130 stopped by SIGINT,\n"
                     "143 stopped by SIGTERM.\n";

// The most files hashed at once that --jobs takes.
constexpr int mostJobs = 256;

// Set by the first write to standard output that fails; the run goes on, the exit status says it.
int outputError = 0;

void writeOut(const std::string& text)
{
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && outputError == 0)
        outputError = errno != 0 ? errno : EIO;
}

void diagnose(const std::string& subject, const std::string& reason)
{
    std::fprintf(stderr, "orvane-cli: %s: %s\n", subject.c_str(), reason.c_str());
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "orvane-cli: %s\nTry 'orvane-cli --help'.\n", message.c_str());
    return exitTrouble;
}

// Flushes standard output; a report that did not arrive whole is trouble, whatever the run found.
int finish(int status)
{
    if (std::fflush(stdout) != 0 && outputError == 0)
        outputError = errno != 0 ? errno : EIO;
    if (outputError == 0)
        return status;
    diagnose("standard output", std::strerror(outputError));
    return exitTrouble;
}

// The run the first SIGINT or SIGTERM asks to stop, and which signal did.
orvane::RunProgress* stoppable = nullptr;
volatile std::sig_atomic_t stopSignal = 0;
volatile std::sig_atomic_t progressShown = 0;

void onStopSignal(int signal)
{
    if (stopSignal == 0) {
        stopSignal = signal;
        if (stoppable)
            stoppable->stopRequested.store(true);
        return;
    }
    // The second ends the program at once, as the signal's default does.
    if (progressShown)
        (void)::write(STDERR_FILENO, "\r\x1b[K", 4);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

// The value of --jobs: a number from 1 to mostJobs, or 0 for auto; none when it is neither.
std::optional<int> parseJobs(const std::string& value)
{
    if (value == "auto")
        return 0;
    if (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int jobs = std::stoi(value);
    if (jobs < 1 || jobs > mostJobs)
        return std::nullopt;
    return jobs;
}

} // namespace

int main(int argc, char** argv)
{
    // A reader that goes away makes writes fail with EPIPE, reported like any failed write, instead of
    // ending the program silently halfway through a Tag.
    std::signal(SIGPIPE, SIG_IGN);
    // With standard output closed, the first file opened would take its number: refuse to start.
    if (::fcntl(STDOUT_FILENO, F_GETFD) < 0) {
        diagnose("standard output", std::strerror(errno));
        return exitTrouble;
    }

    std::vector<std::string> words;
    RunSettings settings;
    int jobs = 0; // auto
    bool showProgress = ::isatty(STDERR_FILENO) == 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            writeOut(usage);
            return finish(exitClean);
        }
        if (arg == "--version") {
            writeOut("orvane-cli " ORVANE_VERSION "\n");
            return finish(exitClean);
        }
        if (arg == "--jobs" || arg.rfind("--jobs=", 0) == 0) {
            if (arg == "--jobs" && i + 1 == argc)
                return usageError("--jobs needs a number or auto");
            const std::string value = arg == "--jobs" ? argv[++i] : arg.substr(7);
            const std::optional<int> parsed = parseJobs(value);
            if (!parsed)
                return usageError("--jobs takes a number from 1 to 256 or auto, not '" + printablePath(value) + "'");
            jobs = *parsed;
        } else if (arg == "--progress") {
            showProgress = true;
        } else if (arg == "--no-progress") {
            showProgress = false;
        } else if (arg == "--backend=modern") {
            settings.backend = Backend::Modern;
        } else if (arg == "--backend=classic") {
            settings.backend = Backend::Classic;
        } else if (arg == "--") {
            words.insert(words.end(), argv + i + 1, argv + argc);
            break;
        } else if (arg.size() > 1 && arg.front() == '-') {
            return usageError("unknown option '" + printablePath(arg) + "'");
        } else {
            words.push_back(arg);
        }
    }
    if (words.size() != 2)
        return usageError(words.empty() ? "no command given" : "expected a command and one PATH");

    Operation operation;
    if (words[0] == "check")
        operation = Operation::Check;
    else if (words[0] == "tag")
        operation = Operation::Tag;
    else if (words[0] == "retag")
        operation = Operation::Retag;
    else
        return usageError("unknown command '" + printablePath(words[0]) + "'");

    // An empty PATH (an unset variable in a script) must not fall back to the current folder.
    if (words[1].empty())
        return usageError("PATH is empty");
    const Result<Item> item = resolveItem(words[1]);
    if (!item) {
        if (item.failure().code == ENOTDIR && words[1].back() == '/')
            return usageError(printablePath(words[1]) + ": not a folder, but given with a trailing slash");
        diagnose(printablePath(words[1]), item.failure().reason);
        return exitTrouble;
    }
    if (const auto failure = checkCryptoAvailable()) {
        std::fprintf(stderr, "orvane-cli: %s\n", failure->reason.c_str());
        return exitTrouble;
    }

    const std::string& path = item.value().path;
    RunProgress progress;
    settings.progress = &progress;
    settings.countTotals = showProgress;
    settings.jobs = jobs > 0 ? jobs : defaultJobs(path);
    std::unique_ptr<WorkerPool> pool;
    if (item.value().isFolder && settings.jobs > 1) {
        pool = std::make_unique<WorkerPool>(settings.jobs);
        settings.pool = pool.get();
    }
    stoppable = &progress;
    catchStopSignals();
    std::optional<ProgressLine> line;
    if (showProgress) {
        line.emplace(progress, STDERR_FILENO);
        progressShown = 1;
    }

    RunState state;
    RunObserver observer;
    // Tag's notices of failed writes reach the window at once, ahead of the run's text; so they do here,
    // on a line of their own should standard output and standard error share a terminal.
    observer.directText = [&line](const std::string& text) {
        if (!line)
            return writeOut(text);
        line->withLineErased([&text] {
            writeOut(text);
            std::fflush(stdout);
        });
    };
    const std::optional<Failure> failure = runItem(operation, item.value(), settings, state, observer);
    if (line) {
        line->stop();
        progressShown = 0;
    }
    pool.reset();
    if (failure) {
        diagnose(printablePath(path), failure->reason);
        return finish(exitTrouble);
    }
    writeOut(state.reportText);
    if (stopSignal != 0)
        return finish(128 + stopSignal);
    return finish(runWasClean(operation, state.counters) ? exitClean : exitFindings);
}
