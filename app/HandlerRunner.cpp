#include "app/HandlerRunner.h"

#include <exception>
#include <utility>

#include "app/Kurdb.h"
#include "base/Exception.h"

namespace kurdb {

WindowThread::WindowThread() : owner_(std::this_thread::get_id()) {}

void WindowThread::SetWaker(std::function<void()> wake) {
    const std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
}

void WindowThread::Post(std::function<void()> work) {
    std::function<void()> wake;
    {
        const std::lock_guard lock(mutex_);
        if (shutDown_) return;
        queue_.push_back(std::move(work));
        wake = wake_;
    }
    // Outside the lock: a waker may post a message that the window thread handles at once.
    if (wake) wake();
}

bool WindowThread::Invoke(std::function<void()> work) {
    if (IsCurrent()) {
        work();
        return true;
    }
    struct Outcome {
        bool ran = false;
        std::exception_ptr error;
    };
    const auto outcome = std::make_shared<Outcome>();
    Post([this, outcome, work = std::move(work)] {
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard lock(mutex_);
        outcome->ran = true;
        outcome->error = error;
        ran_.notify_all();
    });
    std::unique_lock lock(mutex_);
    ran_.wait(lock, [&] { return outcome->ran || shutDown_; });
    if (outcome->error) std::rethrow_exception(outcome->error);
    return outcome->ran;
}

void WindowThread::RunPending() {
    for (;;) {
        std::function<void()> work;
        {
            const std::lock_guard lock(mutex_);
            if (shutDown_ || queue_.empty()) return;
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

void WindowThread::Shutdown() {
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard lock(mutex_);
        shutDown_ = true;
        dropped.swap(queue_);
        ran_.notify_all();
    }
}

HandlerRunner::HandlerRunner(IFormHost& window)
    : window_(window), thread_(std::make_shared<WindowThread>()) {}

HandlerRunner::~HandlerRunner() {
    thread_->Shutdown();
    if (worker_.joinable()) worker_.join();
}

TFFirmaDB& HandlerRunner::Controller() const {
    if (!controller_) throw EProgramFault("no controller attached to the handler runner");
    return *controller_;
}

std::function<void()> HandlerRunner::PendingWork() const {
    return [weak = std::weak_ptr<WindowThread>(thread_)] {
        if (const auto thread = weak.lock()) thread->RunPending();
    };
}

void HandlerRunner::Subscribe(FormModel& form, FormModel::Listener listener) {
    form.Subscribe(
        [thread = thread_, listener = std::move(listener)](const std::string& control, Property what) {
            if (thread->IsCurrent())
                listener(control, what);
            else
                thread->Post([listener, control, what] { listener(control, what); });
        });
}

bool HandlerRunner::Press(std::string_view control) {
    if (running_) return false;
    TFFirmaDB& controller = Controller();
    if (!controller.HandlesClick(control)) return true;  // nothing to run
    Start([&controller, name = std::string(control)] { controller.Click(name); }, {});
    return true;
}

bool HandlerRunner::Drive(std::function<void()> walk, std::function<void()> ended) {
    if (running_) return false;
    Start(std::move(walk), std::move(ended));
    return true;
}

void HandlerRunner::Start(std::function<void()> body, std::function<void()> ended) {
    if (worker_.joinable()) worker_.join();  // the last run's worker, which has posted its end
    running_ = true;
    ended_ = std::move(ended);
    if (runListener_) runListener_(true);
    try {
        worker_ = std::thread([this, body = std::move(body), thread = thread_] {
            try {
                body();
            } catch (...) {
                // Click shows its own errors, a walk reports its own; nothing may leave a thread.
            }
            thread->Post([this] { RunEnded(); });
        });
    } catch (...) {
        RunEnded();
        throw;
    }
}

bool HandlerRunner::HoldClose() {
    if (!running_) return false;
    closeHeld_ = true;
    return true;
}

void HandlerRunner::RunEnded() {
    if (worker_.joinable()) worker_.join();
    running_ = false;
    if (runListener_) runListener_(false);
    if (closeHeld_.exchange(false)) window_.CloseWindow();
    if (const std::function<void()> ended = std::exchange(ended_, {})) ended();
}

bool HandlerRunner::Host::Confirm(const std::string& question) {
    const auto answer = std::make_shared<bool>(false);
    IFormHost& window = runner_.window_;
    runner_.thread_->Invoke([&window, question, answer] { *answer = window.Confirm(question); });
    return *answer;
}

void HandlerRunner::Host::ShowError(const std::string& text, const std::string& caption) {
    IFormHost& window = runner_.window_;
    runner_.thread_->Invoke([&window, text, caption] { window.ShowError(text, caption); });
}

void HandlerRunner::Host::CloseWindow() {
    if (runner_.thread_->IsCurrent() && !runner_.running_)
        runner_.window_.CloseWindow();
    else
        runner_.closeHeld_ = true;
}

}  // namespace kurdb
