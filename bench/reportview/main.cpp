// Measures the report view at archive scale in a real window: a Check report of a million files, made into view
// lines as a run makes them, appended in one call and painted, the window's memory with it, the paint time of every
// frame while scrolling to the end, paging down and dragging the scroll bar, Select All with Copy, and what one more
// line costs to append.
//
//   bench_reportview [LINES]     (default 1000000; run under xvfb-run or with QT_QPA_PLATFORM=offscreen)

#include "operations/reportformat.h"
#include "report/reportchunk.h"
#include "report/reportpane.h"
#include "report/reportview.h"
#include "runner/viewcontroller.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyleOptionSlider>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <numeric>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

// A Check report as a run makes it: outcomes worded by the engine into view lines, off the GUI thread as the
// runner does. Most files match, some changed, some were never tagged. bytes: the report's size in UTF-8.
ReportChunk checkReport(int lines, std::size_t& bytes)
{
    using namespace orvane;
    const ReportFormat format(Command::Check, Variant::Folder);
    ReportChunk chunk;
    Outcome outcome;
    RunCounters counters;
    std::string line;
    bytes = 0;
    std::uint32_t seed = 12345;
    const auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    char path[128];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(path,
            sizeof path,
            "/nas/photos/%u/%02u-%02u/IMG_%06d.jpg",
            2004 + next() % 20,
            1 + next() % 12,
            1 + next() % 28,
            i);
        const unsigned kind = next() % 100;
        outcome.path = path;
        outcome.result = kind < 2 ? FileResult::Mismatched : kind < 5 ? FileResult::NoDigest : FileResult::Matched;
        counters.count(Command::Check, Variant::Folder, outcome);
        chunk.addLine(format, outcome, Command::Check);
        line.clear();
        format.appendLine(outcome, line);
        bytes += line.size();
    }
    chunk.addTotals(format, "/nas/photos", counters, false);
    chunk.seal();
    return chunk;
}

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The times of a run of frames: on the clock, and in this thread's processor time, which leaves out the
// time other programs on a busy machine held the processor.
struct Series
{
    std::vector<double> ms;
    std::vector<double> cpuMs;
    [[nodiscard]] QString summary() const
    {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        const double mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / double(sorted.size());
        const double p99 = sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
        return QStringLiteral("max %1 ms (processor %2 ms), 99th percentile %3 ms, mean %4 ms; %5 frames")
            .arg(sorted.back(), 0, 'f', 1)
            .arg(*std::max_element(cpuMs.begin(), cpuMs.end()), 0, 'f', 1)
            .arg(p99, 0, 'f', 1)
            .arg(mean, 0, 'f', 1)
            .arg(sorted.size());
    }
    [[nodiscard]] double worst() const
    {
        return *std::max_element(ms.begin(), ms.end());
    }
    // One frame: what the user did, then the view painted and put on the screen.
    template <typename Action> void frame(ReportView* view, Action action)
    {
        QElapsedTimer timer;
        const double cpu = threadCpuMs();
        timer.start();
        action();
        view->viewport()->repaint();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpuMs.push_back(threadCpuMs() - cpu);
        QCoreApplication::processEvents();
    }
};

QRect sliderRect(QScrollBar* bar)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
}

void row(const char* work, const QString& measured, const char* target, bool met)
{
    std::printf("| %s | %s | %s | %s |\n", work, qPrintable(measured), target, met ? "met" : "**missed**");
}

