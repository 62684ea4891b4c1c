// The gray-box mode of tabrix-audit (--gray-box, --traces, --faults) and its
// machine-readable report (--json): the attacks a program's user can run
// without reading the table layout, DCA and DFA, in the two views, beside the
// structural attacks of the same run.
#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "audit/dca_attack.h"
#include "audit/dfa_attack.h"
#include "audit/key_extraction.h"
#include "base/no_copy.h"

class GrayBoxRun : NoCopy {
public:
    GrayBoxRun();
    ~GrayBoxRun();

    // The option at args[i], with its value (i then names the value): 1 when it
    // was one of --gray-box, --traces N, --faults N, --json FILE; 0 when it is
    // none of them; -1 when its value is malformed (the error line is written).
    int parseOption(const std::vector<std::string>& args, size_t& i, std::ostream& out);

    // Before any attack: the usage is complete and, in gray-box mode, the
    // coding files given for the two directions (--ioc-encrypt, --ioc-decrypt,
    // "" when none) are read for the plaintext-known view. 0, AUDIT_USAGE, or
    // the file's status (16, 31, 32) with an ERROR line.
    int32_t prepare(const std::array<std::string, 2>& iocPaths, std::ostream& out);

    // After a direction's structural report: records it for --json, and in
    // gray-box mode runs DCA and DFA on tables in both views and prints one
    // line per attack and view.
    void direction(Direction direction, const NetworkTables& tables, const DirectionAudit& audit,
                   std::chrono::steady_clock::duration elapsed, std::ostream& out);

    // Writes the --json report, if asked for, as the tool writes its secrets
    // (replaceFile). 0, or STATUS_WRITE_FAILED with an ERROR line.
    int32_t finish(std::ostream& out);

private:
    struct Report;
    bool enabled_ = false;
    bool sized_ = false; // --traces or --faults given
    DcaOptions dca_;
    DfaOptions dfa_;
    std::string jsonPath_;
    std::array<bool, 2> hasCodings_{};
    std::array<ExternalCodings, 2> codings_{};
    std::unique_ptr<Report> report_;
};
