// orvane-cli: Check, Tag and Retag from the command line, on the same engine as the window, and checksum
// lists out of and into the digest attributes. Standard output carries exactly the report text the window
// would show (or its JSON Lines form, or a checksum list); diagnostics go to standard error.

#include "integrity/filedigest.h"
#include "jsonreport.h"
#include "operations/checksumexport.h"
#include "operations/checksumlist.h"
#include "operations/hashnumber.h"
#include "operations/importrun.h"
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
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace orvane;

namespace {

constexpr int exitClean = 0;
constexpr int exitFindings = 1;
constexpr int exitTrouble = 2;

const char usage[] = "Usage: orvane-cli [OPTION]... check|tag|retag PATH\n"
                     "       orvane-cli [--tag] export PATH\n"
                     "       orvane-cli [OPTION]... import LIST [--base DIR]\n"
                     "\n"
                     "Keeps each file's SHA-256 digest in its extended attribute user."
                     "co.sablewickfern.kelmor.hash#S.\n"
                     "\n"
                     "  check   compare every file's contents with its stored digest; writes nothing\n"
                     "  tag     store every file's digest, replacing what was stored\n"
                     "  retag   store digests that are missing or differ; leave matching ones alone\n"
                     "  export  write the stored digests as a sha256sum checksum list; reads no contents\n"
                     "  import  store the digests of a checksum list (- for standard input) for the files\n"
                     "          whose contents match it now\n"
                     "\n"
                     "PATH is a folder (walked with totals) or a single file. Links and \"..\" in PATH are\n"
                     "resolved as the system resolves them. A file that cannot be read gets a line\n"
                     "\"Couldn't read PATH (reason)\", a folder that cannot be listed \"Couldn't read folder\";\n"
                     "files on pseudo file systems (/proc, /sys) are not read. Control characters in\n"
                     "names are shown as \\xHH.\n"
                     "\n"
                     "export lists a folder's files relative to it (cd PATH && sha256sum -c LIST), a file\n"
                     "by its name; a name with a newline, carriage return or backslash is escaped as GNU\n"
                     "sha256sum does. Files without a 32-byte stored digest are named on standard error.\n"
                     "import reads either form, resolves relative paths against DIR (default: the list's\n"
                     "folder) and reports \"Imported P\", \"Digest for P doesn't match the list\" (nothing\n"
                     "stored), \"Couldn't read P (reason)\", \"Couldn't tag P (reason)\" and \"Line N of the\n"
                     "list isn't a checksum line\", then \"Imported a total of N files listed in LIST\" with\n"
                     "the lines \"matched the list and were tagged\", \"didn't match the list\", \"couldn't be\n"
                     "tagged.\" and, when there were any, \"couldn't be read.\" and \"lines of the list weren't\n"
                     "checksum lines.\"\n"
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
                     "  -q, --quiet        leave out the lines of files that are fine (\"\u2705 ...\" and Tag's\n"
                     "                     \"Digest ...\"); problems, notices and totals stay\n"
                     "  --format=text      the report as text (the default)\n"
                     "  --format=jsonl     one JSON object per file, then one of totals (docs/jsonl.md)\n"
                     "  --tag              export: write BSD lines \"SHA256 (path) = hex\"\n"
                     "  --base=DIR, --base DIR  import: resolve the list's relative paths against DIR\n"
                     "  --help             show this text\n"
                     "  --version          show the version\n"
                     "\n"
                     "Stopping: the first SIGINT (Ctrl+C) or SIGTERM lets the files in hand finish,\n"
                     "starts no other, prints the report so far and \"Stopped after N files: the run\n"
                     "did not finish.\" instead of the totals; a second one ends the program at once.\n"
                     "\n"
                     "Exit status: 0 every file handled cleanly (import: every listed file imported);\n"
                     "1 a file mismatched, had no digest, could not be read or could not be tagged\n"
                     "(export: a file had no digest to list; import: a file was not imported or a line\n"
                     "was malformed); 2 usage error (also an empty PATH, or a PATH ending in / that is no\n"
                     "folder), PATH missing or not listable, a list or DIR that cannot be read, OpenSSL\n"
                     "without SHA-256, or standard output that could not be written; 130 stopped by\n"
                     "SIGINT, 143 stopped by SIGTERM.\n";

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

// Says why OpenSSL cannot serve a run, if it cannot.
bool cryptoMissing()
{
    const std::optional<Failure> failure = checkCryptoAvailable();
    if (failure)
        std::fprintf(stderr, "orvane-cli: %s\n", failure->reason.c_str());
    return failure.has_value();
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
    // Erasing is a courtesy: if the write fails, the program ends all the same.
    if (progressShown && ::write(STDERR_FILENO, "\r\x1b[K", 4) < 0)
        progressShown = 0;
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

// What the command line asked for besides the command and its argument.
struct Options
{
    std::vector<std::string> words;
    RunSettings settings;
    int jobs = 0; // auto
    bool showProgress = ::isatty(STDERR_FILENO) == 1;
    bool quiet = false;
    bool jsonl = false;
    bool bsd = false;
    std::optional<std::string> base;
};

// The lines of a report without those of files that are fine: what --quiet prints.
std::string problemLines(const std::string& report)
{
    std::string kept;
    for (std::size_t at = 0; at < report.size();) {
        const std::size_t newline = report.find('\n', at);
        const std::size_t end = newline == std::string::npos ? report.size() : newline + 1;
        const std::string_view line(report.data() + at, end - at);
        if (line.rfind("\u2705 ", 0) != 0 && line.rfind("Digest ", 0) != 0)
            kept.append(line);
        at = end;
    }
    return kept;
}

// The item PATH names; none, with the exit status set, when it names none.
std::optional<Item> resolvePath(const std::string& path, int& status)
{
    // An empty PATH (an unset variable in a script) must not fall back to the current folder.
    if (path.empty()) {
        status = usageError("PATH is empty");
        return std::nullopt;
    }
    const Result<Item> item = resolveItem(path);
    if (item)
        return item.value();
    if (item.failure().code == ENOTDIR && path.back() == '/') {
        status = usageError(printablePath(path) + ": not a folder, but given with a trailing slash");
    } else {
        diagnose(printablePath(path), item.failure().reason);
        status = exitTrouble;
    }
    return std::nullopt;
}

// The whole of what the descriptor reads, or the errno value that stopped it.
Result<std::string> readAll(int fd)
{
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            return text;
        if (got < 0 && errno != EINTR)
            return errnoFailure(errno);
        if (got > 0)
            text.append(buffer, static_cast<std::size_t>(got));
    }
}

int exportCommand(const Options& options, const std::string& path)
{
    int status = exitClean;
    const std::optional<Item> item = resolvePath(path, status);
    if (!item)
        return status;
    ExportSinks sinks;
    sinks.line = writeOut;
    sinks.problem = [&status](const std::string& file, const std::string& reason) {
        diagnose(printablePath(file), reason);
        status = exitFindings;
    };
    if (const auto failure = exportChecksums(item.value(), options.bsd, options.settings.xattrName, sinks)) {
        diagnose(printablePath(item->path), failure->reason);
        return finish(exitTrouble);
    }
    return finish(status);
}

// A run of check, tag, retag or import as the command line shows it: progress on standard error, the
// first stop signal heard, and the report as text or JSON Lines.
class Session
{
public:
    Session(Options& options, const std::string& command)
        : m_options(options)
        , m_json(command)
    {
        options.settings.progress = &m_progress;
        options.settings.countTotals = options.showProgress;
        stoppable = &m_progress;
        catchStopSignals();
        if (options.showProgress) {
            m_line.emplace(m_progress, STDERR_FILENO);
            progressShown = 1;
        }
        if (options.jsonl) {
            m_observer.fileDone = [this](const std::string& path, const FileOutcome& outcome) {
                const std::string object = m_json.fileObject(path, outcome);
                if (!m_options.quiet || !resultIsFine(outcome.result))
                    writeBeside(object);
            };
        } else {
            // Tag's notices of failed writes reach the window at once, ahead of the run's text; so they
            // do here, on a line of their own should standard output and standard error share a terminal.
            m_observer.directText = [this](const std::string& text) { writeBeside(text); };
        }
    }

