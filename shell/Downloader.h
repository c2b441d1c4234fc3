#pragma once
// The downloader: fetches one URL into one file by running the download program (WGET.EXE
// beside the program on Windows, written from the program's payload on first need; the
// system's wget on Linux) and waiting for it.
#include <functional>
#include <string>
#include <string_view>

#include "shell/Platform.h"
#include "shell/Processes.h"

namespace kurdb {

// The command line of one download: the program, the URL unquoted, -O "<target>", at most 20
// tries, a 10-second read timeout, timestamping and no proxy:
//   wget.exe <url> -O "<target>" -t20 -T10 -N -Y off
std::string DownloadCommandLine(std::string_view program, std::string_view url, std::string_view targetFile);

// The program token of that line on this platform: "wget.exe" on Windows (WGET.EXE beside the
// program, which the search for the program finds first), "wget" elsewhere (the system's GNU
// Wget, found on PATH).
std::string_view DownloadProgram();

// The download server's host name, a build setting (KURDB_DOWNLOAD_HOST).
std::string_view DownloadHost();
// Where the engine installer is fetched from: the host + "/indir/bde.exe", without a scheme.
std::string EngineInstallerUrl();

class Downloader {
public:
    using LogFn = std::function<void(std::string_view)>;
    Downloader(const IPlatform& platform, IProcesses& processes, LogFn log);

    // Places the download program when it is missing (its file-creation error reaches the
    // caller), removes the URL from the internet cache and runs the program, waiting for it.
    // True when the program was started and has ended, whatever it fetched; false when it could
    // not be started, or when an error was caught, which logs the target's file name +
    // " modülü indirilemedi".
    bool Download(const std::string& url, const std::string& targetFile);

private:
    const IPlatform& platform_;
    IProcesses& processes_;
    LogFn log_;
};

}  // namespace kurdb