// Mean time of appending one report line, count times, in microseconds.
double appendCost(ViewController& window, int count)
{
    const QString line = QStringLiteral("\u2705 Digests for /nas/photos/2024/01-01/IMG_000001.jpg\n");
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        window.appendReportText(line);
    return double(timer.nsecsElapsed()) / 1e3 / count;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true); // the stored font size is not the user's
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;

    ViewController window;
    window.resize(1000, 700);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    auto* view = window.findChild<ReportView*>(QStringLiteral("outputTextbox"));
    window.setReportText(QString()); // as a folder run starts
    QTest::qWait(200);
    const double emptyMB = residentMB();

    std::size_t bytes = 0;
    QElapsedTimer timer;
    timer.start();
    auto chunk = std::make_unique<ReportChunk>(checkReport(lines, bytes));
    const double madeMs = double(timer.nsecsElapsed()) / 1e6;
    const double reportMB = double(bytes) / 1e6;

    timer.restart();
    window.reportPane()->appendChunk(*chunk);
    view->viewport()->repaint();
    const double shownMs = double(timer.nsecsElapsed()) / 1e6;
    chunk.reset(); // the run's copy goes; the view keeps the report
    QTest::qWait(200);
    const double withMB = residentMB();
    const qsizetype reportLines = view->lineCount();
    // Before anything shares the report's characters: appending to a shared string copies it first.
    const double appendFull = appendCost(window, 10000);

    view->setFocus();
    Series end;
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
        QCoreApplication::processEvents();
        end.frame(view, [view] { QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier); });
    }
    Series pages;
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 300; ++i)
        pages.frame(view, [view] { QTest::keyClick(view, Qt::Key_PageDown); });
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    for (int i = 0; i < 300; ++i)
        pages.frame(view, [view] { QTest::keyClick(view, Qt::Key_PageUp); });

    Series drag;
    QScrollBar* bar = view->verticalScrollBar();
    bar->setValue(0);
    QCoreApplication::processEvents();
    const QRect slider = sliderRect(bar);
    QPoint at = slider.center();
    QTest::mousePress(bar, Qt::LeftButton, {}, at);
    const int steps = 500;
    for (int i = 1; i <= steps; ++i) {
        const QPoint to(at.x(), slider.center().y() + (bar->height() - slider.center().y()) * i / steps);
        drag.frame(view, [bar, to] { QTest::mouseMove(bar, to); });
    }
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(at.x(), bar->height() - 1));
    const bool dragReachedEnd = bar->value() == bar->maximum();

    timer.restart();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    view->viewport()->repaint();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const qsizetype copied = QGuiApplication::clipboard()->text().size();
    const double copyMs = double(timer.nsecsElapsed()) / 1e6;

    ViewController fresh;
    fresh.resize(1000, 700);
    fresh.show();
    const double appendEmpty = appendCost(fresh, 10000);

    std::printf("Report: %d file lines, %.1f MB of UTF-8, %lld lines in the view; platform %s\n\n",
        lines,
        reportMB,
        qlonglong(reportLines),
        qPrintable(QGuiApplication::platformName()));
    std::printf("| work | measured | target | |\n|---|---|---|---|\n");
    row("report appended in one call, then painted",
        QStringLiteral("%1 ms (made into view lines before, off the GUI thread: %2 ms)")
            .arg(shownMs, 0, 'f', 0)
            .arg(madeMs, 0, 'f', 0),
        "≤ 500 ms",
        shownMs <= 500);
    row("window memory (resident)",
        QStringLiteral("%1 MB empty, %2 MB with the report: +%3 MB = %4 × the report")
            .arg(emptyMB, 0, 'f', 1)
            .arg(withMB, 0, 'f', 1)
            .arg(withMB - emptyMB, 0, 'f', 1)
            .arg((withMB - emptyMB) / reportMB, 0, 'f', 2),
        "≤ 3 × the report + empty",
        withMB - emptyMB <= 3 * reportMB);
    row("Ctrl+End from the top", end.summary(), "≤ 16 ms a frame", end.worst() <= 16);
    row("Page Down from the top, Page Up from the end", pages.summary(), "≤ 16 ms a frame", pages.worst() <= 16);
    row(dragReachedEnd ? "scroll bar dragged from top to bottom" : "scroll bar dragged (did NOT reach the end)",
        drag.summary(),
        "≤ 16 ms a frame",
        drag.worst() <= 16 && dragReachedEnd);
    row("Select All, then Copy",
        QStringLiteral("%1 ms (%2 characters on the clipboard)").arg(copyMs, 0, 'f', 0).arg(copied),
        "≤ 1000 ms",
        copyMs <= 1000 && copied == view->text().size());
    row("one more line appended",
        QStringLiteral("%1 µs after the report, %2 µs in an empty view")
            .arg(appendFull, 0, 'f', 1)
            .arg(appendEmpty, 0, 'f', 1),
        "about the same in both",
        appendFull <= 3 * appendEmpty + 5);

    // The same Check as a run hands it to a window: outcomes made into chunks of lines, each line with its
    // digest and what JSON Lines need, put in as they come.
    window.setReportText(QString());
    fresh.setReportText(QString());
    QTest::qWait(200);
    const double beforeMB = residentMB();
    const orvane::ReportFormat format(orvane::Command::Check, orvane::Variant::Folder);
    orvane::Outcome outcome;
    outcome.hasDigest = true;
    double chunkedBytes = 0;
    timer.restart();
    for (int done = 0; done < lines;) {
        ReportChunk chunk;
        for (int i = 0; i < 10000 && done < lines; ++i, ++done) {
            outcome.path =
                "/nas/photos/" + std::to_string(2004 + done % 20) + "/01-01/IMG_" + std::to_string(done) + ".jpg";
            outcome.result = done % 50 == 0 ? orvane::FileResult::Mismatched : orvane::FileResult::Matched;
            outcome.digest[0] = std::uint8_t(done);
            chunk.addLine(format, outcome, orvane::Command::Check);
        }
        chunk.seal();
        chunkedBytes += double(chunk.text().toUtf8().size());
        fresh.reportPane()->appendChunk(chunk);
    }
    fresh.reportPane()->view()->viewport()->repaint();
    const double chunkedMs = double(timer.nsecsElapsed()) / 1e6;
    QTest::qWait(200);
    const double chunkedMB = residentMB() - beforeMB;
    row("the same as a run's chunks of 10,000 lines, digests kept",
        QStringLiteral("%1 ms (sealing on this thread included); +%2 MB = %3 × the report")
            .arg(chunkedMs, 0, 'f', 0)
            .arg(chunkedMB, 0, 'f', 1)
            .arg(chunkedMB / (chunkedBytes / 1e6), 0, 'f', 2),
        "≤ 3 × the report",
        chunkedMB <= 3 * chunkedBytes / 1e6);
    return 0;
}
