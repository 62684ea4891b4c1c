// Telling whether two paths name one file.
#include "base/file_roles.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace {

struct Identity {
    bool device = false; // a character device: never clashes
    bool exists = false;
    dev_t deviceId = 0;
    ino_t inode = 0;
    std::string path; // for a file that does not exist yet

    bool operator==(const Identity& other) const {
        if (device || other.device || exists != other.exists) return false;
        return exists ? deviceId == other.deviceId && inode == other.inode : path == other.path;
    }
};

// The absolute path with its existing directories resolved.
std::string normalised(const std::string& path) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    if (ec) return path;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(full, ec);
    return (ec ? full.lexically_normal() : resolved).string();
}

Identity identify(const FileRole& role) {
    Identity identity;
    struct stat info;
    if (::stat(role.path.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) {
        identity.device = true;
        return identity;
    }
    const int found = role.output ? ::lstat(role.path.c_str(), &info) : ::stat(role.path.c_str(), &info);
    if (found == 0) {
        identity.exists = true;
        identity.deviceId = info.st_dev;
        identity.inode = info.st_ino;
    } else {
        identity.path = normalised(role.path);
    }
    return identity;
}

} // namespace

std::optional<std::pair<size_t, size_t>> findSameFile(const std::vector<FileRole>& roles) {
    std::vector<Identity> identities;
    identities.reserve(roles.size());
    for (const FileRole& role : roles) identities.push_back(identify(role));
    for (size_t j = 0; j < roles.size(); ++j) {
        for (size_t i = 0; i < j; ++i) {
            if (!roles[i].output && !roles[j].output) continue;
            if (identities[i] == identities[j]) return std::pair(i, j);
        }
    }
    return std::nullopt;
}
