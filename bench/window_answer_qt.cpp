// The Qt window's answer time during a creation: one "İleri" press on the main machine against
// SERVER, while a probe thread posts a call to the window thread every 10 ms that repaints the
// whole window, and times each until it has run. Prints "<longest ms> <median ms> <answers>"
// for the run, the same for the idle window after it, and "<run ms>"; exit status 1 when the
// creation did not land on "Bitir".
//   kurdb_bench_window_qt SERVER USER PASSWORD EDITION DATABASE
#include <QApplication>
#include <QElapsedTimer>

#include <condition_variable>
#include <atomic>
#include <iostream>
#include <mutex>

#include "app/qt/QtFormHost.h"
#include "app/qt/WizardWindow.h"
#include "window_answer.h"

using namespace kurdb;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList a = QApplication::arguments();
    if (a.size() != 6) {
        std::cerr << "usage: kurdb_bench_window_qt SERVER USER PASSWORD EDITION DATABASE\n";
        return 2;
    }
    qt::WizardWindow::PrepareApplicationStyle();
    qt::QtFormHost frontHost;
    bench::QuietHost host(frontHost);
    bench::Creation creation(host, a[4].toInt(), a[5].toStdString());
    qt::WizardWindow window(creation.form, creation.runs, host);
    frontHost.SetWindow(&window);
    creation.controller.FormCreate();
    window.show();
    creation.controller.FormShow();
    creation.Fill(a[1].toStdString(), a[2].toStdString(), a[3].toStdString());
    QApplication::processEvents();

    std::mutex mutex;
    std::condition_variable answered;
    bench::Probe probe([&] {
        bool done = false;
        QMetaObject::invokeMethod(
            &window,
            [&] {
                window.repaint();
                const std::lock_guard lock(mutex);
                done = true;
                answered.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock lock(mutex);
        answered.wait(lock, [&] { return done; });
    });
    QElapsedTimer warm;
    warm.start();
    while (warm.elapsed() < 300) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    probe.RunStarts();
    QElapsedTimer run;
    run.start();
    creation.runs.Press(controls::btnConnect);
    while (creation.runs.Running()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double runMs = static_cast<double>(run.nsecsElapsed()) / 1e6;
    // The same probes on the idle window, for as long as the run took (half a second at least).
    probe.RunEnded();
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < std::max<qint64>(500, static_cast<qint64>(runMs)))
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    // The probe may wait for this thread: keep answering until it has stopped.
    std::atomic<bool> stopped = false;
    std::thread stopper([&] {
        probe.Stop();
        stopped = true;
    });
    while (!stopped) QApplication::processEvents(QEventLoop::AllEvents, 10);
    stopper.join();
    if (creation.form.ActivePage(controls::cxPage) != 2) {
        std::cerr << "the creation did not land on Bitir: " << (host.errors.empty() ? "" : host.errors[0])
                  << "\n";
        for (const std::string& line : creation.form.Lines(controls::Memo1)) std::cerr << line << "\n";
        return 1;
    }
    probe.Print(runMs);
    return 0;
}
