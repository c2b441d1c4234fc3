// The wizard's entry on Linux: the Qt application, the program with its window, the message loop.
#include <exception>
#include <memory>

#include <QApplication>

#include "app/qt/Wizard.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
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
