// The floor of the Qt program's start and memory: an empty Qt window of the wizard's size and
// title, built the same way. With a connection string it first loads the ODBC driver manager and
// connects through it, so the driver is loaded as in the wizard, and prints "ready". With
// --caption the window shows one line of text, so it pays for Qt's font database and the first
// text layout as every window with a caption does.
#include <dlfcn.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <string>

namespace {

using Handle = void*;
using AllocHandle = short (*)(short, Handle, Handle*);
using SetEnvAttr = short (*)(Handle, int, void*, int);
using DriverConnect = short (*)(Handle, void*, const unsigned char*, short, unsigned char*, short, short*,
                                unsigned short);

bool ConnectOdbc(const std::string& connection) {
    void* dm = ::dlopen("libodbc.so.2", RTLD_NOW);
    if (!dm) return false;
    auto alloc = reinterpret_cast<AllocHandle>(::dlsym(dm, "SQLAllocHandle"));
    auto setEnv = reinterpret_cast<SetEnvAttr>(::dlsym(dm, "SQLSetEnvAttr"));
    auto connect = reinterpret_cast<DriverConnect>(::dlsym(dm, "SQLDriverConnect"));
    if (!alloc || !setEnv || !connect) return false;
    Handle env = nullptr, dbc = nullptr;
    if (alloc(1, nullptr, &env) != 0) return false;
    setEnv(env, 200, reinterpret_cast<void*>(3), 0);
    if (alloc(2, env, &dbc) != 0) return false;
    unsigned char out[1024];
    short outLength = 0;
    const short rc = connect(dbc, nullptr, reinterpret_cast<const unsigned char*>(connection.c_str()),
                             static_cast<short>(connection.size()), out, sizeof out, &outLength, 0);
    return rc == 0 || rc == 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool caption = argc > 1 && std::string(argv[1]) == "--caption";
    const std::string connection = argc > 1 && !caption ? argv[1] : "";
    if (!connection.empty() && !ConnectOdbc(connection)) {
        std::fprintf(stderr, "could not connect through ODBC\n");
        return 1;
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("Kurdb bench"));
    window.resize(554, 374);
    if (caption) (new QLabel(QStringLiteral("DURANIX VERİTABANI KURULUMU"), &window))->move(8, 8);
    window.show();
    if (!connection.empty())
        QTimer::singleShot(0, [] {
            std::printf("ready\n");
            std::fflush(stdout);
        });
    return app.exec();
}
