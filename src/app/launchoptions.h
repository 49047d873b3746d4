#pragma once

#include <QString>
#include <QStringList>

/*!
 * What orvane was started with: the items to open, as absolute paths, and the operation to start in each
 * item's window at once ("check", "tag" or "retag"; empty: only open). The same pair goes to a running
 * instance when this one hands its items over.
 */
struct LaunchOptions
{
    QStringList items;
    QString operation;

    /// "check", "tag" and "retag": the flags without their "--", and the names the running instance takes.
    [[nodiscard]] static const QStringList& operations();

    /*!
     * Parses orvane's arguments, the program's name first. --help and --version print on standard output
     * and end the program with status 0; a usage error prints on standard error and ends it with 2. A
     * relative path is put after the working directory as it stands: ".." and links are left for the item's
     * own resolution, as the kernel makes it.
     */
    [[nodiscard]] static LaunchOptions parse(const QStringList& arguments);
};
