#include "launchoptions.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("LaunchOptions", text);
}

// The options of Qt's own that QApplication takes from the command line, with a value and without.
const QList<QByteArray> qtOptionsWithValue { "-platform",
    "-platformpluginpath",
    "-platformtheme",
    "-plugin",
    "-qwindowgeometry",
    "-qwindowtitle",
    "-qwindowicon",
    "-display",
    "-geometry",
    "-title",
    "-style",
    "-stylesheet",
    "-session" };
const QList<QByteArray> qtFlags { "-reverse", "-nograb", "-dograb", "-sync", "-widgetcount" };

} // namespace

const QStringList& LaunchOptions::operations()
{
    static const QStringList names { QStringLiteral("check"), QStringLiteral("tag"), QStringLiteral("retag") };
    return names;
}

QString LaunchOptions::usage()
{
    return tr("Usage: orvane [--check|--tag|--retag] [PATH...]\n"
              "Keeps each file's SHA-256 digest in an extended attribute and checks files against it.\n"
              "\n"
              "Each PATH opens in a window of its own; an item already open brings its window forward.\n"
              "Without a PATH, a start window opens. When Orvane is running already, this one hands\n"
              "the items to it and ends.\n"
              "\n"
              "Options:\n"
              "  --check        Check each item at once: compare every file with its stored digest.\n"
              "                 Writes nothing.\n"
              "  --tag          Tag each item at once: store every file's digest (after asking).\n"
              "  --retag        Retag each item at once: store digests that are missing or differ,\n"
              "                 leave matching ones alone.\n"
              "  -h, --help     Show this text.\n"
              "  -v, --version  Show the version.\n"
              "\n"
              "With an operation, a window whose run is still going only comes forward.\n"
              "orvane-cli does the same without a display.\n");
}

std::optional<LaunchOptions> LaunchOptions::parse(
    const QList<QByteArray>& arguments, const QByteArray& workingFolder, QString* error)
{
    LaunchOptions launch;
    const auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return std::nullopt;
    };
    bool onlyPaths = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments[i];
        if (onlyPaths || argument.isEmpty() || argument == "-" || !argument.startsWith('-')) {
            // An empty PATH stays as it is, an error once it is opened, rather than the working folder.
            const bool relative = !argument.isEmpty() && !argument.startsWith('/');
            launch.items.append(relative ? workingFolder + '/' + argument : argument);
        } else if (argument == "--") {
            onlyPaths = true;
        } else if (argument == "-h" || argument == "--help" || argument == "--help-all") {
            launch.request = Request::Help;
        } else if (argument == "-v" || argument == "--version") {
            if (launch.request != Request::Help)
                launch.request = Request::Version;
        } else if (argument.startsWith("--") && operations().contains(QString::fromLatin1(argument.mid(2)))) {
            if (!launch.operation.isEmpty())
                return fail(tr("give only one of --check, --tag and --retag."));
            launch.operation = QString::fromLatin1(argument.mid(2));
        } else if (qtFlags.contains(argument)) {
            continue;
        } else if (qtOptionsWithValue.contains(argument.split('=').first())) {
            if (!argument.contains('=') && ++i == arguments.size())
                return fail(tr("%1 needs a value.").arg(QString::fromLocal8Bit(argument)));
        } else {
            return fail(tr("unknown option '%1'.").arg(QString::fromLocal8Bit(argument)));
        }
    }
    if (launch.request == Request::Open && !launch.operation.isEmpty() && launch.items.isEmpty())
        return fail(tr("--%1 needs a PATH to run on.").arg(launch.operation));
    return launch;
}
