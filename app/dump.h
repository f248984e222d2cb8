// The headless modes of the command line: --dump FILE and --country IP.
#pragma once
#include <ostream>
#include <string>

namespace tarvo {

// Loads the file and writes the views as one JSON object; returns the exit code.
int DumpMailFile(const std::string& fileName, std::ostream& out);

}  // namespace tarvo
