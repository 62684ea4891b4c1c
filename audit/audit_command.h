// The tabrix-audit command: reads a header set and reports what an attacker who
// holds it recovers.
#pragma once
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

// args are the command-line arguments after the program name:
//   [options] SCRIPT             header paths from the script's [HEADER_FILES]
//   [options] --headers FILE...  the header files themselves (3 or 6)
// Options compare the result afterwards, for tests: --check KEY (both
// directions), --check-encrypt KEY, --check-decrypt KEY, --ioc-encrypt FILE,
// --ioc-decrypt FILE. --gray-box [--traces N] [--faults N] adds DCA and DFA
// (gray_box_command.h; the IOC files then also give the plaintext-known view),
// --json FILE a machine-readable report. Writes the report to out and returns 0
// when every audited direction gave up its key to the structural attacks,
// AUDIT_NOT_RECOVERED, AUDIT_CHECK_FAILED, or an error status (16, 17, 30, 31,
// 32, AUDIT_BAD_HEADERS, AUDIT_USAGE).
int32_t runAudit(const std::vector<std::string>& args, std::ostream& out = std::cout);
