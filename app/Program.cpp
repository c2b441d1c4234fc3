#include "app/Program.h"

#include "app/Catalogue.h"
#include "shell/Platform.h"
#include "shell/Profile.h"

namespace kurdb {
namespace {

// Until the database layer is wired in, the connection is never open.
class ClosedConnection final : public db::IConnectionState {
public:
    bool IsConnected() const override { return false; }
};

}  // namespace

struct Program::Parts {
    std::unique_ptr<IPlatform> platform = MakeNativePlatform();
    std::unique_ptr<IProfileFiles> profiles = MakeNativeProfileFiles();
    ClosedConnection connection;
};

Program::Program(IWindowServices& window) : parts_(std::make_unique<Parts>()) {
    const CurrentEdition& edition = SelectEdition(kShippedEdition);
    form_ = std::make_unique<FormModel>(WindowDef::Embedded());
    controller_ = std::make_unique<TFFirmaDB>(
        *form_, window, edition, Services{*parts_->platform, *parts_->profiles, parts_->connection});
}

Program::~Program() = default;

}  // namespace kurdb
