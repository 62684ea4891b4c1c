// A stream buffer that records what reaches it and, at every sync (a flush),
// how many characters had arrived by then: for tests of what is flushed when.
#pragma once
#include <algorithm>
#include <cstddef>
#include <streambuf>
#include <string>
#include <vector>

class SyncRecorder : public std::streambuf {
public:
    std::string received;
    std::vector<size_t> syncedAt;

    // True when a flush came right after the first `length` characters.
    bool syncedAfter(size_t length) const {
        return std::find(syncedAt.begin(), syncedAt.end(), length) != syncedAt.end();
    }

protected:
    int overflow(int c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            received.push_back(traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        syncedAt.push_back(received.size());
        return 0;
    }
};
