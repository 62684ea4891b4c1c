// Paths are UTF-8 text inside the tool. These turn such text into
// std::filesystem paths and back the same way on every platform (on Windows a
// narrow std::string would be read in the ANSI code page instead).
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

std::filesystem::path pathFromUtf8(const std::string& text);
std::string utf8FromPath(const std::filesystem::path& path);

// The absolute, normalised form of path (the current directory for an empty one).
// STATUS_OK, or STATUS_BAD_PATH when it cannot be made absolute (then out is the path as given).
[[nodiscard]] int32_t makeAbsolutePath(const std::string& path, std::string& out);

// makeAbsolutePath, or the path as given when it cannot be made absolute.
std::string absoluteOrAsGiven(const std::string& path);
