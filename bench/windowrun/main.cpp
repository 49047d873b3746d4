// Measures a Check of a large tree in a real window: how long the GUI thread is ever kept from its event loop
// while the run walks and while its report goes in (a 5 ms timer notes every gap), and the time from the click
// to the whole report being in the window.
//
//   bench_windowrun [FILES]     (default 300000; tagged files in a temporary folder under $TMPDIR; run under
//                                xvfb-run or with QT_QPA_PLATFORM=offscreen)

#include "operations/integrityrun.h"
#include "runner/viewcontroller.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 300000;
    QTemporaryDir dir;
    // 1000 folders of up to 300 small files, tagged by the engine itself.
    for (int i = 0; i < files; ++i) {
        const std::string folder = dir.path().toStdString() + "/d" + std::to_string(i / 300);
        if (i % 300 == 0)
            ::mkdir(folder.c_str(), 0755);
        const std::string path = folder + "/f" + std::to_string(i);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string contents = std::to_string(i * 7919);
        if (fd < 0 || ::write(fd, contents.data(), contents.size()) < 0)
            return 1;
        ::close(fd);
    }
    if (orvane::runFolder(orvane::Operation::Tag, dir.path().toStdString(), {}).failure)
        return 1;

    ViewController window;
    window.resize(1000, 700);
    window.setItem(orvane::Item { dir.path().toStdString(), true });
    window.show();
    QSignalSpy ended(&window, &ViewController::runEnded);

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worstGap = 0;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worstGap = std::max(worstGap, now - last);
        last = now;
    });
    clock.start();
    ticks.start();
    window.findChild<QPushButton*>(QStringLiteral("theCheckButton"))->click();
    while (ended.isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 whole = clock.elapsed();
    QCoreApplication::processEvents(); // the first paint with the report
    const qint64 painted = clock.elapsed();
    std::printf("files                          %d\n", files);
    std::printf("report                         %.1f MB\n", double(window.reportText().toUtf8().size()) / 1e6);
    std::printf("click to report in the window  %lld ms\n", static_cast<long long>(whole));
    std::printf("... and painted                %lld ms\n", static_cast<long long>(painted));
    std::printf("longest event-loop gap         %lld ms (timer every 5 ms)\n", static_cast<long long>(worstGap));
    return 0;
}
