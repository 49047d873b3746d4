// orvane: the desktop application. Opens the folders and files given as arguments, each in a window of its
// own, or a start window when there are none; --check, --tag or --retag starts that operation in each. When
// an Orvane is running already in the session, this one hands the items over to it and ends.

#include "app/appdelegate.h"
#include "app/instanceadaptor.h"
#include "app/launchoptions.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

namespace {

// Whether the arguments ask only for the usage or the version: those are answered without a display.
bool asksForTextOnly(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            return false;
        if (argument == "-h" || argument == "--help" || argument == "--help-all" || argument == "-v"
            || argument == "--version")
            return true;
    }
    return false;
}

void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
}

} // namespace

int main(int argc, char** argv)
{
    // On a terminal without a display (ssh, a fresh install), `orvane --help` must still answer.
    if (asksForTextOnly(argc, argv)) {
        QCoreApplication application(argc, argv);
        nameApplication();
        (void)LaunchOptions::parse(QCoreApplication::arguments()); // prints and exits
        return 0;
    }

    QApplication application(argc, argv);
    nameApplication();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Orvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("co.sablewickfern.Orvane"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/orvane.png")));
    // The delegate decides when to quit: a closed window whose folder runs still walk keeps the program
    // alive until their attribute writes are done.
    QGuiApplication::setQuitOnLastWindowClosed(false);

    const LaunchOptions launch = LaunchOptions::parse(QCoreApplication::arguments());
    if (InstanceAdaptor::handOver(launch))
        return 0;

    AppDelegate delegate;
    InstanceAdaptor::serve(&delegate); // without a session bus, or beaten to the name: on its own
    QObject::connect(
        &delegate, &AppDelegate::allWindowsClosed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    QTimer::singleShot(
        0, &delegate, [&delegate, launch] { delegate.applicationDidFinishLaunching(launch.items, launch.operation); });
    return QApplication::exec();
}
