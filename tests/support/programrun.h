#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace fixtures {

struct ProgramResult
{
    int exitCode = -1; // -1 also when the program crashed or hung
    QByteArray out, err;
};

/// Runs program with input on its standard input; setup, if given, runs in the child before it starts.
ProgramResult runProgram(const QString& program,
    const QStringList& arguments,
    const QString& workingDir = {},
    const std::function<void()>& setup = {},
    const QByteArray& input = {});

} // namespace fixtures
