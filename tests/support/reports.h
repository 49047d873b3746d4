#pragma once

#include "operations/integrityrun.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

// Expected report texts, built independently of the engine's own wording code.
namespace fixtures {

inline const QByteArray okMark = "\u2705 ";
inline const QByteArray badMark = "\u274C ";
inline const QByteArray warnMark = "\u26A0\uFE0F "; // with U+FE0F, which is part of the text

QByteArray checkTotals(const QString& folder, int total, int matched, int mismatched, int none);
QByteArray tagTotals(const QString& folder, int total, int errors);
QByteArray retagTotals(const QString& folder, int total, int matched, int retagged, int first);

/// The files below folder in the order the walk meets them, so that expected reports can follow it; a folder
/// the walk cannot list comes at its place with a slash at its end. onVisit gets each file's folder and name.
QStringList walkOrder(const QString& folder, const std::function<void(int, const std::string&)>& onVisit = {});

/// What the engine reports of operation on item: the text, totals included for a folder, and the notices of
/// failed writes put straight into the report meanwhile. afterEach runs after each file's line.
struct EngineReport
{
    QByteArray text;
    QByteArray direct;
};
EngineReport engineReport(orvane::Operation operation,
    const orvane::Item& item,
    const orvane::RunSettings& settings = {},
    const std::function<void()>& afterEach = {});

/// The file's contents, or "(unreadable)".
QByteArray contentsOf(const QString& path);
/// SHA-256 of the file's contents (Qt's implementation), or empty when it cannot be read.
QByteArray digestOfFile(const QString& path);
/// Stores the file's correct digest, behind Orvane's back.
void tagCorrectly(const QString& path);
/// The number a Tag folder line shows for the file's digest in this process.
QByteArray hashNumberOf(const QString& path);

} // namespace fixtures
