// Ordered pool for drawing without replacement: a fixed array kept in insertion
// order; a removal shifts the elements behind the drawn one up by one place.
#include "coding/value_pool.h"

#include <cassert>
#include <cstring>

void ValuePool::append(uint32_t value) {
    assert(size_ < kCapacity);
    values_[size_] = value;
    ++size_;
}

int32_t ValuePool::draw(RandomSource& random, uint32_t* out, bool remove) {
    assert(size_ > 0);
    uint32_t position = 0;
    const int32_t status = random.next(size_, &position);
    if (status != 0) {
        return status;
    }
    assert(position < size_);
    *out = values_[position];
    if (remove) {
        const uint32_t behind = size_ - position - 1;
        std::memmove(&values_[position], &values_[position + 1], behind * sizeof(uint32_t));
        --size_;
    }
    return 0;
}
