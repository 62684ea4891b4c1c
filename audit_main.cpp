// Entry point of tabrix-audit; the command itself is audit/audit_command.cpp.
#include <string>
#include <vector>

#include "audit/audit_command.h"
#include "base/command_line.h"

int main(int argc, char** argv) {
    std::vector<std::string> args = utf8Arguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    return static_cast<int>(runAudit(args));
}