    const RunObserver& observer() const
    {
        return m_observer;
    }

    // Ends the progress line; call once the run has returned.
    void runEnded()
    {
        if (m_line) {
            m_line->stop();
            progressShown = 0;
        }
    }

    // Writes the report of the run on subject and gives the exit status.
    int report(const std::string& subject, const RunState& state, bool clean)
    {
        if (m_options.jsonl)
            writeOut(m_json.totalsObject(subject, state.counters, state.stopped));
        else
            writeOut(m_options.quiet ? problemLines(state.reportText) : state.reportText);
        if (stopSignal != 0)
            return finish(128 + stopSignal);
        return finish(clean ? exitClean : exitFindings);
    }

private:
    void writeBeside(const std::string& text)
    {
        if (!m_line)
            return writeOut(text);
        m_line->withLineErased([&text] {
            writeOut(text);
            std::fflush(stdout);
        });
    }

    Options& m_options;
    RunProgress m_progress;
    std::optional<ProgressLine> m_line;
    JsonReport m_json;
    RunObserver m_observer;
};

int operationCommand(Options& options, Operation operation, const std::string& path)
{
    int status = exitClean;
    const std::optional<Item> item = resolvePath(path, status);
    if (!item)
        return status;
    if (cryptoMissing())
        return exitTrouble;
    RunSettings& settings = options.settings;
    settings.jobs = options.jobs > 0 ? options.jobs : defaultJobs(item->path);
    std::unique_ptr<WorkerPool> pool;
    if (item->isFolder && settings.jobs > 1) {
        pool = std::make_unique<WorkerPool>(settings.jobs);
        settings.pool = pool.get();
    }
    Session session(options, options.words[0]);
    RunState state;
    const std::optional<Failure> failure = runItem(operation, item.value(), settings, state, session.observer());
    session.runEnded();
    pool.reset();
    if (failure) {
        diagnose(printablePath(item->path), failure->reason);
        return finish(exitTrouble);
    }
    return session.report(item->path, state, runWasClean(operation, state.counters));
}

int importCommand(Options& options, const std::string& list)
{
    const bool fromStdin = list == "-";
    if (list.empty())
        return usageError("LIST is empty");
    const int fd = fromStdin ? STDIN_FILENO : ::open(list.c_str(), O_RDONLY | O_CLOEXEC);
    const Result<std::string> text = fd < 0 ? errnoFailure(errno) : readAll(fd);
    if (!fromStdin && fd >= 0)
        ::close(fd);
    if (!text) {
        diagnose(fromStdin ? "standard input" : printablePath(list), text.failure().reason);
        return exitTrouble;
    }
    // Relative paths of the list are taken below its own folder, unless --base names another.
    const std::size_t slash = list.find_last_of('/');
    const std::string base = options.base         ? *options.base
        : fromStdin || slash == std::string::npos ? "."
                                                  : list.substr(0, slash + 1);
    int status = exitClean;
    const std::optional<Item> folder = resolvePath(base, status);
    if (!folder)
        return status;
    if (!folder->isFolder) {
        diagnose(printablePath(base), "not a folder");
        return exitTrouble;
    }
    if (cryptoMissing())
        return exitTrouble;
    const std::vector<ListEntry> entries = parseChecksumList(text.value());
    Session session(options, "import");
    RunState state;
    runImport(entries, folder->path, options.settings, state, session.observer());
    session.runEnded();
    appendImportTotals(fromStdin ? "standard input" : printablePath(list), state);
    return session.report(list, state, importWasClean(state.counters));
}

} // namespace

