// orvane: the desktop application. Opens the folders and files given as arguments, each in a window of its
// own, or a start window when there are none.

#include "app/appdelegate.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

int main(int argc, char** argv)
{
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

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Keeps each file's SHA-256 digest in an extended attribute and checks files against it."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("items"),
        QCoreApplication::translate("main", "Folders and files to open."),
        QStringLiteral("[PATH...]"));
    parser.process(application);

    AppDelegate delegate;
    QObject::connect(
        &delegate, &AppDelegate::allWindowsClosed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    const QStringList items = parser.positionalArguments();
    QTimer::singleShot(0, &delegate, [&delegate, items] { delegate.applicationDidFinishLaunching(items); });
    return QApplication::exec();
}
