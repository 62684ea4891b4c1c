// Starting the tool from the tests on Windows: CreateProcessW with pipes for
// its output. The fault library, umasks and the extra set-up of RunOptions are
// POSIX-only; tests that need them skip on Windows before they get here.
#include <windows.h>

#include <map>
#include <mutex>
#include <thread>

#include "base/windows_text.h"
#include "support/support.h"

namespace testsupport {

namespace {

// One argument quoted the way CommandLineToArgvW reads it back.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring text = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        text.push_back(c);
    }
    text.append(2 * backslashes, L'\\');
    return text + L"\"";
}

// The test's environment with the options' variables set.
std::wstring environmentBlock(const RunOptions& options) {
    std::map<std::wstring, std::wstring> variables;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* at = strings; *at != L'\0'; at += wcslen(at) + 1) {
        const std::wstring entry = at;
        const size_t equals = entry.find(L'=', 1);
        if (equals != std::wstring::npos) variables[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : options.environment) variables[wideFromUtf8(name)] = wideFromUtf8(value);
    std::wstring block;
    for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
    return block + L'\0';
}

struct Started {
    HANDLE process = nullptr;
    unsigned timeoutSeconds = 0;
};
std::mutex startedLock;
std::map<int, Started> started;

// Starts the tool with the given standard output and error; its process id, or -1.
int start(const std::vector<std::string>& args, const std::filesystem::path& cwd, const RunOptions& options,
          HANDLE out, HANDLE err) {
    if (options.faults || options.umask >= 0 || options.extraSetup != nullptr) {
        ADD_FAILURE() << "runTool: faults, umask and extraSetup are POSIX-only";
        return -1;
    }
    std::wstring commandLine = quoted(wideFromUtf8(TABRIX_EXE));
    for (const std::string& arg : args) commandLine += L" " + quoted(wideFromUtf8(arg));
    std::wstring environment = environmentBlock(options);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), cwd.wstring().c_str(), &startup, &process)) {
        ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
        return -1;
    }
    CloseHandle(process.hThread);
    const std::lock_guard<std::mutex> guard(startedLock);
    started[static_cast<int>(process.dwProcessId)] = {process.hProcess, options.timeoutSeconds};
    return static_cast<int>(process.dwProcessId);
}

void drain(HANDLE pipe, std::string& text) {
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(pipe);
}

} // namespace

RunResult runTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                  const RunOptions& options) {
    RunResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&errRead, &errWrite, &inherit, 0)) return result;
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    const int pid = start(args, cwd, options, outWrite, errWrite);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    std::thread errors(drain, errRead, std::ref(result.errors));
    drain(outRead, result.output);
    errors.join();
    if (pid >= 0) result.status = waitTool(pid);
    // Standard output is a text stream: Windows ends its lines with "\r\n".
    // The files the tool writes are binary and compared as they are.
    for (std::string* text : {&result.output, &result.errors}) {
        size_t kept = 0;
        for (size_t i = 0; i < text->size(); ++i) {
            if (!((*text)[i] == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n')) (*text)[kept++] = (*text)[i];
        }
        text->resize(kept);
    }
    return result;
}

int startTool(const std::vector<std::string>& args, const std::filesystem::path& cwd, const RunOptions& options) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE null = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                              0, nullptr);
    const int pid = start(args, cwd, options, null, null);
    CloseHandle(null);
    return pid;
}

// The exit status as a POSIX parent sees it (its low 8 bits), so that one
// expectation serves both systems; -1 when the tool ran out of time.
int waitTool(int pid) {
    Started process;
    {
        const std::lock_guard<std::mutex> guard(startedLock);
        const auto found = started.find(pid);
        if (found == started.end()) return -1;
        process = found->second;
        started.erase(found);
    }
    const DWORD limit = process.timeoutSeconds > 0 ? process.timeoutSeconds * 1000u : INFINITE;
    int status = -1;
    if (WaitForSingleObject(process.process, limit) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(process.process, &code)) status = static_cast<int>(code & 0xFFu);
    } else {
        TerminateProcess(process.process, 1);
        WaitForSingleObject(process.process, INFINITE);
    }
    CloseHandle(process.process);
    return status;
}

int processId() { return static_cast<int>(GetCurrentProcessId()); }

} // namespace testsupport
