// The parts of native::File that every platform shares; the handle calls are
// in native_file_posix.cpp and native_file_windows.cpp.
#include "base/native_file.h"

#include <utility>

namespace native {

File::~File() { close(); }

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kClosed);
    }
    return *this;
}

} // namespace native
