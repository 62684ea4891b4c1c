// The script of one command: made absolute, announced with the reading line
// "Reading '<absolute path>' ...\n", then read once, every key of kScriptKeys.
// Missing values are reported on the error stream (see cli/failure_reasons.h).
#pragma once
#include <cstdint>
#include <initializer_list>
#include <iostream>
#include <string>
#include <vector>

#include "base/profile_reader.h"
#include "base/script_keys.h"

class CommandScript {
public:
    CommandScript(const char* scriptPath, std::ostream& out, std::ostream& err);

    // Every value of the script (empty where a key is missing).
    const ScriptValues& values() const { return values_; }
    // Marks the command's required values: one that is empty sets the status to
    // STATUS_MISSING_VALUE and writes its reason line (once for a script that
    // cannot be read, else one per value). All are looked at, even after one was
    // missing.
    void require(std::initializer_list<std::string ScriptValues::*> fields);
    void require(const std::vector<std::string ScriptValues::*>& fields);

    const ProfileReader& profile() const { return profile_; }
    // The script's absolute path, as the reading line shows it.
    const std::string& path() const { return path_; }
    int32_t status() const { return status_; }

private:
    static std::string announce(const char* scriptPath, std::ostream& out);
    std::string path_;
    IniProfile profile_;
    ScriptValues values_;
    int32_t status_ = 0;
    std::ostream* err_;
    bool unreadableReported_ = false;
};
