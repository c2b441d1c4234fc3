// wget.exe: the wizard's download program for Windows. A small console program on WinINet that
// takes the GNU Wget options the wizard uses, with their GNU meaning:
//   wget [options] URL...
//   -O FILE, --output-document=FILE   write the document to FILE
//   -t N, --tries=N                   at most N tries (0 or "inf": no limit)
//   -T S, --timeout=S                 connect and read timeout in seconds
//   -N, --timestamping                fetch only when the server's copy is newer than FILE
//                                     (If-Modified-Since); the file gets the Last-Modified time
//   -Y off|on, --proxy=off|on, --no-proxy   use the system's proxy settings or go direct
//   -q, --quiet                       no progress
// A URL without a scheme is taken as http://. Exit status as GNU Wget's: 0 fetched or not
// newer, 1 generic error, 2 bad options, 3 file error, 4 network failure, 8 the server
// answered with an error (404 and the like).
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "shell/win32/SystemLibrary.h"

namespace {

enum Exit { kOk = 0, kGeneric = 1, kParse = 2, kFileError = 3, kNetwork = 4, kServerError = 8 };

struct Options {
    std::wstring output;
    unsigned tries = 20;  // GNU Wget's default
    unsigned timeoutSeconds = 900;
    bool timestamping = false;
    bool proxy = true;
    bool quiet = false;
    std::vector<std::wstring> urls;
};

bool quietOutput = false;

void Say(const wchar_t* format, ...) {
    if (quietOutput) return;
    va_list args;
    va_start(args, format);
    vfwprintf(stderr, format, args);
    va_end(args);
    fflush(stderr);
}

// An open WinINet handle, closed when the scope ends.
class Handle {
public:
    Handle() = default;
    explicit Handle(HINTERNET h) : h_(h) {}
    ~Handle() {
        if (h_) ::InternetCloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HINTERNET h_ = nullptr;
};

bool ParseCount(const std::wstring& s, unsigned& out) {
    if (s == L"inf" || s == L"infinite") {
        out = 0;
        return true;
    }
    if (s.empty()) return false;
    unsigned v = 0;
    for (const wchar_t c : s) {
        if (c < L'0' || c > L'9') return false;
        v = v * 10 + static_cast<unsigned>(c - L'0');
    }
    out = v;
    return true;
}

void Usage() {
    fwprintf(stderr, L"Usage: wget [-O FILE] [-t N] [-T S] [-N] [-Y off|on] [-q] URL...\n");
}

// Reads the options as GNU getopt would: short options with their value attached or in the
// next argument, long options with "=".
bool Parse(int argc, wchar_t** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        auto value = [&](std::size_t skip, std::wstring& out) {
            if (a.size() > skip) {
                out = a.substr(skip);
                return true;
            }
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::wstring v;
        if (a == L"--") {
            for (++i; i < argc; ++i) o.urls.push_back(argv[i]);
            break;
        }
        if (a.rfind(L"--", 0) == 0) {
            const auto eq = a.find(L'=');
            const std::wstring name = a.substr(2, eq == std::wstring::npos ? std::wstring::npos : eq - 2);
            const std::wstring arg = eq == std::wstring::npos ? L"" : a.substr(eq + 1);
            if (name == L"output-document")
                o.output = arg;
            else if (name == L"tries") {
                if (!ParseCount(arg, o.tries)) return false;
            } else if (name == L"timeout" || name == L"read-timeout") {
                if (!ParseCount(arg, o.timeoutSeconds)) return false;
            } else if (name == L"timestamping")
                o.timestamping = true;
            else if (name == L"proxy")
                o.proxy = arg != L"off";
            else if (name == L"no-proxy")
                o.proxy = false;
            else if (name == L"quiet")
                o.quiet = true;
            else
                return false;
            continue;
        }
        if (a.size() < 2 || a[0] != L'-') {
            o.urls.push_back(a);
            continue;
        }
        switch (a[1]) {
            case L'O':
                if (!value(2, o.output)) return false;
                break;
            case L't':
                if (!value(2, v) || !ParseCount(v, o.tries)) return false;
                break;
            case L'T':
                if (!value(2, v) || !ParseCount(v, o.timeoutSeconds)) return false;
                break;
            case L'Y':
                if (!value(2, v)) return false;
                o.proxy = !(v == L"off" || v == L"no");
                break;
            case L'N':
                o.timestamping = true;
                if (a.size() > 2) return false;
                break;
            case L'q':
                o.quiet = true;
                if (a.size() > 2) return false;
                break;
            default:
                return false;
        }
    }
    return !o.urls.empty();
}

std::wstring LastErrorText(DWORD err) {
    wchar_t* buf = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                   FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                               ::GetModuleHandleW(L"wininet.dll"), err, 0, reinterpret_cast<wchar_t*>(&buf),
                               0, nullptr);
    std::wstring text = n && buf ? std::wstring(buf, n) : L"error " + std::to_wstring(err);
    if (buf) ::LocalFree(buf);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

// The file name a URL is saved under without -O: its last path segment, or index.html.
std::wstring DefaultFileName(const std::wstring& path) {
    std::wstring p = path.substr(0, path.find_first_of(L"?#"));
    const auto slash = p.rfind(L'/');
    std::wstring name = slash == std::wstring::npos ? p : p.substr(slash + 1);
    return name.empty() ? L"index.html" : name;
}

bool FileTime(const std::wstring& path, FILETIME& out) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    out = data.ftLastWriteTime;
    return true;
}

enum class Attempt { Done, NotNewer, Retry, Fatal, ServerError, FileError };

struct Target {
    std::wstring host;
    INTERNET_PORT port = 80;
    std::wstring path;
    bool secure = false;
};

// The connect, send and read timeouts of a handle. Set on the request handle as well: Wine's
// WinINet takes a request's read timeout from the request only.
void SetTimeouts(HINTERNET handle, const Options& o) {
    if (!o.timeoutSeconds) return;
    DWORD ms = o.timeoutSeconds * 1000;
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                               INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(handle, option, &ms, sizeof ms);
}

Attempt FetchOnce(HINTERNET session, const Target& t, const std::wstring& file, const Options& o) {
    Handle connection(
        ::InternetConnectW(session, t.host.c_str(), t.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        Say(L"failed: %ls.\n", LastErrorText(::GetLastError()).c_str());
        return Attempt::Retry;
    }
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
    if (t.secure) flags |= INTERNET_FLAG_SECURE;
    Handle request(
        ::HttpOpenRequestW(connection.Get(), L"GET", t.path.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (!request) {
        Say(L"failed: %ls.\n", LastErrorText(::GetLastError()).c_str());
        return Attempt::Retry;
    }
    SetTimeouts(request.Get(), o);
    std::wstring headers;
    FILETIME local{};
    const bool haveLocal = o.timestamping && FileTime(file, local);
    if (haveLocal) {
        SYSTEMTIME st;
        ::FileTimeToSystemTime(&local, &st);
        wchar_t date[INTERNET_RFC1123_BUFSIZE + 1];
        if (::InternetTimeFromSystemTimeW(&st, INTERNET_RFC1123_FORMAT, date, sizeof date))
            headers = std::wstring(L"If-Modified-Since: ") + date + L"\r\n";
    }
    Say(L"HTTP request sent, awaiting response... ");
    if (!::HttpSendRequestW(request.Get(), headers.empty() ? nullptr : headers.c_str(),
                            static_cast<DWORD>(headers.size()), nullptr, 0)) {
        const DWORD err = ::GetLastError();
        Say(L"failed: %ls.\n", LastErrorText(err).c_str());
        // No such host, nobody listening: trying again would not change that.
        if (err == ERROR_INTERNET_NAME_NOT_RESOLVED || err == ERROR_INTERNET_CANNOT_CONNECT)
            return Attempt::Fatal;
        return Attempt::Retry;
    }
    DWORD status = 0, size = sizeof status;
    ::HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    wchar_t reason[256] = L"";
    DWORD reasonSize = sizeof reason;
    ::HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_TEXT, reason, &reasonSize, nullptr);
    if (status < 100) {
        // The connection closed before a status line came (Wine's WinINet reports status 0
        // where Windows fails the request): no data received, worth another try.
        Say(L"No data received.\n");
        return Attempt::Retry;
    }
    Say(L"%lu %ls\n", status, reason);
    if (status == HTTP_STATUS_NOT_MODIFIED) {
        Say(L"Server file no newer than local file `%ls' -- not retrieving.\n", file.c_str());
        return Attempt::NotNewer;
    }
    // GNU Wget tries again after "504 Gateway Timeout" only; every other error answer ends the
    // download at once with exit status 8.
    if (status == HTTP_STATUS_GATEWAY_TIMEOUT) return Attempt::Retry;
    if (status != HTTP_STATUS_OK) {
        Say(L"ERROR %lu: %ls.\n", status, reason);
        return Attempt::ServerError;
    }
    unsigned long long length = 0;
    wchar_t lengthText[32] = L"";
    DWORD lengthSize = sizeof lengthText;
    const bool known =
        ::HttpQueryInfoW(request.Get(), HTTP_QUERY_CONTENT_LENGTH, lengthText, &lengthSize, nullptr);
    if (known) length = std::wcstoull(lengthText, nullptr, 10);
    Say(known ? L"Length: %llu\n" : L"Length: unspecified\n", length);

    // Into a file beside the target, which replaces it only when complete: a broken transfer
    // leaves the old file (or none), never half of one.
    const std::wstring part = file + L".part";
    HANDLE out =
        ::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        Say(L"%ls: %ls\n", part.c_str(), LastErrorText(::GetLastError()).c_str());
        return Attempt::FileError;
    }
    Say(L"Saving to: `%ls'\n\n", file.c_str());
    char buf[16384];
    unsigned long long done = 0;
    unsigned lastPercent = 101;
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!::InternetReadFile(request.Get(), buf, sizeof buf, &got)) {
            Say(L"\nRead error at byte %llu: %ls.\n", done, LastErrorText(::GetLastError()).c_str());
            ok = false;
            break;
        }
        if (got == 0) break;
        DWORD written = 0;
        if (!::WriteFile(out, buf, got, &written, nullptr) || written != got) {
            ::CloseHandle(out);
            ::DeleteFileW(part.c_str());
            Say(L"\nCannot write to `%ls'.\n", part.c_str());
            return Attempt::FileError;
        }
        done += got;
        if (length) {
            const unsigned percent = static_cast<unsigned>(done * 100 / length);
            if (percent != lastPercent) {
                Say(L"\r%3u%% [%-50.*ls] %llu", percent, static_cast<int>(percent / 2),
                    L"==================================================", done);
                lastPercent = percent;
            }
        } else {
            Say(L"\r%llu bytes", done);
        }
    }
    if (ok && known && done != length) {
        Say(L"\nConnection closed at byte %llu.\n", done);
        ok = false;
    }
    if (ok) {
        SYSTEMTIME modified;
        DWORD modSize = sizeof modified;
        if (::HttpQueryInfoW(request.Get(), HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &modified,
                             &modSize, nullptr)) {
            FILETIME ft;
            if (::SystemTimeToFileTime(&modified, &ft)) ::SetFileTime(out, nullptr, nullptr, &ft);
        }
    }
    ::CloseHandle(out);
    if (!ok) {
        ::DeleteFileW(part.c_str());
        return Attempt::Retry;
    }
    if (!::MoveFileExW(part.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        Say(L"\nCannot write to `%ls': %ls\n", file.c_str(), LastErrorText(::GetLastError()).c_str());
        ::DeleteFileW(part.c_str());
        return Attempt::FileError;
    }
    Say(L"\n`%ls' saved [%llu]\n\n", file.c_str(), done);
    return Attempt::Done;
}

int Fetch(const std::wstring& given, const Options& o) {
    std::wstring url = given;
    if (url.find(L"://") == std::wstring::npos) url = L"http://" + url;
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = L"";
    std::vector<wchar_t> path(url.size() + 2), extra(url.size() + 2);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) || !*host) {
        Say(L"%ls: Invalid URL.\n", given.c_str());
        return kGeneric;
    }
    Target t;
    t.host = host;
    t.port = parts.nPort;
    t.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    t.path = std::wstring(path.data()) + extra.data();
    if (t.path.empty()) t.path = L"/";
    const std::wstring file = o.output.empty() ? DefaultFileName(path.data()) : o.output;

    Handle session(::InternetOpenW(L"Wget/1.8.2 (Kurdb)",
                                   o.proxy ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_DIRECT,
                                   nullptr, nullptr, 0));
    if (!session) {
        Say(L"%ls\n", LastErrorText(::GetLastError()).c_str());
        return kGeneric;
    }
    SetTimeouts(session.Get(), o);
    for (unsigned attempt = 1;; ++attempt) {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        Say(L"--%02u:%02u:%02u--  %ls\n", now.wHour, now.wMinute, now.wSecond, url.c_str());
        if (attempt > 1) Say(L"  (try:%2u) ", attempt);
        Say(L"Connecting to %ls:%u... ", t.host.c_str(), t.port);
        switch (FetchOnce(session.Get(), t, file, o)) {
            case Attempt::Done:
            case Attempt::NotNewer:
                return kOk;
            case Attempt::ServerError:
                return kServerError;
            case Attempt::FileError:
                return kFileError;
            case Attempt::Fatal:
                return kNetwork;
            case Attempt::Retry:
                break;
        }
        if (o.tries != 0 && attempt >= o.tries) {
            Say(L"Giving up.\n\n");
            return kNetwork;
        }
        // GNU Wget's linear back-off: one second more before every try, ten at most.
        const unsigned wait = attempt < 10 ? attempt : 10;
        Say(L"Retrying in %u s.\n\n", wait);
        ::Sleep(wait * 1000);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Before anything loads a DLL: the program is written beside the wizard in a downloads
    // folder, where a planted DLL must never be loaded.
    kurdb::win32::RestrictDllSearchToSystem();
    Options o;
    if (!Parse(argc, argv, o)) {
        Usage();
        return kParse;
    }
    quietOutput = o.quiet;
    int status = kOk;
    for (const std::wstring& url : o.urls) {
        const int rc = Fetch(url, o);
        if (status == kOk) status = rc;
    }
    return status;
}
