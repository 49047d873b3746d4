// orvane-cli: Check, Tag and Retag from the command line, on the same engine as the window, and checksum
// lists out of and into the digest attributes. Standard output carries exactly the report text the window
// would show (or its JSON Lines form, or a checksum list); diagnostics go to standard error.

#include "operations/checksumexport.h"
#include "operations/diskkind.h"
#include "operations/hashnumber.h"
#include "operations/importrun.h"
#include "operations/integrityrun.h"
#include "operations/item.h"
#include "operations/jsonreport.h"
#include "operations/printablepath.h"
#include "operations/reportformat.h"
#include "operations/treecompare.h"
#include "operations/workerpool.h"
#include "output.h"
#include "session.h"
#include "usage.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace orvane;
using output::diagnose;
using output::exitClean;
using output::exitFindings;
using output::exitTrouble;
using output::usageError;

namespace {

// The most files hashed at once that --jobs takes.
constexpr int mostJobs = 256;

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
    SessionOptions session { ::isatty(STDERR_FILENO) == 1, false, false };
    bool bsd = false;
    std::optional<std::string> base;
    std::vector<std::string> excludes; // --exclude patterns
};

// What a folder run leaves out: the --exclude patterns and those of each folder's ignore file. An ignore file
// that cannot be taken is said on standard error, and the run goes on without it: it checks more, not less.
Exclusions exclusionsFor(const Options& options, const std::vector<std::string>& folders)
{
    Exclusions exclusions;
    for (const std::string& pattern : options.excludes)
        exclusions.add(pattern);
    for (const std::string& folder : folders)
        if (const auto failure = exclusions.addIgnoreFile(folder))
            diagnose(printablePath(ignoreFilePath(folder)), failure->reason + "; it is not used");
    return exclusions;
}

