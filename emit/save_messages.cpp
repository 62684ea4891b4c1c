#include "emit/save_messages.h"

void writeSavingLine(std::ostream& out, const std::string& header) {
    out << "--- Saving " << header << " header file " << std::flush;
}

void writeSavingResult(std::ostream& out, bool success) { out << (success ? " success\n" : " fail\n") << std::flush; }

void writeFailToOpen(std::ostream& out, const std::string& path) { out << "Fail to open " << path << "\n" << std::flush; }

void writeCommitReason(std::ostream& err, const std::string& path, const std::string& reason) {
    err << "tabrix: cannot write '" << path << "': " << reason << "\n" << std::flush;
}

void writeFailToWrite(std::ostream& out, const std::string& path) {
    out << "Fail to write " << path << "\n" << std::flush;
}
