#include "launchoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("LaunchOptions", text);
}

} // namespace

const QStringList& LaunchOptions::operations()
{
    static const QStringList names { QStringLiteral("check"), QStringLiteral("tag"), QStringLiteral("retag") };
    return names;
}

LaunchOptions LaunchOptions::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Keeps each file's SHA-256 digest in an extended attribute and checks files against it.\n\n"
           "Each PATH opens in a window of its own; an item already open brings its window forward. When Orvane "
           "is running already, this one hands the items to it and ends."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption({ operations().at(0),
        tr("Check each item at once: compare every file with its stored digest. Writes nothing.") });
    parser.addOption({ operations().at(1), tr("Tag each item at once: store every file's digest.") });
    parser.addOption({ operations().at(2),
        tr("Retag each item at once: store digests that are missing or differ, leave matching ones alone.") });
    parser.addPositionalArgument(QStringLiteral("items"),
        tr("Folders and files to open. With an operation, a window whose run is still going only comes forward."),
        QStringLiteral("[PATH...]"));
    const auto fail = [&parser](const QString& message) {
        std::fprintf(stderr, "orvane: %s\n\n%s", qUtf8Printable(message), qUtf8Printable(parser.helpText()));
        std::exit(2);
    };
    if (!parser.parse(arguments))
        fail(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();

    LaunchOptions launch;
    for (const QString& name : operations()) {
        if (!parser.isSet(name))
            continue;
        if (!launch.operation.isEmpty())
            fail(tr("give only one of --check, --tag and --retag."));
        launch.operation = name;
    }
    const QDir here = QDir::current();
    for (const QString& path : parser.positionalArguments())
        launch.items.append(path.isEmpty() ? path : here.filePath(path)); // an empty PATH stays an error
    if (!launch.operation.isEmpty() && launch.items.isEmpty())
        fail(tr("--%1 needs a PATH to run on.").arg(launch.operation));
    return launch;
}