// Says why OpenSSL cannot serve a run, if it cannot.
bool cryptoMissing()
{
    const std::optional<Failure> failure = checkCryptoAvailable();
    if (failure)
        std::fprintf(stderr, "orvane-cli: %s\n", failure->reason.c_str());
    return failure.has_value();
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

// The list opened for reading: standard input for "-". A folder is refused at once.
Result<int> openList(const std::string& list)
{
    const int fd = list == "-" ? STDIN_FILENO : ::open(list.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status = {};
    if (fd < 0 || ::fstat(fd, &status) != 0)
        return errnoFailure(errno);
    if (S_ISDIR(status.st_mode)) {
        ::close(fd);
        return errnoFailure(EISDIR);
    }
    return fd;
}

int exportCommand(const Options& options, const std::string& path)
{
    int status = exitClean;
    const std::optional<Item> item = resolvePath(path, status);
    if (!item)
        return status;
    ExportSinks sinks;
    sinks.line = output::write;
    sinks.problem = [&status](const std::string& file, const std::string& reason) {
        diagnose(printablePath(file), reason);
        status = exitFindings;
    };
    const Exclusions exclusions = item->isFolder ? exclusionsFor(options, { item->path }) : Exclusions();
    if (const auto failure =
            exportChecksums(item.value(), options.bsd, options.settings.xattrName, sinks, &exclusions)) {
        diagnose(printablePath(item->path), failure->reason);
        return output::finish(exitTrouble);
    }
    return output::finish(status);
}

int compareCommand(const Options& options, const std::string& firstPath, const std::string& secondPath)
{
    int status = exitClean;
    std::optional<Item> trees[2];
    for (int i = 0; i < 2; ++i) {
        const std::string& path = i == 0 ? firstPath : secondPath;
        trees[i] = resolvePath(path, status);
        if (!trees[i])
            return status;
        if (!trees[i]->isFolder)
            return usageError(printablePath(path) + ": compare takes two folders");
    }
    const std::string& first = trees[0]->path;
    const std::string& second = trees[1]->path;
    const CompareFormat format(first, second);
    std::string text;
    const auto sink = [&](const CompareOutcome& outcome) {
        if (options.session.quiet && outcome.result == CompareResult::Same)
            return;
        if (options.session.jsonl)
            return output::write(JsonReport::compareObject(outcome));
        text.clear();
        format.appendLine(outcome, text);
        output::write(text);
    };
    CompareCounts counts;
    std::string failedTree;
    const Exclusions exclusions = exclusionsFor(options, { first, second });
    if (const auto failure =
            compareTrees(first, second, options.settings.xattrName, sink, counts, &failedTree, &exclusions)) {
        diagnose(printablePath(failedTree), failure->reason);
        return output::finish(exitTrouble);
    }
    text.clear();
    if (options.session.jsonl)
        text = JsonReport::compareTotals(first, second, counts);
    else
        format.appendTotals(counts, text);
    output::write(text);
    return output::finish(counts.allSame() ? exitClean : exitFindings);
}

int operationCommand(Options& options, Operation operation, const std::string& path)
{
    int status = exitClean;
    const std::optional<Item> item = resolvePath(path, status);
    if (!item)
        return status;
    if (cryptoMissing())
        return exitTrouble;
    RunSettings& settings = options.settings;
    if (options.jobs > 0) {
        settings.jobs = options.jobs;
        settings.ioDepth = 0;
    } else {
        setDefaultJobs(settings);
    }
    std::unique_ptr<WorkerPool> pool;
    const int inHand = std::max(settings.jobs, settings.ioDepth);
    if (item->isFolder && inHand > 1) {
        pool = std::make_unique<WorkerPool>(inHand);
        settings.pool = pool.get();
    }
    Session session(commandOf(operation), item->isFolder ? Variant::Folder : Variant::SingleFile, options.session);
    settings.progress = &session.progress();
    settings.countTotals = options.session.showProgress;
    const Exclusions exclusions = item->isFolder ? exclusionsFor(options, { item->path }) : Exclusions();
    settings.exclusions = &exclusions;
    const RunResult result = runItem(operation, item.value(), settings, session.observer());
    session.runEnded();
    pool.reset();
    if (result.failure) {
        diagnose(printablePath(item->path), result.failure->reason);
        return output::finish(exitTrouble);
    }
    return session.report(result, item->path, item->path);
}

int importCommand(Options& options, const std::string& list)
{
    const bool fromStdin = list == "-";
    if (list.empty())
        return usageError("LIST is empty");
    const std::string listName = fromStdin ? "standard input" : list;
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
    const Result<int> fd = openList(list);
    if (!fd) {
        diagnose(printablePath(listName), fd.failure().reason);
        return exitTrouble;
    }
    // The stop signals are caught before the first read: a list on a pipe may keep the import waiting.
    Session session(Command::Import, Variant::SingleFile, options.session);
    options.settings.progress = &session.progress();
    ListReader reader(fd.value(), Session::stopDescriptor());
    const RunResult result = runImport(reader, folder->path, options.settings, session.observer());
    if (!fromStdin)
        ::close(fd.value());
    session.runEnded();
    status = session.report(result, list, listName);
    if (!reader.failure())
        return status;
    diagnose(printablePath(listName), reader.failure()->reason);
    return exitTrouble;
}

} // namespace

int main(int argc, char** argv)
{
    // A reader that goes away makes writes fail with EPIPE, reported like any failed write, instead of
    // ending the program silently halfway through a Tag.
    std::signal(SIGPIPE, SIG_IGN);
    // The terminal's character widths, for the progress line; nothing else depends on the locale.
    std::setlocale(LC_CTYPE, "");
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
            output::write(usage);
            return output::finish(exitClean);
        }
        if (arg == "--version") {
            output::write("orvane-cli " ORVANE_VERSION "\n");
            return output::finish(exitClean);
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
        } else if (arg == "--exclude" || arg.rfind("--exclude=", 0) == 0) {
            if (arg == "--exclude" && i + 1 == argc)
                return usageError("--exclude needs a pattern");
            options.excludes.push_back(arg == "--exclude" ? argv[++i] : arg.substr(10));
        } else if (arg == "--progress") {
            options.session.showProgress = true;
        } else if (arg == "--no-progress") {
            options.session.showProgress = false;
        } else if (arg == "--backend=modern") {
            options.settings.backend = Backend::Modern;
        } else if (arg == "--backend=classic") {
            options.settings.backend = Backend::Classic;
        } else if (arg == "--quiet" || arg == "-q") {
            options.session.quiet = true;
        } else if (arg == "--format=text" || arg == "--format=jsonl") {
            options.session.jsonl = arg == "--format=jsonl";
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
    if (!options.words.empty() && options.words[0] == "compare") {
        if (options.words.size() != 3)
            return usageError("compare takes two folders");
        if (options.bsd || options.base)
            return usageError("compare takes neither --tag nor --base");
        return compareCommand(options, options.words[1], options.words[2]);
    }
    if (options.words.size() != 2)
        return usageError(options.words.empty() ? "no command given" : "expected a command and one PATH");

    const std::string& command = options.words[0];
    const std::string& argument = options.words[1];
    if (options.bsd && command != "export")
        return usageError("--tag goes with export only");
    if (options.base && command != "import")
        return usageError("--base goes with import only");
    if (!options.excludes.empty() && command == "import")
        return usageError("import takes no --exclude: it reads the files its list names");
    if (command == "export") {
        if (options.session.quiet || formatGiven)
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
