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
//
// The wizard carries the program inside itself, so it is kept small: nothing of the C++ library
// (built without exceptions and RTTI), text in fixed arrays whose bounds are checked (a URL or a
// file name too long is an error, never an overflow), output through msvcrt's printf.
#include <windows.h>

#include <wininet.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "shell/win32/DllSearch.h"

namespace {

enum Exit { kOk = 0, kGeneric = 1, kParse = 2, kFileError = 3, kNetwork = 4, kServerError = 8 };

// The longest URL the program takes (2083 characters, WinINet's INTERNET_MAX_URL_LENGTH, as in
// Internet Explorer), the longest host name, and the longest file name Windows takes (a path
// with the \\?\ prefix), each with its terminating zero.
constexpr size_t kUrlChars = INTERNET_MAX_URL_LENGTH;
constexpr size_t kHostChars = INTERNET_MAX_HOST_NAME_LENGTH + 1;
constexpr size_t kPathChars = 32768;

// A wide string of fewer than Capacity characters in a fixed array.
template <size_t Capacity>
class Text {
public:
    Text() { data_[0] = L'\0'; }
    // Joins the pieces. When they do not fit, the text is left empty and the answer is false.
    template <typename... Pieces>
    [[nodiscard]] bool Set(Pieces... pieces) {
        size_ = 0;
        if ((Append(pieces) && ...)) return true;
        size_ = 0;
        data_[0] = L'\0';
        return false;
    }
    const wchar_t* Get() const { return data_; }
    size_t Size() const { return size_; }

private:
    bool Append(const wchar_t* piece) {
        const size_t length = wcslen(piece);
        if (length >= Capacity - size_) return false;
        wmemcpy(data_ + size_, piece, length + 1);
        size_ += length;
        return true;
    }

    wchar_t data_[Capacity];
    size_t size_ = 0;
};

struct Options {
    const wchar_t* output = L"";  // empty: the name the URL gives
    unsigned tries = 20;          // GNU Wget's default
    unsigned timeoutSeconds = 900;
    bool timestamping = false;
    bool proxy = true;
    bool quiet = false;
    wchar_t** urls = nullptr;  // gathered at the front of argv's arguments, over those already read
    int urlCount = 0;
};

bool quietOutput = false;

// Progress and errors on standard error, unless -q was given, through msvcrt's printf (which
// spells a 64-bit number %I64u). __ms_vfwprintf is mingw-w64's name for it; vfwprintf may be
// mingw-w64's own printf, linked in, as any C++ library header (<windows.h> includes one on
// x64) turns __USE_MINGW_ANSI_STDIO on.
void Say(const wchar_t* format, ...) {
    if (quietOutput) return;
    va_list args;
    va_start(args, format);
    __ms_vfwprintf(stderr, format, args);
    va_end(args);
    fflush(stderr);
}

// The system's text for a WinINet or Win32 error, without its final line break.
class ErrorText {
public:
    explicit ErrorText(DWORD error) {
        DWORD length = ::FormatMessageW(
            FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            ::GetModuleHandleW(L"wininet.dll"), error, 0, text_, kChars, nullptr);
        while (length > 0 && (text_[length - 1] == L'\n' || text_[length - 1] == L'\r')) --length;
        text_[length] = L'\0';
        if (length == 0) _snwprintf(text_, kChars, L"error %lu", error);
    }
    const wchar_t* Get() const { return text_; }

private:
    static constexpr DWORD kChars = 512;
    wchar_t text_[kChars];
};

// An open WinINet handle, closed when the scope ends.
class Handle {
public:
    explicit Handle(HINTERNET h) : h_(h) {}
    ~Handle() {
        if (h_) ::InternetCloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HINTERNET h_;
};

bool Equal(const wchar_t* a, const wchar_t* b) {
    return wcscmp(a, b) == 0;
}

bool ParseCount(const wchar_t* s, unsigned& out) {
    if (Equal(s, L"inf") || Equal(s, L"infinite")) {
        out = 0;
        return true;
    }
    if (!*s) return false;
    unsigned v = 0;
    for (; *s; ++s) {
        if (*s < L'0' || *s > L'9') return false;
        v = v * 10 + static_cast<unsigned>(*s - L'0');
    }
    out = v;
    return true;
}

void Usage() {
    fputws(L"Usage: wget [-O FILE] [-t N] [-T S] [-N] [-Y off|on] [-q] URL...\n", stderr);
}

// Reads the options as GNU getopt would: short options with their value attached or in the
// next argument, long options with "=".
bool Parse(int argc, wchar_t** argv, Options& o) {
    o.urls = argv + 1;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* a = argv[i];
        // a short option's value: the rest of the argument, else the next one
        const auto value = [&]() -> const wchar_t* {
            return a[2] ? a + 2 : i + 1 < argc ? argv[++i] : nullptr;
        };
        if (Equal(a, L"--")) {
            while (++i < argc) o.urls[o.urlCount++] = argv[i];
            break;
        }
        if (a[0] == L'-' && a[1] == L'-') {
            const wchar_t* name = a + 2;
            const wchar_t* eq = wcschr(name, L'=');
            const size_t length = eq ? static_cast<size_t>(eq - name) : wcslen(name);
            const wchar_t* arg = eq ? eq + 1 : L"";
            const auto is = [&](const wchar_t* option) {
                return wcslen(option) == length && wcsncmp(name, option, length) == 0;
            };
            if (is(L"output-document"))
                o.output = arg;
            else if (is(L"tries")) {
                if (!ParseCount(arg, o.tries)) return false;
            } else if (is(L"timeout") || is(L"read-timeout")) {
                if (!ParseCount(arg, o.timeoutSeconds)) return false;
            } else if (is(L"timestamping"))
                o.timestamping = true;
            else if (is(L"proxy"))
                o.proxy = !Equal(arg, L"off");
            else if (is(L"no-proxy"))
                o.proxy = false;
            else if (is(L"quiet"))
                o.quiet = true;
            else
                return false;
            continue;
        }
        if (a[0] != L'-' || !a[1]) {
            o.urls[o.urlCount++] = argv[i];
            continue;
        }
        const wchar_t* v = nullptr;
        switch (a[1]) {
            case L'O':
                o.output = value();
                if (!o.output) return false;
                break;
            case L't':
                v = value();
                if (!v || !ParseCount(v, o.tries)) return false;
                break;
            case L'T':
                v = value();
                if (!v || !ParseCount(v, o.timeoutSeconds)) return false;
                break;
            case L'Y':
                v = value();
                if (!v) return false;
                o.proxy = !(Equal(v, L"off") || Equal(v, L"no"));
                break;
            case L'N':
                o.timestamping = true;
                if (a[2]) return false;
                break;
            case L'q':
                o.quiet = true;
                if (a[2]) return false;
                break;
            default:
                return false;
        }
    }
    return o.urlCount > 0;
}

// The file name a URL is saved under without -O: the last segment of its path (cut in place at
// a query or fragment), or index.html.
const wchar_t* DefaultFileName(wchar_t* path) {
    wchar_t* end = wcspbrk(path, L"?#");
    if (end) *end = L'\0';
    const wchar_t* slash = wcsrchr(path, L'/');
    const wchar_t* name = slash ? slash + 1 : path;
    return *name ? name : L"index.html";
}

bool FileTime(const wchar_t* path, FILETIME& out) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    out = data.ftLastWriteTime;
    return true;
}

