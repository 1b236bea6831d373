#pragma once
// What the tests of the built program share: where it is, running it, and files beside it.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "generator/permutation_text.h"
#include "tests/support/child_process.h"

namespace cli_test {

inline std::string ProgramPath() {
    return TestProgramDirectory() + "/../" VARNHOLT_CLI_PROGRAM;
}

inline ProcessResult RunProgram(const std::vector<std::string>& arguments, const std::string& input = "") {
    return RunProcess(ProgramPath(), arguments, input);
}

// A folder of the test's own, emptied first.
inline std::filesystem::path TestFolder(const std::string& name) {
    const std::filesystem::path folder = std::filesystem::u8path(TestProgramDirectory()) / "cli_test_files" / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

inline std::vector<std::string> FileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

// The window's text for these keywords, with `lineEnd` after every line, the last one too.
inline std::string WindowLines(const std::vector<std::string>& words, DelimiterPair delimiters, bool subsets,
                               const std::string& lineEnd) {
    std::string store[4];
    for (size_t k = 0; k < words.size(); ++k) store[k] = words[k];
    const Text text = BuildPermutationText({{store[0], store[1], store[2], store[3]}}, delimiters, subsets);
    std::string lines;
    std::string_view rest = text.View();
    for (size_t end; (end = rest.find("\r\n")) != std::string_view::npos; rest.remove_prefix(end + 2)) {
        lines.append(rest.substr(0, end)).append(lineEnd);
    }
    return lines.append(rest).append(lineEnd);
}

}  // namespace cli_test
