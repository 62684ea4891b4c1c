#include "base/text_path.h"

#include "base/status.h"

std::filesystem::path pathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

int32_t makeAbsolutePath(const std::string& path, std::string& out) {
    std::error_code ec;
    const std::filesystem::path absolute =
        path.empty() ? std::filesystem::current_path(ec) : std::filesystem::absolute(pathFromUtf8(path), ec);
    if (ec) {
        out = path;
        return STATUS_BAD_PATH;
    }
    out = utf8FromPath(absolute.lexically_normal());
    return STATUS_OK;
}

std::string absoluteOrAsGiven(const std::string& path) {
    std::string absolute;
    (void)makeAbsolutePath(path, absolute); // on failure: the path as given
    return absolute;
}
