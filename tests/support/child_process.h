#pragma once
// Runs a program as a real child process for the tests: its standard input fed from a string,
// its standard output and error collected byte for byte. Names and arguments are UTF-8.

#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;  // natively 128 + N when the program was ended by signal N
    std::string out;
    std::string err;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input = "");

// The folder the running test program is in.
std::string TestProgramDirectory();
