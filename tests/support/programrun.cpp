#include "programrun.h"

#include <QProcess>

namespace fixtures {

ProgramResult runProgram(const QString& program,
    const QStringList& arguments,
    const QString& workingDir,
    const std::function<void()>& setup,
    const QByteArray& input)
{
    QProcess process;
    process.setWorkingDirectory(workingDir);
    if (setup)
        process.setChildProcessModifier(setup);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {}; // hung: QProcess kills it
    const int exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return { exitCode, process.readAllStandardOutput(), process.readAllStandardError() };
}

} // namespace fixtures
