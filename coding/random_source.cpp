// The tool's random source: a 16-byte state that is replaced by its own MD5
// digest (RFC 1321, from the platform layer) on every draw. The value of a draw is the
// little-endian first word of the new state reduced modulo the range, with no
// rejection of the uneven top range, so values are very slightly biased for
// ranges that do not divide 2^32; kept on purpose, since a given seed must keep
// producing the same codings and tables. The clock seed gives one second of
// resolution: two sources built within the same second draw the same sequence.
// This is a generator for diversifying tables, NOT a cryptographic RNG.
#include "coding/random_source.h"

#include <cassert>
#include <cstdlib>
#include <ctime>

#include "base/md5.h"
#include "base/status.h"

RandomSource::RandomSource() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (auto& byte : state_) {
        byte = static_cast<uint8_t>(std::rand() % 256);
    }
}

RandomSource::RandomSource(const RandomState& state) : state_(state) {}

int32_t RandomSource::next(uint32_t range, uint32_t* out) {
    assert(range >= 1);
    const RandomState previous = state_;
    if (!md5Digest(previous.data(), previous.size(), state_.data())) {
        if (out != nullptr) *out = 0;
        return STATUS_SYSTEM_RANDOM_FAILED;
    }
    if (out != nullptr) {
        const uint32_t word = static_cast<uint32_t>(state_[0]) |
                              (static_cast<uint32_t>(state_[1]) << 8) |
                              (static_cast<uint32_t>(state_[2]) << 16) |
                              (static_cast<uint32_t>(state_[3]) << 24);
        *out = word % range;
    }
    return 0;
}

int32_t RandomSource::nextByte(uint32_t range, uint8_t* out) {
    uint32_t value = 0;
    const int32_t status = next(range, &value);
    if (status == 0 && out != nullptr) {
        *out = static_cast<uint8_t>(value & 0xFFu);
    }
    return status;
}