enum class Attempt { Done, NotNewer, Retry, Fatal, ServerError, FileError };

struct Target {
    wchar_t host[kHostChars] = {L'\0'};
    INTERNET_PORT port = 80;
    Text<kUrlChars> path;  // with the query; empty for the server's root
    bool secure = false;
};

// The connect, send and read timeouts of a handle. Set on the request handle as well: Wine's
// WinINet takes a request's read timeout from the request only.
void SetTimeouts(HINTERNET handle, const Options& o) {
    if (!o.timeoutSeconds) return;
    static const DWORD kTimeouts[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                                      INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT};
    DWORD ms = o.timeoutSeconds * 1000;
    for (const DWORD option : kTimeouts) ::InternetSetOptionW(handle, option, &ms, sizeof ms);
}

// One try. `part` is the file beside `file` that the document goes into, which replaces `file`
// only when complete: a broken transfer leaves the old file (or none), never half of one.
Attempt FetchOnce(HINTERNET session, const Target& t, const wchar_t* file, const wchar_t* part,
                  const Options& o) {
    Handle connection(
        ::InternetConnectW(session, t.host, t.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        Say(L"failed: %ls.\n", ErrorText(::GetLastError()).Get());
        return Attempt::Retry;
    }
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
    if (t.secure) flags |= INTERNET_FLAG_SECURE;
    Handle request(::HttpOpenRequestW(connection.Get(), L"GET", t.path.Size() ? t.path.Get() : L"/", nullptr,
                                      nullptr, nullptr, flags, 0));
    if (!request) {
        Say(L"failed: %ls.\n", ErrorText(::GetLastError()).Get());
        return Attempt::Retry;
    }
    SetTimeouts(request.Get(), o);
    Text<64> headers;  // room for If-Modified-Since and the longest RFC 1123 date
    FILETIME local{};
    if (o.timestamping && FileTime(file, local)) {
        SYSTEMTIME st;
        ::FileTimeToSystemTime(&local, &st);
        wchar_t date[INTERNET_RFC1123_BUFSIZE + 1];
        // Without a date (none written, or too long) the request asks for the file as it is.
        if (::InternetTimeFromSystemTimeW(&st, INTERNET_RFC1123_FORMAT, date, sizeof date))
            static_cast<void>(headers.Set(L"If-Modified-Since: ", date, L"\r\n"));
    }
    Say(L"HTTP request sent, awaiting response... ");
    // The header is shorter than Text<64>: its length fits a DWORD.
    if (!::HttpSendRequestW(request.Get(), headers.Size() ? headers.Get() : nullptr,
                            static_cast<DWORD>(headers.Size()), nullptr, 0)) {
        const DWORD err = ::GetLastError();
        Say(L"failed: %ls.\n", ErrorText(err).Get());
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
        Say(L"Server file no newer than local file `%ls' -- not retrieving.\n", file);
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
    if (known) length = _wcstoui64(lengthText, nullptr, 10);
    Say(known ? L"Length: %I64u\n" : L"Length: unspecified\n", length);

    HANDLE out =
        ::CreateFileW(part, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        Say(L"%ls: %ls\n", part, ErrorText(::GetLastError()).Get());
        return Attempt::FileError;
    }
    Say(L"Saving to: `%ls'\n\n", file);
    char buf[16384];
    unsigned long long done = 0;
    unsigned lastPercent = 101;
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!::InternetReadFile(request.Get(), buf, sizeof buf, &got)) {
            Say(L"\nRead error at byte %I64u: %ls.\n", done, ErrorText(::GetLastError()).Get());
            ok = false;
            break;
        }
        if (got == 0) break;
        DWORD written = 0;
        if (!::WriteFile(out, buf, got, &written, nullptr) || written != got) {
            ::CloseHandle(out);
            ::DeleteFileW(part);
            Say(L"\nCannot write to `%ls'.\n", part);
            return Attempt::FileError;
        }
        done += got;
        if (length) {
            const unsigned percent = static_cast<unsigned>(done * 100 / length);
            if (percent != lastPercent) {
                Say(L"\r%3u%% [%-50.*ls] %I64u", percent, static_cast<int>(percent / 2),
                    L"==================================================", done);
                lastPercent = percent;
            }
        } else {
            Say(L"\r%I64u bytes", done);
        }
    }
    if (ok && known && done != length) {
        Say(L"\nConnection closed at byte %I64u.\n", done);
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
        ::DeleteFileW(part);
        return Attempt::Retry;
    }
    if (!::MoveFileExW(part, file, MOVEFILE_REPLACE_EXISTING)) {
        Say(L"\nCannot write to `%ls': %ls\n", file, ErrorText(::GetLastError()).Get());
        ::DeleteFileW(part);
        return Attempt::FileError;
    }
    Say(L"\n`%ls' saved [%I64u]\n\n", file, done);
    return Attempt::Done;
}

