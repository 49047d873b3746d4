#include "runsummary.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

using orvane::Operation;

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("RunSummary", text);
}

// English grouping, as the words around the numbers are English: 1,234.
QString number(std::int64_t value)
{
    return QLocale(QLocale::English).toString(qlonglong(value));
}

} // namespace

QString RunSummary::text(Operation operation, const QString& folderName, const orvane::RunCounters& c, bool stopped)
{
    const QString what = tr(std::array {
        QT_TRANSLATE_NOOP("RunSummary", "Check of %1: %2"),
        QT_TRANSLATE_NOOP("RunSummary", "Tag of %1: %2"),
        QT_TRANSLATE_NOOP("RunSummary", "Retag of %1: %2"),
    }[int(operation)]);
    if (stopped)
        return what.arg(folderName, tr("stopped after %1 files").arg(number(c.total)));

    // The counts of files whose report lines are warnings or errors, in the order of the report's totals.
    std::vector<std::pair<std::int64_t, const char*>> problems;
    switch (operation) {
    case Operation::Check:
        // Possible damage first: it is what a person must act on before anything else.
        problems = { { c.possiblyDamaged, QT_TRANSLATE_NOOP("RunSummary", "%1 possibly damaged") },
            { c.modifiedSinceTagged, QT_TRANSLATE_NOOP("RunSummary", "%1 modified since tagged") },
            { c.mismatched - c.possiblyDamaged - c.modifiedSinceTagged,
                QT_TRANSLATE_NOOP("RunSummary", "%1 didn't match") },
            { c.noDigest, QT_TRANSLATE_NOOP("RunSummary", "%1 had no digest") } };
        break;
    case Operation::Tag:
        problems = { { c.errors, QT_TRANSLATE_NOOP("RunSummary", "%1 couldn't be tagged") } };
        break;
    case Operation::Retag:
        problems = { { c.possiblyDamaged, QT_TRANSLATE_NOOP("RunSummary", "%1 possibly damaged, not retagged") },
            { c.retagged, QT_TRANSLATE_NOOP("RunSummary", "%1 retagged") },
            { c.firstTime, QT_TRANSLATE_NOOP("RunSummary", "%1 tagged for the first time") },
            { c.notTagged, QT_TRANSLATE_NOOP("RunSummary", "%1 couldn't be tagged") } };
        break;
    }
    problems.emplace_back(c.unreadable + c.unreadableFolders, QT_TRANSLATE_NOOP("RunSummary", "%1 couldn't be read"));
    QStringList parts;
    for (const auto& [count, words] : problems)
        if (count != 0)
            parts.append(tr(words).arg(number(count)));
    if (!parts.isEmpty())
        return what.arg(folderName, parts.join(QStringLiteral(", ")));

    // Every file was handled cleanly: all of them matched, or all of them were tagged.
    const bool tag = operation == Operation::Tag;
    QString clean;
    if (c.total == 0)
        clean = tr("no files");
    else if (c.total == 1)
        clean = tag ? tr("1 file tagged") : tr("1 file matched");
    else
        clean = (tag ? tr("%1 files tagged") : tr("all %1 files matched")).arg(number(c.total));
    return what.arg(folderName, clean);
}
