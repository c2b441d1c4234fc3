#pragma once
// Doubles for the controller's seams, for the tests and the benchmarks: a platform with a chosen
// program path, profile files and a registry in memory with fault injection, recorded processes
// and links, and a scripted window. Nothing of the machine is read or changed through them.
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/FormHost.h"
#include "base/Exception.h"
#include "base/Text.h"
#include "shell/IniFile.h"
#include "shell/Platform.h"
#include "shell/Processes.h"
#include "shell/Profile.h"
#include "shell/Registry.h"
#include "shell/Shortcuts.h"

namespace kurdb::fakes {

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

    std::string ReadString(const std::string& path, const std::string& section, const std::string& key,
                           const std::string& fallback) override {
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

// Keys and values in memory, with the registry's rules: key names without regard to case,
// string values and others, keys that open only for reading, values whose writes are refused.
class MemoryRegistry : public IRegistry {
public:
    struct Value {
        bool isString = true;
        std::string data;
    };
    struct Key {
        bool writable = true;
        std::map<std::string, Value> values;  // by upper-cased name
    };

    // Every read and write, as "R name" / "W name=value", in order.
    mutable std::vector<std::string> calls;
    std::set<std::string> refusedWrites;  // value names whose write fails

    Key& AddKey(Hive hive, const std::string& key, bool writable = true) {
        Key& k = keys_[Id(hive, key)];
        k.writable = writable;
        return k;
    }
    static void Set(Key& key, const std::string& name, std::string data, bool isString = true) {
        key.values[text::AsciiUpper(name)] = {isString, std::move(data)};
    }
    const Key* Find(Hive hive, const std::string& key) const {
        const auto it = keys_.find(Id(hive, key));
        return it == keys_.end() ? nullptr : &it->second;
    }

    bool KeyOpens(Hive hive, const std::string& key, Access access) const override {
        const Key* k = Find(hive, key);
        return k && (access == Access::Read || k->writable);
    }
    std::optional<std::string> ReadString(Hive hive, const std::string& key, const std::string& name,
                                          Access access) const override {
        calls.push_back("R " + name);
        if (!KeyOpens(hive, key, access)) return std::nullopt;
        const auto& values = Find(hive, key)->values;
        const auto it = values.find(text::AsciiUpper(name));
        if (it == values.end()) return std::nullopt;
        if (!it->second.isString) throw EPlatformError("Invalid data type for '" + name + "'");
        return it->second.data.substr(0, it->second.data.find('\0'));
    }
    bool WriteString(Hive hive, const std::string& key, const std::string& name,
                     const std::string& value) override {
        if (!KeyOpens(hive, key, Access::All)) return false;
        calls.push_back("W " + name + "=" + value);
        if (refusedWrites.count(name)) throw EPlatformError("Failed to set data for '" + name + "'");
        Set(keys_[Id(hive, key)], name, value);
        return true;
    }
    bool CreateKey(Hive hive, const std::string& key) override {
        keys_.try_emplace(Id(hive, key));
        return keys_.at(Id(hive, key)).writable;
    }

private:
    static std::string Id(Hive hive, const std::string& key) {
        return (hive == Hive::LocalMachine ? "HKLM\\" : "HKCU\\") + text::AsciiUpper(key);
    }
    std::map<std::string, Key> keys_;
};

// Records what would be started; RunAndWait answers `runResult` after calling `onRun`, and
// ShellOpen calls `onOpen` after recording.
class RecordingProcesses : public IProcesses {
public:
    std::vector<std::string> runs;
    std::vector<std::pair<std::string, std::string>> opened;  // file, parameters
    std::vector<std::string> uncached;
    int runResult = 0;
    std::function<void(const std::string&)> onRun;
    std::function<void(const std::string&)> onOpen;

    int RunAndWait(const std::string& commandLine, unsigned short show) override {
        runs.push_back(commandLine + " |show=" + std::to_string(show));
        if (onRun) onRun(commandLine);
        return runResult;
    }
    void ShellOpen(const std::string& file, const std::string& parameters) override {
        opened.emplace_back(file, parameters);
        if (onOpen) onOpen(file);
    }
    void DeleteUrlCacheEntry(const std::string& url) override { uncached.push_back(url); }
};

// Keeps the links it is asked to save, by path.
class RecordingShellLinks : public IShellLinks {
public:
    std::map<std::string, ShellLinkData> saved;
    std::string Extension() const override { return ".lnk"; }
    void Save(const ShellLinkData& link, const std::string& linkPath) override { saved[linkPath] = link; }
};

// Records every dialog; answers confirmations from a script (missing answers are "no").
class ScriptedWindow : public IFormHost {
public:
    struct Error {
        std::string text, caption;
    };
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

}  // namespace kurdb::fakes
