// A base for objects that hold something of their own (a file, a folder, a
// signal mask, a run's state) and so must not be copied; moving stays possible
// where the derived class allows it.
#pragma once

class NoCopy {
public:
    NoCopy(const NoCopy&) = delete;
    NoCopy& operator=(const NoCopy&) = delete;

protected:
    NoCopy() = default;
    NoCopy(NoCopy&&) = default;
    NoCopy& operator=(NoCopy&&) = default;
    ~NoCopy() = default;
};