int main(int argc, char** argv)
{
    // A reader that goes away makes writes fail with EPIPE, reported like any failed write, instead of
    // ending the program silently halfway through a Tag.
    std::signal(SIGPIPE, SIG_IGN);
    orvane::raiseDescriptorLimit();
    // With standard output closed, the first file opened would take its number: refuse to start.
    if (::fcntl(STDOUT_FILENO, F_GETFD) < 0) {
        diagnose("standard output", std::strerror(errno));
        return exitTrouble;
    }

    Options options;
    bool formatGiven = false;
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
            options.jobs = *parsed;
        } else if (arg == "--base" || arg.rfind("--base=", 0) == 0) {
            if (arg == "--base" && i + 1 == argc)
                return usageError("--base needs a folder");
            options.base = arg == "--base" ? argv[++i] : arg.substr(7);
        } else if (arg == "--progress") {
            options.showProgress = true;
        } else if (arg == "--no-progress") {
            options.showProgress = false;
        } else if (arg == "--backend=modern") {
            options.settings.backend = Backend::Modern;
        } else if (arg == "--backend=classic") {
            options.settings.backend = Backend::Classic;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--format=text" || arg == "--format=jsonl") {
            options.jsonl = arg == "--format=jsonl";
            formatGiven = true;
        } else if (arg == "--tag") {
            options.bsd = true;
        } else if (arg == "--") {
            options.words.insert(options.words.end(), argv + i + 1, argv + argc);
            break;
        } else if (arg.size() > 1 && arg.front() == '-') {
            return usageError("unknown option '" + printablePath(arg) + "'");
        } else {
            options.words.push_back(arg);
        }
    }
    if (options.words.size() != 2)
        return usageError(options.words.empty() ? "no command given" : "expected a command and one PATH");

    const std::string& command = options.words[0];
    const std::string& argument = options.words[1];
    if (options.bsd && command != "export")
        return usageError("--tag goes with export only");
    if (options.base && command != "import")
        return usageError("--base goes with import only");
    if (command == "export") {
        if (options.quiet || formatGiven)
            return usageError("export takes neither --quiet nor --format");
        return exportCommand(options, argument);
    }
    if (command == "import")
        return importCommand(options, argument);
    if (command == "check")
        return operationCommand(options, Operation::Check, argument);
    if (command == "tag")
        return operationCommand(options, Operation::Tag, argument);
    if (command == "retag")
        return operationCommand(options, Operation::Retag, argument);
    return usageError("unknown command '" + printablePath(command) + "'");
}
