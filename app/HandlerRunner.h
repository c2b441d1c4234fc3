#pragma once
// One handler at a time, on a worker; the window stays alive.
//
// A press runs its handler, with every handler it fires, on a worker thread, one press at a
// time; a press while a run goes on is dropped, never kept for later. The window thread keeps
// painting meanwhile and mirrors each change of the form model as it is made. What a handler
// asks of the window (the confirmation dialog, the error box) is done on the window thread
// while the worker waits for the answer; closing the window is held until the run ends. Both
// front ends use this one mechanism; the controller still sees only the form model and the form
// host.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "app/FormHost.h"
#include "app/FormModel.h"

namespace kurdb {

class TFFirmaDB;

// Work handed to the window thread from any thread, done in the order it was handed over.
class WindowThread {
public:
    // The thread that makes it is the window thread.
    WindowThread();

    bool IsCurrent() const { return std::this_thread::get_id() == owner_; }

    // `wake` asks the window thread, from any thread, to call RunPending soon (a posted message,
    // a queued call). Null: nothing is woken and the work waits.
    void SetWaker(std::function<void()> wake);

    // Queues `work` for the window thread and returns at once. Dropped after Shutdown.
    void Post(std::function<void()> work);
    // Runs `work` on the window thread and waits until it has run: directly on the window thread,
    // otherwise through Post. False when it never ran because of Shutdown.
    bool Invoke(std::function<void()> work);

    // Window thread: runs the queued work, oldest first. A nested message loop inside one piece
    // of work (a modal dialog) may call it again; the order stays.
    void RunPending();

    // Window thread: drops the queued work and any later one, and releases every Invoke waiting.
    void Shutdown();

private:
    const std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable ran_;
    std::deque<std::function<void()>> queue_;
    std::function<void()> wake_;
    bool shutDown_ = false;
};

class HandlerRunner {
public:
    // Made on the window thread. `window` is the front end's own form host: its dialogs, cursor
    // and closing are used on the window thread only.
    explicit HandlerRunner(IFormHost& window);
    // Waits for a run that is still going on; its dialogs are answered "&Hayır" and its errors
    // are not shown once the window thread has stopped taking work.
    ~HandlerRunner();
    HandlerRunner(const HandlerRunner&) = delete;
    HandlerRunner& operator=(const HandlerRunner&) = delete;

    // The form host for the controller: dialogs on the window thread while the calling worker
    // waits; the busy state is the runner's own (see SetRunListener); CloseWindow during a run
    // closes the window when the run ends.
    IFormHost& HandlerHost() { return handlerHost_; }
    // The controller whose handlers the presses run; attach once, before the first press.
    void Attach(TFFirmaDB& controller) { controller_ = &controller; }
    TFFirmaDB& Controller() const;

    // The front end's way to the window thread; see WindowThread::SetWaker.
    void SetWaker(std::function<void()> wake) { thread_->SetWaker(std::move(wake)); }
    // A callable that runs the queued work when the window thread calls it; it stays safe to
    // call after the runner is gone (then it does nothing).
    std::function<void()> PendingWork() const;
    // Window thread: runs the queued work (the front end's answer to a wake).
    void RunPending() { thread_->RunPending(); }

    // `listener` is called on the window thread (from any thread it is delivered there, in
    // order with the rest). The front end mirrors the model with it.
    void Subscribe(FormModel& form, FormModel::Listener listener);
    // Called on the window thread with true when a run starts and false when it has ended.
    void SetRunListener(std::function<void(bool running)> listener) { runListener_ = std::move(listener); }

    // Window thread. Starts the handler of `control` on the worker and returns at once; false,
    // and nothing runs, while another run goes on (the press is dropped). A control without a
    // handler runs nothing and returns true.
    bool Press(std::string_view control);
    // Window thread. Runs `walk` on the worker as one run, as a press runs a handler: presses are
    // dropped and the busy state shows until it ends; then `ended` is called on the window thread.
    // False, and nothing runs, while another run goes on. An unattended run that shows the window
    // walks the pages so.
    bool Drive(std::function<void()> walk, std::function<void()> ended);
    // Window thread: true from a press until its run has ended.
    bool Running() const { return running_; }
    // Window thread: a close of the window asked for. True when a run goes on: the window is
    // then closed when the run ends, and the caller must not close it now.
    bool HoldClose();

private:
    class Host final : public IFormHost {
    public:
        explicit Host(HandlerRunner& runner) : runner_(runner) {}
        bool Confirm(const std::string& question) override;
        void ShowError(const std::string& text, const std::string& caption) override;
        void SetBusy(bool) override {}
        void CloseWindow() override;

    private:
        HandlerRunner& runner_;
    };

    void Start(std::function<void()> body, std::function<void()> ended);
    void RunEnded();

    IFormHost& window_;
    Host handlerHost_{*this};
    std::shared_ptr<WindowThread> thread_;
    TFFirmaDB* controller_ = nullptr;
    std::function<void(bool)> runListener_;
    std::function<void()> ended_;  // the current run's own end, if it has one
    std::thread worker_;
    bool running_ = false;
    std::atomic<bool> closeHeld_ = false;
};

}  // namespace kurdb
