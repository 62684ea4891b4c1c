// Entry point of tabrix-audit; the command itself is audit/audit_command.cpp.
#include <string>
#include <vector>

#include "audit/audit_command.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return static_cast<int>(runAudit(args));
}
