#include "cli/messages.h"

#include "base/status.h"

namespace messages {

void failToOpenFile(std::ostream& out, const std::string& path) { out << "FAIL TO OPEN FILE " << path << " \n"; }
void failToWriteFile(std::ostream& out, const std::string& path) { out << "FAIL TO WRITE FILE " << path << " \n"; }
void invalidCodingFile(std::ostream& out, const std::string& path) { out << "INVALID CODING FILE " << path << " \n"; }

void sameFile(std::ostream& out, const std::string& first, const std::string& second) {
    out << "ERR: '" << first << "' AND '" << second << "' ARE THE SAME FILE\n";
}

void longKey(std::ostream& out, const std::string& key) {
    out << "ERR: KEY TEXT OF " << key << " HAS MORE THAN 32 HEX DIGITS\n";
}

void keyNotOfSize(std::ostream& out, const std::string& key, int digits, int bits) {
    out << "ERR: KEY TEXT OF " << key << " IS NOT " << digits << " HEX DIGITS FOR AES-" << bits << "\n";
}

void badKeySize(std::ostream& out, const std::string& value) { out << "ERR: BAD KEY SIZE '" << value << "'\n"; }

void badFlag(std::ostream& out, const std::string& value, const std::string& key) {
    out << "ERR: BAD FLAG VALUE '" << value << "' FOR " << key << "\n";
}

void badLockWait(std::ostream& out, const std::string& value) { out << "ERR: BAD LOCK WAIT VALUE '" << value << "'\n"; }
void badTableFormat(std::ostream& out, const std::string& value) { out << "ERR: BAD TABLE FORMAT '" << value << "'\n"; }
void badSeed(std::ostream& out, const std::string& value) { out << "ERR: BAD SEED VALUE '" << value << "'\n"; }
void systemRandomFailed(std::ostream& out) { out << "ERR: SYSTEM RANDOM SOURCE FAILED\n"; }

void journalRefused(std::ostream& out, const std::string& journal, const std::string& reason) {
    out << "ERR: COMMIT JOURNAL '" << journal << "' NOT REPLAYED: " << reason << "\n";
}

void lockNotTaken(std::ostream& out, const std::string& folder, const std::string& reason) {
    out << "ERR: LOCK ON '" << folder << "' NOT TAKEN: " << reason << "\n";
}

void unrecognisedCommand(std::ostream& out, const std::string& argument) {
    out << "ERROR: Unrecognized command: '" << argument << "' ignored\n\n";
}

void outOfMemory(std::ostream& out) { out << "ERR: OUT OF MEMORY\n"; }

void tablesGenerated(std::ostream& out, const char* direction, bool generated) {
    out << "MARLO AES " << direction << (generated ? " TABLES GENERATED\n" : " TABLES NOT GENERATED\n");
}

void tablesSaved(std::ostream& out, const char* direction, bool saved) {
    out << "MARLO AES " << direction << (saved ? " TABLES SAVED\n" : " TABLES NOT SAVED\n");
}

// "SUCCESSFULY" is kept on purpose: scripts that run the tool look for this frame.
void tablesVerdict(std::ostream& out, int32_t status) {
    const char* border = " ----------------------------------------\n";
    out << border;
    if (status == STATUS_OK) {
        out << "| MARLO AES TABLES GENERATED SUCCESSFULY |\n";
    } else {
        out << "| MARLO AES TABLES GENERATION FAIL WITH " << exitStatusOf(status) << " |\n";
    }
    out << border;
}

// The ECB lines read "EBC-COMPLIANT" except the encryption success line, which
// reads "ECB-COMPLIANT": kept as they are on purpose, since scripts that run the
// tool match these lines word for word.
void ecbCodingDone(std::ostream& out, bool encrypt, bool generated) {
    if (generated) {
        out << (encrypt ? "OK: MARLOAES ECB-COMPLIANT CODING GENERATED (ENCRYPT DIRECTION)\n"
                        : "OK: MARLOAES EBC-COMPLIANT CODING GENERATED (DECRYPT DIRECTION)\n");
    } else {
        out << (encrypt ? "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (ENCRYPT DIRECTION)\n"
                        : "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (DECRYPT DIRECTION)\n");
    }
}

void cbcCodingDone(std::ostream& out, bool encrypt, bool generated, int32_t status) {
    const char* direction = encrypt ? "(ENCRYPT DIRECTION)" : "(DECRYPT DIRECTION)";
    if (generated) {
        out << "OK: MARLOAES CBC-COMPLIANT CODING GENERATED " << direction << "\n";
    } else {
        out << "ERR: MARLOAES CBC-COMPLIANT CODING NOT GENERATED " << direction << " (" << exitStatusOf(status)
            << ")\n";
    }
}

void comparison(std::ostream& out, const char* test, bool passed) {
    out << (passed ? "OK: " : "ERR: ") << test << (passed ? " success\n" : " fail\n");
}

} // namespace messages
