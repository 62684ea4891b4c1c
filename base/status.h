// Status codes of the tool. Every operation outside the candidate cipher API
// returns one of these as a signed 32-bit integer; 0 is success. The candidate
// API (rijndael.h) keeps its own convention (TRUE = 1 and negative codes).
//
// Each cause has its own name and value. Most values are also the exit status
// (and the number a verdict line prints); the causes below 100 that share a
// designed exit value with another cause have values of their own from 130 on,
// and exitStatusOf maps them: that function is the one place where a cause
// becomes an exit value. The README's table of exit statuses lists the values
// users see.
#pragma once
#include <cstdint>

constexpr int32_t STATUS_OK = 0;                  // success
constexpr int32_t STATUS_BUFFER_TOO_SMALL = 3;    // capacity below the padded length
constexpr int32_t STATUS_BAD_PADDING = 10;        // padding at the end of a buffer is malformed
constexpr int32_t STATUS_BAD_LENGTH = 11;         // length not a multiple of 16, or block not 16 bytes
constexpr int32_t STATUS_CIPHER_INIT_FAILED = 13; // reference cipher set-up failed
constexpr int32_t STATUS_ENCRYPT_FAILED = 14;     // reference block encryption failed
constexpr int32_t STATUS_DECRYPT_FAILED = 15;     // reference block decryption failed
constexpr int32_t STATUS_OPEN_FAILED = 16;        // a file cannot be opened
constexpr int32_t STATUS_WRITE_FAILED = 17;       // a coding file could not be written completely
constexpr int32_t STATUS_CBC_CODING_FAILED = 28;  // a CBC coding record could not be generated
constexpr int32_t STATUS_SET_CONFLICT = 29;       // a set-once table entry already held another value
constexpr int32_t STATUS_MISSING_VALUE = 30;      // a configuration value (or the script) is missing or empty
constexpr int32_t STATUS_SHORT_READ = 31;         // a coding file read came up short
constexpr int32_t STATUS_INVALID_CODING = 32;     // a coding file holds a record that is not a bijection
constexpr int32_t STATUS_SAME_FILE = 33;          // one file given for two roles of a command
constexpr int32_t STATUS_OUT_OF_MEMORY = 34;      // the command ran out of memory
constexpr int32_t STATUS_BAD_PATH = 35;           // a path cannot be made absolute
constexpr int32_t STATUS_UNRECOGNIZED_ARGUMENT = 38; // a command-line argument names no command
constexpr int32_t STATUS_SELF_TEST_FAILED = 39;   // the self-test counted failures that its flags make meaningful
constexpr int32_t STATUS_LOCK_TIMEOUT = 42;       // another run held an output folder's lock too long
constexpr int32_t STATUS_LOCK_FAILED = 43;        // an output folder's lock cannot be opened or taken
constexpr int32_t STATUS_UNSAFE_JOURNAL = 44;     // a commit journal is not the tool's own, or cannot be finished
constexpr int32_t STATUS_NO_TABLES = -1;          // the table cipher has no tables
constexpr int32_t STATUS_BAD_KEY_TEXT = -2;       // malformed key text (the candidate API's BAD_KEY_MAT)

// Causes with an exit value of another cause (exitStatusOf).
constexpr int32_t STATUS_BAD_SEED = 130;             // [RANDOM] seed is malformed                   (exits 30)
constexpr int32_t STATUS_BAD_FORMAT = 131;           // [TABLES] format is neither classic nor mixed (exits 30)
constexpr int32_t STATUS_BAD_FLAG = 132;             // a use flag is not a whole decimal integer    (exits 30)
constexpr int32_t STATUS_BAD_LOCK_WAIT = 133;        // [LOCK] waitSeconds is malformed              (exits 30)
constexpr int32_t STATUS_SYSTEM_RANDOM_FAILED = 134; // the operating system's random source failed  (exits 30)
constexpr int32_t STATUS_SAVE_FAILED = 135;          // a header could not be saved                  (exits -1)
constexpr int32_t STATUS_BAD_KEY_SIZE = 136;         // [TABLES] keyBits is not 128, 192 or 256      (exits 30)

// The exit status (and the printed status) of a cause.
constexpr int32_t exitStatusOf(int32_t status) {
    switch (status) {
    case STATUS_BAD_SEED:
    case STATUS_BAD_FORMAT:
    case STATUS_BAD_FLAG:
    case STATUS_BAD_LOCK_WAIT:
    case STATUS_SYSTEM_RANDOM_FAILED:
    case STATUS_BAD_KEY_SIZE:
        return STATUS_MISSING_VALUE;
    case STATUS_SAVE_FAILED:
        return -1;
    default:
        return status;
    }
}

// Exit statuses of tabrix-audit beside 0 (every audited direction gave up its
// key), STATUS_OPEN_FAILED and STATUS_MISSING_VALUE.
constexpr int32_t AUDIT_NOT_RECOVERED = 1;  // a direction's key was not recovered
constexpr int32_t AUDIT_CHECK_FAILED = 2;   // a recovered key or coding differs from --check/--ioc
constexpr int32_t AUDIT_BAD_HEADERS = 40;   // a header is unreadable, truncated or malformed
constexpr int32_t AUDIT_USAGE = 41;         // the command line is malformed
