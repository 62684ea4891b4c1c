// Paths are UTF-8 text inside the tool. These turn such text into
// std::filesystem paths and back the same way on every platform (on Windows a
// narrow std::string would be read in the ANSI code page instead).
#pragma once
#include <filesystem>
#include <string>

std::filesystem::path pathFromUtf8(const std::string& text);
std::string utf8FromPath(const std::filesystem::path& path);
