// The program the process tests start. It writes its current folder and its arguments, one a
// line, to the file KURDB_CHILD_OUT names (through a temporary name, so a reader never sees half
// of it) and ends with the exit code KURDB_CHILD_EXIT gives.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (const char* out = std::getenv("KURDB_CHILD_OUT"); out && *out) {
        const std::filesystem::path target(out);
        std::filesystem::path tmp = target;
        tmp += ".part";
        {
            std::ofstream f(tmp, std::ios::binary);
            const std::u8string cwd = std::filesystem::current_path().u8string();
            f << std::string(cwd.begin(), cwd.end()) << '\n';
            for (int i = 1; i < argc; ++i) f << argv[i] << '\n';
        }
        std::filesystem::rename(tmp, target);
    }
    const char* code = std::getenv("KURDB_CHILD_EXIT");
    return code && *code ? std::atoi(code) : 0;
}
