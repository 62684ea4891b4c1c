// Table sets made by the real tool in a temporary folder, for the audit tests.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "audit/bge_attack.h"
#include "audit/table_headers.h"
#include "audit/traced_network.h"

#include "support/support.h"

namespace audittest {

// The six header keys of [HEADER_FILES], in the order of the header set.
extern const char* const kHeaderKeys[6];

// One "/g:" run: a script with absolute paths, headers under out/, coding files
// beside them. codingCommand is "", "/ecbioc:" or "/cbcioc:" (run before "/g:"
// with both use flags on). templates, if given, are the six template texts
// in kHeaderKeys order (else the shipped templates of examples/). mixed makes
// the tables of the mixed format (ten headers; the mix ones beside the six).
// keyBits 192 or 256 makes tables of that key size (the keys then have 48 or
// 64 hex digits), from the example templates of that size.
class TableRun {
public:
    TableRun(const std::string& encryptKey, const std::string& decryptKey, const std::string& codingCommand,
             const std::string& seed, const std::vector<std::string>& templates = {}, bool mixed = false,
             int keyBits = 128);

    std::string script() const { return (dir_ / "tables.cfg").string(); }
    std::string header(int index) const; // index 0..5 in kHeaderKeys order
    std::string file(const std::string& name) const { return (dir_ / name).string(); }
    std::vector<std::string> headers() const;
    bool ok() const { return ok_; } // both commands returned 0
    const std::string& output() const { return output_; }

private:
    testsupport::TempDir dir_;
    bool ok_ = false;
    std::string output_;
};

struct AuditRun {
    int status;
    std::string output;
};

// runAudit on args, output captured.
AuditRun audit(const std::vector<std::string>& args);

// The mix and mix XOR tables of one direction of a mixed run, from its headers.
struct MixHeaders {
    std::vector<uint8_t> mix;
    std::vector<uint8_t> mixXor;
};
::testing::AssertionResult readMix(const TableRun& run, Direction direction, MixHeaders& headers);

// All ten headers of a mixed run, parsed.
struct MixedSet {
    HeaderSet set;
    MixHeaders encrypt;
    MixHeaders decrypt;
    MixedDirectionTables tables(Direction direction) const {
        const bool e = direction == Direction::Encrypt;
        return {e ? set.encrypt : set.decrypt, e ? encrypt.mix : decrypt.mix, e ? encrypt.mixXor : decrypt.mixXor};
    }
};
::testing::AssertionResult loadMixed(const TableRun& run, MixedSet& mixed);
// The six headers of a run, and with mixed its mix headers too.
::testing::AssertionResult loadRun(const TableRun& run, bool mixed, MixedSet& set);
// One direction of a loaded run as the traced evaluator takes it.
NetworkTables networkOf(const MixedSet& set, Direction direction, bool mixed);

// Writes the texts text(0) .. text(5) into dir, each named by its key in
// kHeaderKeys; returns the audit's arguments for them ("--headers" and the six paths).
std::vector<std::string> writeHeaders(const testsupport::TempDir& dir, const std::function<std::string(int)>& text);

// A key text of keyBits / 4 hex digits drawn from the tests' pseudo-random generator.
std::string randomKey(uint32_t seed, int keyBits = 128);

} // namespace audittest
