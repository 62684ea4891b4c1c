// Windows files: wide-character calls, MoveFileExW with write-through for the
// atomic replace, LockFileEx on a lock file in the user's temporary folder, and a DACL that lets only the
// current user in for every file the tool creates.
#include "base/native_file.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <climits>
#include <string>
#include <utility>

#include "base/windows_text.h"

namespace native {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE handleOf(const File& file) { return reinterpret_cast<HANDLE>(file.handle()); }
File adoptHandle(HANDLE handle) { return File::adopt(reinterpret_cast<intptr_t>(handle)); }

// Opens path for its attributes only (no read or write access), directories
// included, a link itself when followLinks is false.
File openForQuery(const std::string& path, bool followLinks) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return adoptHandle(CreateFileW(wideFromUtf8(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
}

// "D:P(A;;FA;;;<user>)": a protected DACL with one entry, full access for the
// current user; nothing inherited from the directory. Built once.
class PrivateAttributes {
public:
    PrivateAttributes() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::string buffer(size, '\0');
        LPWSTR sid = nullptr;
        if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
            const std::wstring descriptor = std::wstring(L"D:P(A;;FA;;;") + sid + L")";
            LocalFree(sid);
            ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor.c_str(), SDDL_REVISION_1,
                                                                 &descriptor_, nullptr);
        }
        CloseHandle(token);
    }
    ~PrivateAttributes() {
        if (descriptor_ != nullptr) LocalFree(descriptor_);
    }
    PrivateAttributes(const PrivateAttributes&) = delete;
    PrivateAttributes& operator=(const PrivateAttributes&) = delete;

    // nullptr when the user's entry could not be built: then no file is created.
    SECURITY_ATTRIBUTES* get() {
        if (descriptor_ == nullptr) return nullptr;
        attributes_ = {sizeof attributes_, descriptor_, FALSE};
        return &attributes_;
    }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

SECURITY_ATTRIBUTES* privateAttributes() {
    static PrivateAttributes attributes;
    return attributes.get();
}

// Whether sid is the user this process runs as, or the owner the process's
// token gives new objects (the Administrators group for an elevated process).
bool isCurrentUser(PSID sid) {
    if (sid == nullptr) return false;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    bool same = false;
    for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
        DWORD size = 0;
        GetTokenInformation(token, kind, nullptr, 0, &size);
        std::string buffer(size, '\0');
        if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size)) continue;
        const PSID mine = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                            : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
        same = same || EqualSid(mine, sid) != 0;
    }
    CloseHandle(token);
    return same;
}

} // namespace

FileKind kindOf(const std::string& path, bool followLinks) {
    const std::wstring wide = wideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (!followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return FileKind::other;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::directory;
    }
    // Devices (NUL, CON) answer only to an open; so do pipes.
    File file = openForQuery(path, followLinks);
    if (!file.isOpen()) return attributes == INVALID_FILE_ATTRIBUTES ? FileKind::missing : FileKind::regular;
    switch (GetFileType(handleOf(file))) {
    case FILE_TYPE_DISK:
        return FileKind::regular;
    case FILE_TYPE_CHAR:
        return FileKind::device;
    default:
        return FileKind::other;
    }
}

bool identityOf(const std::string& path, bool followLinks, FileIdentity& out) {
    File file = openForQuery(path, followLinks);
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.isOpen() || !GetFileInformationByHandle(handleOf(file), &info)) return false;
    out.volume = info.dwVolumeSerialNumber;
    out.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

File File::adopt(intptr_t handle) {
    File file;
    file.handle_ = handle == 0 ? kClosed : handle; // INVALID_HANDLE_VALUE is kClosed
    return file;
}

bool File::write(const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handleOf(*this), bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

int64_t File::read(void* data, size_t size) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(handleOf(*this), data, chunk, &got, nullptr)) {
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    return got;
}

bool File::sync() { return FlushFileBuffers(handleOf(*this)) != 0; }

bool File::close() {
    if (!isOpen()) return true;
    return CloseHandle(reinterpret_cast<HANDLE>(std::exchange(handle_, kClosed))) != 0;
}

File createPrivate(const std::string& path, bool& exists) {
    exists = false;
    SECURITY_ATTRIBUTES* attributes = privateAttributes();
    if (attributes == nullptr) return File();
    // No sharing: nobody else opens the file while it is written. CREATE_NEW
    // refuses an existing name, a link included.
    const HANDLE handle = CreateFileW(wideFromUtf8(path).c_str(), GENERIC_WRITE, 0, attributes, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    }
    return adoptHandle(handle);
}

