// Command line, text lines and JSON report of the audit's gray-box mode.
//
// Per direction, each attack runs in each view: "plaintext known" codes the
// inputs and decodes the outputs with the direction's coding file when one is
// given (without one the blocks are taken as the tables take and give them,
// so the view is the coded-only one and runs once), "coded only" uses the
// values entering and leaving the tables. Every key printed or written has
// passed claimGrayBoxKey; a failed attack prints its reason instead.
#include "audit/gray_box_command.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "base/secret_file.h"
#include "base/status.h"

struct GrayBoxRun::Report {
    nlohmann::ordered_json directions = nlohmann::ordered_json::array();
};

namespace {

double toMs(std::chrono::steady_clock::duration elapsed) {
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

std::string msText(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return text;
}

bool parseCount(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoi(text);
    return value >= low && value <= high;
}

nlohmann::ordered_json entry(const char* attack, const char* view, bool recovered, std::span<const uint8_t> key,
                             const std::string& reason, double ms) {
    nlohmann::ordered_json e;
    e["attack"] = attack;
    e["view"] = view;
    e["recovered"] = recovered;
    if (recovered) e["key"] = hexText(key.data(), key.size());
    else e["reason"] = reason;
    e["time_ms"] = ms;
    return e;
}

} // namespace

GrayBoxRun::GrayBoxRun() : report_(std::make_unique<Report>()) {}
GrayBoxRun::~GrayBoxRun() = default;

int GrayBoxRun::parseOption(const std::vector<std::string>& args, size_t& i, std::ostream& out) {
    const std::string& arg = args[i];
    if (arg == "--gray-box") {
        enabled_ = true;
        return 1;
    }
    if (arg != "--traces" && arg != "--faults" && arg != "--json") return 0;
    if (i + 1 >= args.size()) return 0; // an option without its value is an unexpected argument
    const std::string& value = args[++i];
    if (arg == "--json") {
        jsonPath_ = value;
        return 1;
    }
    sized_ = true;
    const bool traces = arg == "--traces";
    if (!parseCount(value, 1, traces ? 65535 : 100000, traces ? dca_.traces : dfa_.faults)) {
        out << "ERROR: bad count '" << value << "' for " << arg << "\n";
        return -1;
    }
    return 1;
}

int32_t GrayBoxRun::prepare(const std::array<std::string, 2>& iocPaths, std::ostream& out) {
    if (sized_ && !enabled_) {
        out << "ERROR: --traces and --faults need --gray-box\n";
        return AUDIT_USAGE;
    }
    if (!enabled_) return STATUS_OK;
    for (size_t d = 0; d < 2; ++d) {
        if (iocPaths[d].empty()) continue;
        std::string error;
        const int32_t status = readExternalCodings(iocPaths[d], codings_[d], error);
        if (status != STATUS_OK) {
            out << "ERROR: " << error << "\n";
            return status;
        }
        hasCodings_[d] = true;
    }
    return STATUS_OK;
}

void GrayBoxRun::direction(Direction direction, const NetworkTables& tables, const DirectionAudit& audit,
                           std::chrono::steady_clock::duration elapsed, std::ostream& out) {
    const size_t d = direction == Direction::Encrypt ? 0 : 1;
    nlohmann::ordered_json record;
    record["direction"] = d == 0 ? "encryption" : "decryption";
    record["format"] = tables.mixed() ? "mixed" : "classic";
    record["recovered"] = audit.key.has_value();
    if (audit.key) record["key"] = hexText(audit.key->bytes().data(), audit.key->bytes().size());
    else record["reason"] = audit.reason;
    const double structuralMs = toMs(elapsed);
    record["time_ms"] = structuralMs;

    // The structural attacks hold the tables; a key of theirs counts only as
    // the direction's checked key.
    nlohmann::ordered_json attacks = nlohmann::ordered_json::array();
    const auto structural = [&](const char* attack, const std::optional<ClaimedKey>& found,
                                const std::string& failure) {
        const bool checked = found && audit.key && *found == *audit.key;
        const std::vector<uint8_t> key = found ? found->bytes() : std::vector<uint8_t>(16);
        const std::string reason =
            checked ? "" : found ? "its key is not the one that passed the check" : failure.empty() ? "no key" : failure;
        attacks.push_back(entry(attack, "tables", checked, key, reason, structuralMs));
    };
    structural("partition", audit.partitionKey, "no key");
    structural("structural", audit.structuralKey,
               audit.structuralRounds.empty() ? audit.structuralFailure : "round keys disagree");
    if (audit.bgeTried) {
        structural("bge", audit.bgeKey, audit.bgeFailure);
        structural("collision", audit.collisionKey, audit.collisionFailure);
    }

    if (enabled_) {
        // Inputs and faults drawn from a seed of the tables themselves: the
        // same tables give the same figures, two sets give two samples.
        uint64_t seed = 0xCBF29CE484222325ull ^ d;
        for (uint8_t byte : tables.classic->last) seed = (seed ^ byte) * 0x100000001B3ull;
        DcaOptions dcaOptions = dca_;
        DfaOptions dfaOptions = dfa_;
        dcaOptions.seed = seed;
        dfaOptions.seed = seed ^ 0x5DFAu;
        const ExternalCodings* known = hasCodings_[d] ? &codings_[d] : nullptr;
        const char* const views[2] = {"plaintext known", "coded only"};
        DcaResult dca[2];
        DfaResult dfa[2];
        double dcaMs[2] = {};
        double dfaMs[2] = {};
        for (size_t v = 0; v < 2; ++v) {
            if (v == 1 && known == nullptr) { // the same run as the plaintext-known view
                dca[1] = dca[0];
                dfa[1] = dfa[0];
                dcaMs[1] = dcaMs[0];
                dfaMs[1] = dfaMs[0];
                continue;
            }
            const ExternalCodings* codings = v == 0 ? known : nullptr;
            auto start = std::chrono::steady_clock::now();
            dca[v] = dcaAttack(tables, direction, codings, dcaOptions);
            dcaMs[v] = toMs(std::chrono::steady_clock::now() - start);
            start = std::chrono::steady_clock::now();
            dfa[v] = dfaAttack(tables, direction, codings, dfaOptions);
            dfaMs[v] = toMs(std::chrono::steady_clock::now() - start);
        }
        // One attack's line and report entry in view v: used says, for a
        // recovered key, what it took (before the time), and the entry gives
        // the count under countName.
        auto report = [&](const char* name, const char* attack, size_t v, const auto& result, double ms,
                          const std::string& used, const char* countName, int count) {
            out << "  " << name << ", " << views[v] << ": ";
            const std::vector<uint8_t> key = result.keyBytes();
            if (result.recovered()) {
                out << "recovered " << hexText(key.data(), key.size()) << " (" << used << msText(ms) << ")\n";
            } else {
                out << "not recovered (" << result.failure << "; " << msText(ms) << ")\n";
            }
            nlohmann::ordered_json e = entry(attack, views[v], result.recovered(), key, result.failure, ms);
            e[countName] = count;
            e["codings"] = v == 0 && known != nullptr ? "file" : "none";
            attacks.push_back(e);
        };
        for (size_t v = 0; v < 2; ++v) {
            const std::string used = std::to_string(dca[v].traces) + " of " + std::to_string(dca_.traces) + " traces, ";
            report("DCA", "dca", v, dca[v], dcaMs[v], used, "traces", dca[v].traces);
        }
        for (size_t v = 0; v < 2; ++v) {
            report("DFA", "dfa", v, dfa[v], dfaMs[v], std::to_string(dfa[v].faults) + " faulty runs, ", "faults",
                   dfa[v].faults);
        }
    }
    record["attacks"] = attacks;
    report_->directions.push_back(record);
}

int32_t GrayBoxRun::finish(std::ostream& out) {
    if (jsonPath_.empty()) return STATUS_OK;
    nlohmann::ordered_json document;
    document["tool"] = "tabrix-audit";
    document["schema"] = 1;
    document["gray_box"] = enabled_;
    if (enabled_) {
        document["traces"] = dca_.traces;
        document["faults"] = dfa_.faults;
    }
    document["directions"] = report_->directions;
    const std::string text = document.dump(2) + "\n";
    if (replaceFile(jsonPath_, text.data(), text.size()) != FileResult::ok) {
        out << "ERROR: cannot write " << jsonPath_ << "\n";
        return STATUS_WRITE_FAILED;
    }
    return STATUS_OK;
}
