// A scratch file for fuzz targets whose parser reads from a path: one file per
// process (the pid is in its name, so parallel jobs do not clash) in $TMPDIR or
// /tmp, rewritten for every input and removed at exit.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class ScratchFile {
public:
    explicit ScratchFile(const std::string& name) {
        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tabrix-fuzz-" +
                std::to_string(getpid()) + "-" + name;
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return path_; }

    // Replaces the file's content with data. Aborts when it cannot: a fuzz run
    // that silently stopped writing its input would test nothing.
    void write(const uint8_t* data, size_t size) const {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr) std::abort();
        const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
        if (std::fclose(file) != 0 || !written) std::abort();
    }

private:
    std::string path_;
};
