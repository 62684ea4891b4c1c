// The twin of a random source, for pinning how many draws a step makes: the
// state a source reaches `draws` draws after `state`, whatever their ranges.
#pragma once
#include <cstdint>

#include "coding/random_source.h"

namespace testsupport {

inline RandomState advancedState(const RandomState& state, uint64_t draws) {
    RandomSource twin(state);
    for (uint64_t n = 0; n < draws; ++n) {
        (void)twin.next(1, nullptr);
    }
    return twin.state();
}

} // namespace testsupport
