#pragma once
// The composition root: everything one run of the wizard owns, wired together. Each front end
// creates one Program with its own form host on its window thread, builds its widgets from
// Form(), hands presses to Runs() (which runs the handlers on a worker) and runs its message
// loop.
#include <functional>
#include <memory>
#include <string>

#include "app/FormModel.h"
#include "app/HandlerRunner.h"
#include "app/Kurdb.h"
#include "app/FormHost.h"

namespace kurdb {

// The edition this program serves; the controller is given it when it is made.
constexpr int kShippedEdition = 3;

class Program {
public:
    // Looks up the shipped edition and builds the model and the controller on the platform's
    // own services. Throws kurdb::Exception when the edition is not in the catalogue.
    explicit Program(IFormHost& window);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    FormModel& Form() { return *form_; }
    TFFirmaDB& Controller() { return *controller_; }
    HandlerRunner& Runs() { return *runs_; }

    // The start of the window, the same on every platform: its create event, then `show` (the
    // front end shows its window), then its show event.
    void Open(const std::function<void()>& show);

private:
    struct Services;
    std::unique_ptr<Services> services_;
    std::unique_ptr<FormModel> form_;
    std::unique_ptr<HandlerRunner> runs_;
    std::unique_ptr<TFFirmaDB> controller_;
};

// The error box for a failure before the window exists (the Program could not be made), with
// the application title as its caption, as the controller's errors have.
void ShowStartupError(IFormHost& window, const std::string& message);

}  // namespace kurdb
