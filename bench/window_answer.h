#pragma once
// What the window-answer benchmarks share: the wizard's controller on the real database stack
// with the machine's other seams faked, one creation on the main machine, and the probe that
// asks the window thread for an answer again and again while the creation runs.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/HandlerRunner.h"
#include "app/Kurdb.h"
#include "fakes/Fakes.h"
#include "resources/ControlNames.h"

namespace kurdb::bench {

using Clock = std::chrono::steady_clock;

// The front end's host with its dialogs left out: no user answers them in a benchmark. Errors
// are kept and the questions answered "no".
class QuietHost final : public IFormHost {
public:
    explicit QuietHost(IFormHost& window) : window_(window) {}
    std::vector<std::string> errors;
    bool Confirm(const std::string&) override { return false; }
    void ShowError(const std::string& text, const std::string&) override { errors.push_back(text); }
    void SetBusy(bool busy) override { window_.SetBusy(busy); }
    void CloseWindow() override { window_.CloseWindow(); }

private:
    IFormHost& window_;
};

struct Creation {
    Creation(IFormHost& window, int edition, const std::string& database)
        : runs(window),
          controller(form, runs.HandlerHost(), Edition(edition, database),
                     {platform, profiles, components, registry, processes, links}) {
        platform.exe = "/nonexistent/kurdb-bench/kurdb";
        runs.Attach(controller);
    }

    static CurrentEdition Edition(int number, const std::string& database) {
        CurrentEdition edition = EditionFor(number);
        edition.companiesDatabase = database;
        return edition;
    }

    // The first page as the user fills it on the server machine.
    void Fill(const std::string& server, const std::string& user, const std::string& password) {
        form.SetItemIndex(controls::cbTerminal, 0);
        form.SetText(controls::editUser, user);
        form.SetChecked(controls::cbFirmalar, true);
        form.SetText(controls::editServer, server);
        form.SetText(controls::editPass, password);
    }

    fakes::FakePlatform platform;
    fakes::MemoryProfiles profiles;
    fakes::MemoryRegistry registry;
    fakes::RecordingProcesses processes;
    fakes::RecordingShellLinks links;
    db::Components components;
    FormModel form{WindowDef::Embedded()};
    HandlerRunner runs;
    TFFirmaDB controller;
};

// Asks `answer` (which returns once the window thread has answered) every `gap` until stopped,
// keeping how long each answer took during the run and with the window idle after it (the first
// answers, before the run, warm the window's paint up and are not kept).
class Probe {
public:
    explicit Probe(std::function<void()> answer,
                   std::chrono::milliseconds gap = std::chrono::milliseconds(10))
        : thread_([this, answer = std::move(answer), gap] {
              while (!stop_) {
                  const auto start = Clock::now();
                  answer();
                  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                  if (phase_ == Phase::Run) runTimes_.push_back(ms);
                  if (phase_ == Phase::Idle) idleTimes_.push_back(ms);
                  std::this_thread::sleep_for(gap);
              }
          }) {}
    ~Probe() { Stop(); }

    void RunStarts() { phase_ = Phase::Run; }
    // The run has ended: later answers are the idle window's.
    void RunEnded() { phase_ = Phase::Idle; }
    // Ends the probing; the answers are final after it.
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // "<longest ms> <median ms> <answers>" during the run, the same for the idle window, then
    // the run's length in ms.
    void Print(double runMs) const {
        const auto figures = [](std::vector<double> times) {
            std::sort(times.begin(), times.end());
            if (times.empty()) return std::string("0 0 0");
            char text[96];
            std::snprintf(text, sizeof text, "%.3f %.3f %zu", times.back(), times[times.size() / 2],
                          times.size());
            return std::string(text);
        };
        std::printf("%s %s %.1f\n", figures(runTimes_).c_str(), figures(idleTimes_).c_str(), runMs);
    }

private:
    std::atomic<bool> stop_ = false;
    enum class Phase { WarmUp, Run, Idle };
    std::atomic<Phase> phase_ = Phase::WarmUp;
    std::vector<double> runTimes_, idleTimes_;
    std::thread thread_;
};

}  // namespace kurdb::bench
