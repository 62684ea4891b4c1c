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
// --ioc-decrypt FILE. Writes the report to out and returns 0 when every audited
// direction gave up its key, AUDIT_NOT_RECOVERED, AUDIT_CHECK_FAILED, or an
// error status (16, 30, AUDIT_BAD_HEADERS, AUDIT_USAGE).
int32_t runAudit(const std::vector<std::string>& args, std::ostream& out = std::cout);
