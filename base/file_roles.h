// One file, one role: a command must not read and write the same file, nor
// write one file for two roles (a header over its own template, a data file over
// an IOC file), which would destroy data.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct FileRole {
    std::string path;
    bool output = false; // written by the command; otherwise only read
};

// The first pair of roles (in list order, the earlier one first) that name one
// file: two outputs, or an output and an input (two inputs may share a file).
// An existing file is known by its device and inode (an output by the name's
// own inode, since a link there is replaced, not written through), a new one by
// its normalised absolute path. Character devices (/dev/null) never clash.
std::optional<std::pair<size_t, size_t>> findSameFile(const std::vector<FileRole>& roles);
