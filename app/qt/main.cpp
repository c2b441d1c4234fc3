// The wizard's entry on Linux: the Qt application, the program with its window, the message loop.
#include <fontconfig/fontconfig.h>

#include <exception>
#include <memory>
#include <thread>

#include <QApplication>

#include "app/qt/Wizard.h"

int main(int argc, char** argv) {
    // fontconfig's first use reads its configuration and font caches, which the window needs
    // before it can lay out a caption. It is thread-safe: read them while Qt connects to the
    // display, on the other core.
    std::thread fonts([] { FcInit(); });
    QApplication app(argc, argv);
    fonts.join();
    std::unique_ptr<kurdb::qt::Wizard> wizard;
    try {
        wizard = std::make_unique<kurdb::qt::Wizard>();
    } catch (const std::exception& e) {
        kurdb::qt::ShowStartupError(e.what());
        return 1;
    }
    wizard->Open();
    return QApplication::exec();
}
