// orvane: the desktop application. Opens the folders and files given as arguments, each in a window of its
// own, or a start window when there are none; --check, --tag or --retag starts that operation in each. When
// an Orvane is running already in the session, this one hands the items over to it and ends.

#include "app/appdelegate.h"
#include "app/instanceadaptor.h"
#include "app/launchoptions.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr int exitUsage = 2;

// Whether Qt has somewhere to show windows: a platform chosen by hand, or an X or Wayland display. Without
// one, QApplication would abort the program.
bool hasDisplay()
{
    for (const char* name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" }) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

QByteArray workingFolder()
{
    char* folder = ::getcwd(nullptr, 0);
    const QByteArray path = folder ? QByteArray(folder) : QByteArray(".");
    std::free(folder);
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    QString error;
    const std::optional<LaunchOptions> launch = LaunchOptions::parse(arguments, workingFolder(), &error);
    if (!launch) {
        std::fprintf(stderr, "orvane: %s\nTry 'orvane --help'.\n", qUtf8Printable(error));
        return exitUsage;
    }
    if (launch->request == LaunchOptions::Request::Help) {
        std::fputs(qUtf8Printable(LaunchOptions::usage()), stdout);
        return 0;
    }
    if (launch->request == LaunchOptions::Request::Version) {
        std::puts("Orvane " ORVANE_VERSION);
        return 0;
    }
    if (!hasDisplay()) {
        std::fputs("orvane: no display to show windows on: set DISPLAY or WAYLAND_DISPLAY; orvane-cli works "
                   "without one\n",
            stderr);
        return exitUsage;
    }

    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Orvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("co.sablewickfern.Orvane"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/orvane.png")));
    // The delegate decides when to quit: a closed window whose folder runs still walk keeps the program
    // alive until their attribute writes are done.
    QGuiApplication::setQuitOnLastWindowClosed(false);

    if (InstanceAdaptor::handOver(*launch))
        return 0;

    AppDelegate delegate;
    InstanceAdaptor::serve(&delegate); // without a session bus, or beaten to the name: on its own
    QObject::connect(
        &delegate, &AppDelegate::allWindowsClosed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    QTimer::singleShot(0, &delegate, [&delegate, items = launch->items, operation = launch->operation] {
        delegate.applicationDidFinishLaunching(items, operation);
    });
    return QApplication::exec();
}
