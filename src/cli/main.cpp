// orvane-cli: Check, Tag and Retag from the command line, on the same engine as the window. Standard
// output carries exactly the report text the window would show; diagnostics go to standard error.

#include "integrity/filedigest.h"
#include "operations/integrityrun.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace orvane;

namespace {

constexpr int exitClean = 0;
constexpr int exitFindings = 1;
constexpr int exitTrouble = 2;

const char usage[] = "Usage: orvane-cli [--backend=modern|classic] check|tag|retag PATH\n"
                     "\n"
                     "Keeps each file's SHA-256 digest in its extended attribute user."
                     "co.sablewickfern.kelmor.hash#S.\n"
                     "\n"
                     "  check   compare every file's contents with its stored digest; writes nothing\n"
                     "  tag     store every file's digest, replacing what was stored\n"
                     "  retag   store digests that are missing or differ; leave matching ones alone\n"
                     "\n"
                     "PATH is a folder (walked with totals) or a single file.\n"
                     "\n"
                     "Options:\n"
                     "  --backend=modern   hash with OpenSSL's EVP interface\n"
                     "  --backend=classic  hash with OpenSSL's SHA256_Init/Update/Final\n"
                     "  --help             show this text\n"
                     "  --version          show the version\n"
                     "\n"
                     "Exit status: 0 every file handled cleanly; 1 a file mismatched, had no digest, could\n"
                     "not be read or could not be tagged; 2 usage error, PATH missing or not listable.\n";

void writeOut(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void diagnose(const std::string& path, const std::string& reason)
{
    std::fprintf(stderr, "orvane-cli: %s: %s\n", path.c_str(), reason.c_str());
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "orvane-cli: %s\nTry 'orvane-cli --help'.\n", message.c_str());
    return exitTrouble;
}

// Absolute and lexically normal: no empty, "." or ".." parts and no trailing slash. Links stay unresolved.
bool normalizedAbsolute(const std::string& path, std::string& result)
{
    std::string absolute = path;
    if (path.empty() || path.front() != '/') {
        std::vector<char> cwd(4096);
        while (!::getcwd(cwd.data(), cwd.size())) {
            if (errno != ERANGE)
                return false;
            cwd.resize(cwd.size() * 2);
        }
        absolute = std::string(cwd.data()) + "/" + path;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= absolute.size()) {
        std::size_t end = absolute.find('/', start);
        if (end == std::string::npos)
            end = absolute.size();
        const std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    result.clear();
    for (const std::string& part : parts)
        result.append("/").append(part);
    if (result.empty())
        result = "/";
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> words;
    RunSettings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            writeOut(usage);
            return std::fflush(stdout) == 0 ? exitClean : exitTrouble;
        }
        if (arg == "--version") {
            writeOut("orvane-cli " ORVANE_VERSION "\n");
            return std::fflush(stdout) == 0 ? exitClean : exitTrouble;
        }
        if (arg == "--backend=modern") {
            settings.backend = Backend::Modern;
        } else if (arg == "--backend=classic") {
            settings.backend = Backend::Classic;
        } else if (arg == "--") {
            words.insert(words.end(), argv + i + 1, argv + argc);
            break;
        } else if (arg.size() > 1 && arg.front() == '-') {
            return usageError("unknown option '" + arg + "'");
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
        return usageError("unknown command '" + words[0] + "'");

    std::string path;
    if (!normalizedAbsolute(words[1], path)) {
        diagnose(words[1], std::strerror(errno));
        return exitTrouble;
    }
    struct stat status = {};
    if (::lstat(path.c_str(), &status) != 0) {
        diagnose(path, std::strerror(errno));
        return exitTrouble;
    }

    RunState state;
    RunObserver observer;
    // Tag's failure descriptions reach the window at once, ahead of the run's text; so they do here.
    observer.directText = writeOut;
    observer.unreadable = diagnose;
    observer.unlistedFolder = [](const std::string& folder, int error) { diagnose(folder, std::strerror(error)); };

    const bool isFolder = ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    if (isFolder) {
        int error = 0;
        if (!runFolder(operation, path, settings, state, observer, &error)) {
            diagnose(path, std::strerror(error));
            return exitTrouble;
        }
        appendTotals(operation, path, state);
    } else {
        runSingleFile(operation, path, settings, state, observer);
    }
    writeOut(state.reportText);
    if (std::fflush(stdout) != 0) {
        diagnose("standard output", std::strerror(errno));
        return exitTrouble;
    }
    return runWasClean(operation, state.counters) ? exitClean : exitFindings;
}