File createUnnamed(const std::string&, bool& unsupported) {
    unsupported = true; // every temporary has a name on Windows
    return File();
}

bool nameUnnamed(const File&, const std::string&, bool& exists) {
    exists = false;
    return false;
}

File openDevice(const std::string& path) {
    return adoptHandle(CreateFileW(wideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

File openRegularForReading(const std::string& path) {
    File file = adoptHandle(CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (file.isOpen() && (GetFileType(handleOf(file)) != FILE_TYPE_DISK ||
                          !GetFileInformationByHandle(handleOf(file), &info) ||
                          (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
        file.close();
    }
    return file;
}

bool replaceByRename(const std::string& from, const std::string& to) {
    const std::wstring source = wideFromUtf8(from);
    const std::wstring target = wideFromUtf8(to);
    // Windows refuses to replace a read-only file; said here too, so that
    // every file system (and Wine) keeps such a target.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
    // A reader (another run, a virus scanner, an editor) that has the target
    // open blocks its replacement for a moment; a reader that keeps it open,
    // or a read-only target, fails the rename after about a second.
    for (DWORD attempt = 0;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 10) return false;
        Sleep(20 * (attempt + 1));
    }
}

bool linkFile(const std::string& existing, const std::string& newName) {
    // A read-only file cannot be replaced anyway, and its second name could not
    // be removed afterwards.
    const std::wstring wide = wideFromUtf8(existing);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
    // Nor can a file that another handle holds without FILE_SHARE_DELETE: its
    // replacement fails, and a backup name of it could not be removed.
    const HANDLE probe = CreateFileW(wide.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    CloseHandle(probe);
    return CreateHardLinkW(wideFromUtf8(newName).c_str(), wideFromUtf8(existing).c_str(), nullptr) != 0;
}

bool removeFile(const std::string& path) { return DeleteFileW(wideFromUtf8(path).c_str()) != 0; }

// MOVEFILE_WRITE_THROUGH returns only once the rename is on the disk.
bool syncDirectory(const std::string&) { return true; }

std::vector<std::string> directoryEntries(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(wideFromUtf8(directory + "/*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = utf8FromWide(entry.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

FileFacts factsOf(const std::string& path) {
    FileFacts facts;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wideFromUtf8(path).c_str(), GetFileExInfoStandard, &data)) return facts;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        facts.kind = FileKind::other;
    } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        facts.kind = FileKind::directory;
    } else {
        facts.kind = kindOf(path, false);
    }
    facts.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(wideFromUtf8(path).c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS) {
        facts.ownedByUser = isCurrentUser(owner);
    }
    if (descriptor != nullptr) LocalFree(descriptor);
    // Every file the tool creates has the user's one DACL entry; its owner is
    // what another user cannot fake.
    facts.ownerOnly = facts.ownedByUser;
    return facts;
}

File openLock(const std::string&, const FileIdentity& identity) {
    SECURITY_ATTRIBUTES* attributes = privateAttributes();
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (attributes == nullptr || length == 0 || length > MAX_PATH) return File();
    // One lock file per directory, named by its identity, in the user's
    // temporary folder: the output folders get no file of their own. It stays,
    // empty: removing it would let two runs lock two different files.
    const std::wstring name = std::wstring(temporary) + L"tabrix-lock-" + std::to_wstring(identity.volume) + L"-" +
                              std::to_wstring(identity.index);
    return adoptHandle(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, attributes, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
}

LockTry tryLock(const File& lock) {
    OVERLAPPED at{};
    if (LockFileEx(handleOf(lock), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        return LockTry::locked;
    }
    return GetLastError() == ERROR_LOCK_VIOLATION ? LockTry::busy : LockTry::failed;
}

std::string lastErrorText() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string message = length > 0 ? utf8FromWide(text) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

uint64_t processNumber() { return GetCurrentProcessId(); }

// Ctrl+C and Ctrl+Break are ignored while a commit runs.
HeldSignals::HeldSignals() : saved_{} { SetConsoleCtrlHandler(nullptr, TRUE); }

HeldSignals::~HeldSignals() { SetConsoleCtrlHandler(nullptr, FALSE); }

} // namespace native
