#include "output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace output {

namespace {

// Set by the first write to standard output that fails; the run goes on, the exit status says it.
int outputError = 0;

} // namespace

void write(const std::string& text)
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

int finish(int status)
{
    if (std::fflush(stdout) != 0 && outputError == 0)
        outputError = errno != 0 ? errno : EIO;
    if (outputError == 0)
        return status;
    diagnose("standard output", std::strerror(outputError));
    return exitTrouble;
}

} // namespace output
