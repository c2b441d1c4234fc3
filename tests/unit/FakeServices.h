#pragma once
// Test doubles for the controller's seams: a platform with a chosen program path, profile files
// in memory with fault injection, a connection state and a scripted window.
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/WindowServices.h"
#include "db/ConnectionState.h"
#include "shell/Exception.h"
#include "shell/IniFile.h"
#include "shell/Platform.h"
#include "shell/Profile.h"

namespace kurdb::test {

class FakePlatform : public IPlatform {
public:
    std::string exe = "/opt/kurdb/kurdb";
    std::string system;
    std::string ExecutablePath() const override { return exe; }
    std::string SystemDirectory() const override { return system; }
};

// Profile files kept as texts by path, read and changed through the same IniText rules as
// the Linux back end. `failWrites` makes every write throw, as a full disk would.
class MemoryProfiles : public IProfileFiles {
public:
    std::map<std::string, std::string> files;
    bool failWrites = false;
    int writes = 0;

    std::string ReadString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& fallback) override {
        const auto it = files.find(path);
        if (it == files.end()) return fallback;
        return IniText(it->second).Get(section, key).value_or(fallback);
    }
    void WriteString(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override {
        ++writes;
        if (failWrites) throw EPlatformError("Unable to write to " + path);
        IniText ini(files[path]);
        ini.Set(section, key, value);
        files[path] = ini.Text();
    }
};

class FakeConnection : public db::IConnectionState {
public:
    bool connected = false;
    bool IsConnected() const override { return connected; }
};

// Records every dialog; answers confirmations from a script (missing answers are "no").
class ScriptedWindow : public IWindowServices {
public:
    struct Error { std::string text, caption; };
    std::deque<bool> answers;
    std::vector<std::string> questions;
    std::vector<Error> errors;
    std::vector<bool> busy;
    int closes = 0;

    bool Confirm(const std::string& question) override {
        questions.push_back(question);
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowError(const std::string& text, const std::string& caption) override {
        errors.push_back({text, caption});
    }
    void SetBusy(bool b) override { busy.push_back(b); }
    void CloseWindow() override { ++closes; }
};

}  // namespace kurdb::test