int Fetch(const wchar_t* given, const Options& o) {
    Text<kUrlChars> url;
    if (!url.Set(wcsstr(given, L"://") ? L"" : L"http://", given)) {
        Say(L"%ls: URL too long.\n", given);
        return kGeneric;
    }
    // The parts of the URL are no longer than the URL.
    Target t;
    wchar_t path[kUrlChars] = L"", extra[kUrlChars] = L"";
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = t.host;
    parts.dwHostNameLength = kHostChars;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = kUrlChars;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = kUrlChars;
    if (!::InternetCrackUrlW(url.Get(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) || !t.host[0] ||
        !t.path.Set(path, extra)) {
        Say(L"%ls: Invalid URL.\n", given);
        return kGeneric;
    }
    t.port = parts.nPort;
    t.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const wchar_t* file = *o.output ? o.output : DefaultFileName(path);
    Text<kPathChars> part;
    if (!part.Set(file, L".part")) {
        Say(L"%ls: File name too long.\n", file);
        return kFileError;
    }

    Handle session(::InternetOpenW(L"Wget/1.8.2 (Kurdb)",
                                   o.proxy ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_DIRECT,
                                   nullptr, nullptr, 0));
    if (!session) {
        Say(L"%ls\n", ErrorText(::GetLastError()).Get());
        return kGeneric;
    }
    SetTimeouts(session.Get(), o);
    for (unsigned attempt = 1;; ++attempt) {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        Say(L"--%02u:%02u:%02u--  %ls\n", now.wHour, now.wMinute, now.wSecond, url.Get());
        if (attempt > 1) Say(L"  (try:%2u) ", attempt);
        Say(L"Connecting to %ls:%u... ", t.host, t.port);
        switch (FetchOnce(session.Get(), t, file, part.Get(), o)) {
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
    // Before anything loads a DLL. WinINet, the one DLL the program delay-loads, comes from the
    // system directory through the hook of shell/win32/dll_search_win32.cpp: the program is
    // written beside the wizard in a downloads folder, where a planted DLL must never be loaded.
    kurdb::win32::RestrictDllSearchToSystem();
    Options o;
    if (!Parse(argc, argv, o)) {
        Usage();
        return kParse;
    }
    quietOutput = o.quiet;
    int status = kOk;
    for (int i = 0; i < o.urlCount; ++i) {
        const int rc = Fetch(o.urls[i], o);
        if (status == kOk) status = rc;
    }
    return status;
}
