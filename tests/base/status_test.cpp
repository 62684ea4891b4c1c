// Statuses: every cause has a value of its own, and exitStatusOf gives the
// exit value users see (the README's table): several causes share 30 and -1.
#include "base/status.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

TEST(Status, EveryCauseHasItsOwnValueAndItsExitValue) {
    const std::vector<std::pair<int32_t, int32_t>> causes = {
        {STATUS_OK, 0},
        {STATUS_BUFFER_TOO_SMALL, 3},
        {STATUS_BAD_PADDING, 10},
        {STATUS_BAD_LENGTH, 11},
        {STATUS_CIPHER_INIT_FAILED, 13},
        {STATUS_ENCRYPT_FAILED, 14},
        {STATUS_DECRYPT_FAILED, 15},
        {STATUS_OPEN_FAILED, 16},
        {STATUS_WRITE_FAILED, 17},
        {STATUS_CBC_CODING_FAILED, 28},
        {STATUS_SET_CONFLICT, 29},
        {STATUS_MISSING_VALUE, 30},
        {STATUS_SHORT_READ, 31},
        {STATUS_INVALID_CODING, 32},
        {STATUS_SAME_FILE, 33},
        {STATUS_OUT_OF_MEMORY, 34},
        {STATUS_BAD_PATH, 35},
        {STATUS_UNRECOGNIZED_ARGUMENT, 38},
        {STATUS_SELF_TEST_FAILED, 39},
        {STATUS_LOCK_TIMEOUT, 42},
        {STATUS_LOCK_FAILED, 43},
        {STATUS_UNSAFE_JOURNAL, 44},
        {STATUS_NO_TABLES, -1},
        {STATUS_BAD_KEY_TEXT, -2},
        {STATUS_BAD_SEED, 30},
        {STATUS_BAD_FORMAT, 30},
        {STATUS_BAD_FLAG, 30},
        {STATUS_BAD_LOCK_WAIT, 30},
        {STATUS_SYSTEM_RANDOM_FAILED, 30},
        {STATUS_SAVE_FAILED, -1},
        {STATUS_BAD_KEY_SIZE, 30},
    };
    std::set<int32_t> values;
    for (const auto& [cause, exit] : causes) {
        EXPECT_TRUE(values.insert(cause).second) << "two causes share " << cause;
        EXPECT_EQ(exitStatusOf(cause), exit) << cause;
    }
}
