#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/*!
 * What orvane was started with: the items to open, as absolute paths in their own bytes, and the operation to
 * start in each item's window at once ("check", "tag" or "retag"; empty: only open). The same pair goes to a
 * running instance when this one hands its items over.
 *
 * The arguments are read as the bytes the kernel passed, before any display or Qt object exists: a usage
 * error, --help and --version answer on any terminal, and a name that is not valid UTF-8 reaches the engine
 * as it is.
 */
struct LaunchOptions
{
    enum class Request
    {
        Open, ///< open items, or the start window
        Help, ///< print usage() and end
        Version, ///< print the version and end
    };

    Request request = Request::Open;
    QList<QByteArray> items;
    QString operation;

    /// "check", "tag" and "retag": the flags without their "--", and the names the running instance takes.
    [[nodiscard]] static const QStringList& operations();

    /*!
     * Parses orvane's arguments, the program's name first. A relative path is put after workingFolder as it
     * stands: ".." and links are left for the item's own resolution, as the kernel makes it. The options Qt
     * takes itself (-platform NAME, -style NAME, -reverse, ...) are passed over. Returns the options, or
     * the usage error's message in error.
     */
    [[nodiscard]] static std::optional<LaunchOptions> parse(
        const QList<QByteArray>& arguments, const QByteArray& workingFolder, QString* error);

    /// The usage text --help prints.
    [[nodiscard]] static QString usage();
};
