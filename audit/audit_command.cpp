// Command line, report and checks of tabrix-audit. The audit reads nothing
// but the headers; the check options only compare its result afterwards.
#include "audit/audit_command.h"

#include <chrono>
#include <cstdio>
#include <new>
#include <sstream>

#include "aesref/aes128.h"
#include "audit/audit_script.h"
#include "audit/bge_attack.h"
#include "audit/collision_attack.h"
#include "audit/gray_box_command.h"
#include "audit/key_extraction.h"
#include "audit/table_headers.h"
#include "base/secret_file.h"
#include "base/status.h"
#include "base/text_path.h"

namespace {

const char kUsage[] =
    "Usage: tabrix-audit [options] SCRIPT\n"
    "       tabrix-audit [options] --headers FILE...\n"
    "Recovers the AES key (128, 192 or 256 bits, and any external codings) from emitted table headers.\n"
    "  SCRIPT             configuration script: only its [HEADER_FILES] header paths are read\n"
    "  --headers FILE...  the header files themselves: one direction's three or all six\n"
    "  --check KEY        compare every recovered key with KEY (32, 48 or 64 hex digits)\n"
    "  --check-encrypt KEY, --check-decrypt KEY   the same for one direction\n"
    "  --ioc-encrypt FILE, --ioc-decrypt FILE     compare the recovered codings with an IOC file\n"
    "                     (with --gray-box also the codings of the plaintext-known view)\n"
    "  --bge-plain        mixed format: run the BGE attack in its plain 2004 form, not the improved one\n"
    "  --gray-box         also run DCA on look-up traces and DFA with one-byte faults, each in the\n"
    "                     views plaintext known (decoded with the --ioc files given) and coded only\n"
    "  --traces N         DCA: at most N traces, 1..65535 (2000)\n"
    "  --faults N         DFA: at most N faulty runs, 1..100000 (64)\n"
    "  --json FILE        write a JSON report of every attack of the run to FILE\n"
    "Exit status: 0 every key recovered, 1 a key not recovered, 2 a check failed, 16 a file\n"
    "cannot be read, 17 the JSON report cannot be written, 30 no header path in the script,\n"
    "31 a coding file is short, 32 a coding file holds no bijection, 40 malformed header,\n"
    "41 bad usage.\n";

std::string milliseconds(std::chrono::steady_clock::duration elapsed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", std::chrono::duration<double, std::milli>(elapsed).count());
    return text;
}

struct DirectionChecks {
    bool hasKey = false;
    CipherKey key;
    std::string iocPath;
};

// The data coding of a CBC triple, when the recovered pair is one: data(u) =
// in(u) ^ out(0), and in(u ^ v) = data(u) ^ out(v) for all u, v.
bool cbcDataCoding(const DirectionAudit& audit, CodingForward& data) {
    for (size_t m = 0; m < 16; ++m) {
        const auto& in = audit.inputCoding[m];
        const auto& outSet = audit.outputCoding[m];
        for (unsigned u = 0; u < 256; ++u) data[m][u] = static_cast<uint8_t>(in[u] ^ outSet[0]);
        for (unsigned u = 0; u < 256; ++u) {
            for (unsigned v = 0; v < 256; ++v) {
                if (in[u ^ v] != (data[m][u] ^ outSet[v])) return false;
            }
        }
    }
    return true;
}

void printCoding(std::ostream& out, const char* title, const CodingForward& coding) {
    out << "  " << title << ": recovered\n";
    for (size_t m = 0; m < 16; ++m) out << "    record " << m << ": " << hexText(coding[m].data(), 256) << "\n";
}

// Compares the recovered codings with the forward tables of an IOC file.
int32_t checkIoc(std::ostream& out, const char* name, const DirectionAudit& audit, const std::string& path) {
    std::string bytes;
    if (readRegularFile(path, bytes, 16384) != FileResult::ok || bytes.size() < 16384) {
        out << "CHECK FAILED: cannot read 16384 bytes of " << path << "\n";
        return AUDIT_CHECK_FAILED;
    }
    bool same = audit.key.has_value();
    for (size_t m = 0; m < 16 && same; ++m) {
        for (size_t v = 0; v < 256; ++v) {
            same = same && static_cast<uint8_t>(bytes[512 * m + v]) == audit.inputCoding[m][v] &&
                   static_cast<uint8_t>(bytes[8192 + 512 * m + v]) == audit.outputCoding[m][v];
        }
    }
    out << (same ? "CHECK OK: " : "CHECK FAILED: ") << name << " codings " << (same ? "equal " : "differ from ")
        << path << "\n";
    return same ? STATUS_OK : AUDIT_CHECK_FAILED;
}

int32_t report(std::ostream& out, const char* name, const DirectionAudit& audit,
               std::chrono::steady_clock::duration elapsed, const DirectionChecks& checks) {
    int32_t status = STATUS_OK;
    auto keyText = [](const std::optional<ClaimedKey>& key) { return hexText(key->bytes().data(), key->bytes().size()); };
    auto failed = [](const std::string& failure) { return failure.empty() ? "not recovered" : "not recovered (" + failure + ")"; };
    if (audit.key) {
        out << name << " key: recovered " << keyText(audit.key) << "\n";
    } else {
        out << name << " key: NOT RECOVERED (" << audit.reason << ")\n";
        status = AUDIT_NOT_RECOVERED;
    }
    out << "  partition attack on the first round: "
        << (audit.partitionKey ? keyText(audit.partitionKey) : failed(audit.partitionFailure)) << "\n";
    out << "  structural attack on the inner rounds: ";
    if (!audit.structuralKey) {
        out << failed(audit.structuralFailure) << "\n";
    } else {
        out << keyText(audit.structuralKey) << " (round keys";
        for (int r : audit.structuralRounds) out << " " << r;
        out << ")\n";
    }
    if (audit.bgeTried) {
        // AES-128: one round key, 0 (encryption) or 10; a longer key also the second round's.
        const bool encrypt = std::string(name) == "encryption";
        const int R = audit.rounds;
        std::ostringstream roundKey;
        if (R == 10) roundKey << (encrypt ? " (round key 0)" : " (round key 10)");
        else roundKey << " (round keys " << (encrypt ? 0 : R - 1) << " " << (encrypt ? 1 : R) << ")";
        std::ostringstream bgeRounds;
        bgeRounds << " (round keys";
        for (int r = 2; r <= R - 2; ++r) bgeRounds << " " << r;
        bgeRounds << ")";
        out << "  collision attack on the first round: "
            << (audit.collisionKey ? keyText(audit.collisionKey) + roundKey.str() : failed(audit.collisionFailure)) << "\n";
        out << "  BGE attack on the mixed rounds: "
            << (audit.bgeKey ? keyText(audit.bgeKey) + bgeRounds.str() : failed(audit.bgeFailure)) << "\n";
    }
    if (audit.bgeKey && !audit.collisionKey) {
        out << "  external codings: not recovered (the BGE attack reads only the inner rounds)\n";
    } else if (audit.key) {
        if (!audit.inputCoded) out << "  external input coding: none\n";
        else printCoding(out, "external input coding", audit.inputCoding);
        if (!audit.outputCoded) out << "  external output coding: none\n";
        else printCoding(out, "external output coding", audit.outputCoding);
        CodingForward data{};
        if ((audit.inputCoded || audit.outputCoded) && cbcDataCoding(audit, data)) {
            printCoding(out, "CBC data coding", data);
        }
    }
    out << "  time: " << milliseconds(elapsed) << "\n";
    if (checks.hasKey) {
        const bool same = audit.key && audit.key->bytes() == checks.key;
        out << (same ? "CHECK OK: " : "CHECK FAILED: ") << name << " key "
            << (same ? "equals " : "differs from ") << hexText(checks.key.data(), checks.key.size()) << "\n";
        if (!same) status = AUDIT_CHECK_FAILED;
    }
    if (!checks.iocPath.empty() && checkIoc(out, name, audit, checks.iocPath) != STATUS_OK) {
        status = AUDIT_CHECK_FAILED;
    }
    return status;
}

// A key of 32, 48 or 64 hex digits (AES-128, AES-192, AES-256).
bool parseKey(const std::string& text, CipherKey& key) {
    if (text.size() % 2 != 0 || roundsOfKeyBytes(text.size() / 2) == 0) return false;
    auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    key.assign(text.size() / 2, 0);
    for (size_t i = 0; i < key.size(); ++i) {
        const int high = digit(text[2 * i]);
        const int low = digit(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        key[i] = static_cast<uint8_t>(16 * high + low);
    }
    return true;
}

// The command itself; runAudit adds the one answer to running out of memory.
int32_t runAuditCommand(const std::vector<std::string>& args, std::ostream& out) {
    DirectionChecks checks[2];
    std::vector<std::string> paths;
    std::string script;
    bool headers = false;
    BgeForm bgeForm = BgeForm::Improved;
    GrayBoxRun grayBox;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (headers) {
            paths.push_back(absoluteOrAsGiven(arg));
        } else if (arg == "--headers") {
            headers = true;
        } else if (arg == "--bge-plain") {
            bgeForm = BgeForm::Plain;
        } else if ((arg == "--check" || arg == "--check-encrypt" || arg == "--check-decrypt") && hasValue) {
            CipherKey key;
            if (!parseKey(args[++i], key)) {
                out << "ERROR: bad key '" << args[i] << "'\n" << kUsage;
                return AUDIT_USAGE;
            }
            for (int d = 0; d < 2; ++d) {
                if (arg == "--check" || (arg == "--check-encrypt") == (d == 0)) {
                    checks[d].hasKey = true;
                    checks[d].key = key;
                }
            }
        } else if ((arg == "--ioc-encrypt" || arg == "--ioc-decrypt") && hasValue) {
            checks[arg == "--ioc-encrypt" ? 0 : 1].iocPath = absoluteOrAsGiven(args[++i]);
        } else if (const int used = grayBox.parseOption(args, i, out); used != 0) {
            if (used < 0) {
                out << kUsage;
                return AUDIT_USAGE;
            }
        } else if (!arg.empty() && arg[0] != '-' && script.empty()) {
            script = arg;
        } else {
            out << "ERROR: unexpected argument '" << arg << "'\n" << kUsage;
            return AUDIT_USAGE;
        }
    }
    if (headers == !script.empty() || (headers && paths.empty())) {
        out << kUsage;
        return AUDIT_USAGE;
    }
    if (const int32_t prepared = grayBox.prepare({checks[0].iocPath, checks[1].iocPath}, out); prepared != STATUS_OK) {
        return prepared;
    }
    // The mixed format's mix headers of each direction, when the script names them.
    std::array<std::string, 4> mixPaths{};
    if (!headers) {
        const std::string absolute = absoluteOrAsGiven(script);
        out << "Reading '" << absolute << "' ...\n";
        std::string reason;
        const int32_t status = readHeaderPaths(absolute, paths, &mixPaths, &reason);
        if (status != STATUS_OK) {
            out << (status == STATUS_OPEN_FAILED    ? std::string("ERROR: cannot read the script\n")
                    : status == AUDIT_BAD_HEADERS ? "ERROR: " + reason + "\n"
                                                  : std::string("ERROR: no header path in [HEADER_FILES]\n"));
            return status;
        }
    }

    const auto parseStart = std::chrono::steady_clock::now();
    HeaderSet set;
    std::string error;
    const int32_t loaded = loadHeaderSet(paths, set, error);
    if (loaded != STATUS_OK) {
        out << "ERROR: " << error << "\n";
        return loaded;
    }

    int32_t status = STATUS_OK;
    const struct {
        bool present;
        const DirectionTables* tables;
        Direction direction;
        const char* name;
    } directions[2] = {{set.hasEncrypt, &set.encrypt, Direction::Encrypt, "encryption"},
                       {set.hasDecrypt, &set.decrypt, Direction::Decrypt, "decryption"}};
    const char* const mixNames[4] = {"mixTables", "mixXorTables", "invMixTables", "invMixXorTables"};
    std::array<std::vector<uint8_t>, 4> mixTables{};
    bool mixed[2] = {};
    size_t headerCount = paths.size();
    for (size_t d = 0; d < 2; ++d) {
        mixed[d] = !mixPaths[2 * d].empty() && !mixPaths[2 * d + 1].empty() && directions[d].present;
        for (size_t i = 2 * d; i < 2 * d + 2 && mixed[d]; ++i) {
            std::string text;
            const int32_t read = readAuditInput(mixPaths[i], text, error);
            if (read != STATUS_OK) {
                out << "ERROR: " << error << "\n";
                return read;
            }
            ++headerCount;
            int rounds = 0;
            int32_t parsed = parseRoundTableText(text, mixNames[i], i % 2 == 0 ? kRoundSlotBytes : kXorSlotBytes,
                                                 mixTables[i], rounds, error);
            if (parsed == STATUS_OK && rounds != directions[d].tables->rounds) {
                error = std::string(mixNames[i]) + " has " + std::to_string(rounds) + " rounds, the other tables " +
                        std::to_string(directions[d].tables->rounds);
                parsed = AUDIT_BAD_HEADERS;
            }
            if (parsed != STATUS_OK) {
                // A mix header without its table is as malformed as one whose table is.
                if (parsed == 1) error = std::string("no ") + mixNames[i] + " declaration found";
                out << "ERROR: " << mixPaths[i] << ": " << error << "\n";
                return AUDIT_BAD_HEADERS;
            }
        }
    }

    // Every header read: the six (or three) of the set and the mix headers.
    out << "Parsed " << headerCount << " headers in "
        << milliseconds(std::chrono::steady_clock::now() - parseStart) << "\n";

    for (int d = 0; d < 2; ++d) {
        if (!directions[d].present) continue;
        const auto start = std::chrono::steady_clock::now();
        DirectionAudit audit = auditDirection(*directions[d].tables, directions[d].direction);
        if (mixed[d] && !audit.key) {
            audit.bgeTried = true;
            const MixedDirectionTables tables{*directions[d].tables, mixTables[static_cast<size_t>(2 * d)],
                                              mixTables[static_cast<size_t>(2 * d + 1)]};
            audit.bgeKey = bgeRecoverKey(tables, directions[d].direction, bgeForm, &audit.bgeFailure);
            audit.collisionKey = collisionRecoverKey(tables, directions[d].direction, &audit.collisionFailure);
            if (audit.bgeKey && audit.collisionKey && !(*audit.bgeKey == *audit.collisionKey)) {
                audit.reason = "attacks disagree: " + hexText(audit.bgeKey->bytes().data(), audit.bgeKey->bytes().size()) +
                               " and " + hexText(audit.collisionKey->bytes().data(), audit.collisionKey->bytes().size());
            } else if (audit.bgeKey || audit.collisionKey) {
                audit.key = audit.bgeKey ? audit.bgeKey : audit.collisionKey;
            }
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const int32_t result = report(out, directions[d].name, audit, elapsed, checks[d]);
        if (result > status) status = result;
        NetworkTables network{directions[d].tables};
        if (mixed[d]) {
            network.mix = &mixTables[static_cast<size_t>(2 * d)];
            network.mixXor = &mixTables[static_cast<size_t>(2 * d + 1)];
        }
        grayBox.direction(directions[d].direction, network, audit, elapsed, out);
    }
    if (const int32_t written = grayBox.finish(out); written != STATUS_OK) status = written;
    out.flush();
    return status;
}

} // namespace

int32_t runAudit(const std::vector<std::string>& args, std::ostream& out) {
    // Large inputs are refused before they are read (kAuditInputCap); what
    // still runs out of memory ends here with the tool's own status.
    try {
        return runAuditCommand(args, out);
    } catch (const std::bad_alloc&) {
        out << "ERROR: out of memory\n";
        out.flush();
        return STATUS_OUT_OF_MEMORY;
    }
}
