// The lines of header saving, written here and nowhere else. A saving line is
// opened before the table is rendered (its "." marks follow) and closed with
// its result.
#pragma once
#include <iostream>
#include <string>

// "--- Saving <header> header file " (left open, flushed)
void writeSavingLine(std::ostream& out, const std::string& header);
// " success\n" or " fail\n", closing the saving line
void writeSavingResult(std::ostream& out, bool success);
// "Fail to open <path>\n": a template, or a header that cannot be created
void writeFailToOpen(std::ostream& out, const std::string& path);
// "Fail to write <path>\n": a header, or the folder or journal of its commit
void writeFailToWrite(std::ostream& out, const std::string& path);
// On the error stream, why a commit of secret files failed (headers and
// coding files alike): "tabrix: cannot write '<path>': <reason>\n"
void writeCommitReason(std::ostream& err, const std::string& path, const std::string& reason);
