// The Win32 window's answer time during a creation: one "İleri" press on the main machine
// against SERVER, while a probe thread has the whole window repainted (RedrawWindow with
// RDW_UPDATENOW, which waits for the window thread's paint) and then sends it WM_NULL, every
// 10 ms, and times each answer. Prints "<longest ms> <median ms> <answers>" for the run, the
// same for the idle window after it, and "<run ms>"; exit status 1 when the creation did not
// land on "Bitir".
//   kurdb_bench_window_win32 SERVER USER PASSWORD EDITION DATABASE
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <string>

#include "app/win32/Win32FormHost.h"
#include "app/win32/WizardWindow.h"
#include "window_answer.h"

using namespace kurdb;

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: kurdb_bench_window_win32 SERVER USER PASSWORD EDITION DATABASE\n";
        return 2;
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    win32::Win32FormHost frontHost;
    bench::QuietHost host(frontHost);
    bench::Creation creation(host, std::stoi(argv[4]), argv[5]);
    win32::WizardWindow window(creation.form, creation.runs, frontHost, ::GetModuleHandleW(nullptr));
    frontHost.SetOwner(window.Handle());
    creation.controller.FormCreate();
    window.Show(SW_SHOWNORMAL);
    creation.controller.FormShow();
    creation.Fill(argv[1], argv[2], argv[3]);

    const auto pump = [&] {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (window.PreTranslate(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    };
    pump();
    HWND hwnd = window.Handle();
    bench::Probe probe([hwnd] {
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
    });
    const auto warm = bench::Clock::now() + std::chrono::milliseconds(300);
    while (bench::Clock::now() < warm) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        pump();
    }
    probe.RunStarts();
    const auto start = bench::Clock::now();
    creation.runs.Press(controls::btnConnect);
    while (creation.runs.Running()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        pump();
    }
    const double runMs = std::chrono::duration<double, std::milli>(bench::Clock::now() - start).count();
    // The same probes on the idle window, for as long as the run took (half a second at least).
    probe.RunEnded();
    const auto idleEnd =
        bench::Clock::now() + std::chrono::milliseconds(std::max(500, static_cast<int>(runMs)));
    while (bench::Clock::now() < idleEnd) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        pump();
    }
    // The probe may wait for this thread: keep answering until it has stopped.
    std::atomic<bool> stopped = false;
    std::thread stopper([&] {
        probe.Stop();
        stopped = true;
    });
    while (!stopped) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        pump();
    }
    stopper.join();
    if (creation.form.ActivePage(controls::cxPage) != 2) {
        std::cerr << "the creation did not land on Bitir: " << (host.errors.empty() ? "" : host.errors[0])
                  << "\n";
        return 1;
    }
    probe.Print(runMs);
    return 0;
}
