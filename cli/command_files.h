// Checks a command makes on its files and values before it writes anything.
#pragma once
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "base/file_roles.h"
#include "base/secret_file.h"
#include "cli/command_script.h"

// STATUS_OK, or STATUS_SAME_FILE after printing "ERR: '<path1>' AND '<path2>' ARE THE SAME FILE" when
// two roles name one file (see findSameFile).
[[nodiscard]] int32_t checkFileRoles(const std::vector<FileRole>& roles, std::ostream& out);

// A flag word as "/test:" reads it: leading blanks, an optional sign and digits
// (atoi's reading, without its undefined behaviour on overflow), truncated to 32
// bits.
int32_t toFlagWord(const char* text);

// A key of `rounds` rounds. AES-128 (R = 10): 32 hex digits; what follows them
// is ignored, unless it is one more hex digit: a longer key (AES-256 text) must
// not be cut quietly to AES-128; STATUS_OK, or prints "ERR: KEY TEXT OF <key>
// HAS MORE THAN 32 HEX DIGITS" and returns STATUS_BAD_KEY_TEXT. AES-192 and
// AES-256 (R = 12, 14): exactly 48 or 64 hex digits and nothing else; STATUS_OK,
// or prints "ERR: KEY TEXT OF <key> IS NOT <n> HEX DIGITS FOR AES-<bits>" and
// returns STATUS_BAD_KEY_TEXT.
[[nodiscard]] int32_t checkKeyLength(const CommandScript& script, std::string ScriptValues::*field, int rounds,
                                     std::ostream& out);

// A use flag of the script must be a whole decimal integer: optional blanks, an
// optional sign, digits. Sets on (value not 0) and returns STATUS_OK, or prints
// "ERR: BAD FLAG VALUE '<value>' FOR <key>" and returns STATUS_BAD_FLAG.
[[nodiscard]] int32_t readUseFlag(const CommandScript& script, std::string ScriptValues::*field, bool& on,
                                  std::ostream& out);

// The script's [LOCK] waitSeconds: absent or empty means kDefaultLockWaitSeconds;
// otherwise a whole number of seconds from 0 to 86400 (0: do not wait). Prints
// "ERR: BAD LOCK WAIT VALUE '<value>'" and returns STATUS_BAD_LOCK_WAIT for
// anything else.
[[nodiscard]] int32_t readLockWait(const CommandScript& script, unsigned& seconds, std::ostream& out);

// STATUS_OK when every output folder was locked and recovered; otherwise prints
// the reason and returns the locks' status:
//   "ERR: LOCK ON '<folder>' NOT TAKEN: <reason>"          (STATUS_LOCK_TIMEOUT, STATUS_LOCK_FAILED)
//   "ERR: COMMIT JOURNAL '<journal>' NOT REPLAYED: <reason>" (STATUS_UNSAFE_JOURNAL)
[[nodiscard]] int32_t reportLocks(const OutputLocks& locks, std::ostream& out);
