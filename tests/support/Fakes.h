#pragma once
// The tests' doubles: those of fakes/Fakes.h (which the benchmarks use too) under the tests' own
// names, and a gate that holds a worker until the test opens it.
#include <condition_variable>
#include <mutex>

#include "fakes/Fakes.h"

namespace kurdb::test {

using fakes::FakePlatform;
using fakes::MemoryProfiles;
using fakes::MemoryRegistry;
using fakes::RecordingProcesses;
using fakes::RecordingShellLinks;
using fakes::ScriptedWindow;

// A door a worker waits at until the test opens it.
class Gate {
public:
    void Wait() {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [this] { return open_; });
    }
    void Open() {
        const std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

}  // namespace kurdb::test
