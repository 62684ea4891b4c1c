// The command line as UTF-8 text, as every path inside the tool is: argv as it
// is on POSIX systems, the wide command line converted on Windows (whose argv
// is in the ANSI code page and loses what it cannot spell).
#pragma once
#include <string>
#include <vector>

std::vector<std::string> utf8Arguments(int argc, char** argv);
