// Telling whether two paths name one file.
#include "base/file_roles.h"

#include <filesystem>
#include <system_error>

#include "base/native_file.h"
#include "base/status.h"
#include "base/text_path.h"

namespace {

struct Identity {
    bool device = false; // a character device: never clashes
    bool exists = false;
    native::FileIdentity file;
    std::string path; // for a file that does not exist yet

    bool operator==(const Identity& other) const {
        if (device || other.device || exists != other.exists) return false;
        return exists ? file == other.file : path == other.path;
    }
};

// The absolute path with its existing directories resolved.
std::string normalised(const std::string& path) {
    std::string full;
    if (makeAbsolutePath(path, full) != STATUS_OK) return path;
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(pathFromUtf8(full), ec);
    return ec ? full : utf8FromPath(resolved);
}

Identity identify(const FileRole& role) {
    Identity identity;
    if (native::kindOf(role.path) == native::FileKind::device) {
        identity.device = true;
        return identity;
    }
    identity.exists = native::identityOf(role.path, !role.output, identity.file);
    if (!identity.exists) identity.path = normalised(role.path);
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
