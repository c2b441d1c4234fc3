#include "shell/Downloader.h"

#include "base/Exception.h"
#include "shell/Payloads.h"

#ifndef KURDB_DOWNLOAD_HOST
#error "KURDB_DOWNLOAD_HOST must be defined by the build (shell/CMakeLists.txt)"
#endif

namespace kurdb {

std::string DownloadCommandLine(std::string_view program, std::string_view url, std::string_view targetFile) {
    std::string line(program);
    line += ' ';
    line += url;
    line += " -O \"";
    line += targetFile;
    line += "\" -t20 -T10 -N ";
    line += "-Y off";
    return line;
}

std::string_view DownloadProgram() {
    return NativePathRules().windows ? "wget.exe" : "wget";
}

std::string_view DownloadHost() {
    return KURDB_DOWNLOAD_HOST;
}

std::string EngineInstallerUrl() {
    return std::string(DownloadHost()) + "/indir/bde.exe";
}

Downloader::Downloader(const IPlatform& platform, IProcesses& processes, LogFn log)
    : platform_(platform), processes_(processes), log_(std::move(log)) {}

bool Downloader::Download(const std::string& url, const std::string& targetFile) {
    const PathRules rules = NativePathRules();
    // Outside the guard: a program directory that cannot take the file is the caller's error.
    // Only the Windows build carries the program; elsewhere the system's wget serves.
    if (rules.windows) {
        const std::string programPath =
            rules.IncludeTrailingSeparator(ProgramDirectory(platform_)) + std::string(kDownloaderPayload);
        WritePayloadIfAbsent(kDownloaderPayload, programPath);
    }
    try {
        processes_.DeleteUrlCacheEntry(url);
        return processes_.RunAndWait(DownloadCommandLine(DownloadProgram(), url, targetFile), 5) == 0;
    } catch (const std::exception&) {
        if (log_) log_(rules.FileNameOf(targetFile) + " modülü indirilemedi");
        return false;
    }
}

}  // namespace kurdb
