// The commands' own lines on standard output, each written here and nowhere
// else: the designed messages word for word (odd spellings included, since
// scripts that run the tool match them), and the "ERR: " lines of the checks
// the tool added. The reasons on standard error are in failure_reasons.h; the
// saving lines of the headers in emit/save_messages.h.
#pragma once
#include <cstdint>
#include <iostream>
#include <string>

namespace messages {

// Files and values.
void failToOpenFile(std::ostream& out, const std::string& path);    // "FAIL TO OPEN FILE <path> \n"
void failToWriteFile(std::ostream& out, const std::string& path);   // "FAIL TO WRITE FILE <path> \n"
void invalidCodingFile(std::ostream& out, const std::string& path); // "INVALID CODING FILE <path> \n"
void sameFile(std::ostream& out, const std::string& first, const std::string& second);
//                                         "ERR: '<first>' AND '<second>' ARE THE SAME FILE\n"
void longKey(std::ostream& out, const std::string& key);             // "ERR: KEY TEXT OF <key> HAS MORE THAN 32 HEX DIGITS\n"
void keyNotOfSize(std::ostream& out, const std::string& key, int digits, int bits);
//                                         "ERR: KEY TEXT OF <key> IS NOT <digits> HEX DIGITS FOR AES-<bits>\n"
void badKeySize(std::ostream& out, const std::string& value);       // "ERR: BAD KEY SIZE '<value>'\n"
void badFlag(std::ostream& out, const std::string& value, const std::string& key); // "ERR: BAD FLAG VALUE '<v>' FOR <key>\n"
void badLockWait(std::ostream& out, const std::string& value);      // "ERR: BAD LOCK WAIT VALUE '<value>'\n"
void badTableFormat(std::ostream& out, const std::string& value);   // "ERR: BAD TABLE FORMAT '<value>'\n"
void badSeed(std::ostream& out, const std::string& value);          // "ERR: BAD SEED VALUE '<value>'\n"
void systemRandomFailed(std::ostream& out);                         // "ERR: SYSTEM RANDOM SOURCE FAILED\n"
void journalRefused(std::ostream& out, const std::string& journal, const std::string& reason);
//                                         "ERR: COMMIT JOURNAL '<journal>' NOT REPLAYED: <reason>\n"
void lockNotTaken(std::ostream& out, const std::string& folder, const std::string& reason);
//                                         "ERR: LOCK ON '<folder>' NOT TAKEN: <reason>\n"

// The command line.
void unrecognisedCommand(std::ostream& out, const std::string& argument);
//                                         "ERROR: Unrecognized command: '<argument>' ignored\n\n"
void outOfMemory(std::ostream& out);                                // "ERR: OUT OF MEMORY\n"

// "/g:": a direction's lines ("ENCRYPT" or "DECRYPT") and the framed verdict,
// which prints the exit status of a failure.
void tablesGenerated(std::ostream& out, const char* direction, bool generated); // "MARLO AES <d> TABLES [NOT ]GENERATED\n"
void tablesSaved(std::ostream& out, const char* direction, bool saved);         // "MARLO AES <d> TABLES [NOT ]SAVED\n"
void tablesVerdict(std::ostream& out, int32_t status);

// "/ecbioc:" and "/cbcioc:": the line of a direction, by outcome.
void ecbCodingDone(std::ostream& out, bool encrypt, bool generated);
void cbcCodingDone(std::ostream& out, bool encrypt, bool generated, int32_t status);

// "/test:": one comparison, "OK: <test> success\n" or "ERR: <test> fail\n".
void comparison(std::ostream& out, const char* test, bool passed);

} // namespace messages
