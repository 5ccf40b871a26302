// Shared helpers for the tests: running a built tool as a user would, and
// files in and out (their bytes come from bytes.h).
#ifndef TESTS_TEST_SUPPORT_H
#define TESTS_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "bytes.h"

struct RunResult {
    int status;  // exit status, or 128 + signal number when killed
    std::string out;
    std::string err;
};

// Runs `program` with the argument vector `argv` (argv[0] included, so tests
// can choose the name the tool is invoked under), feeding `input` on
// standard input, inside `workdir` when it is not empty. Standard output goes
// to `out_path` when one is given (result.out then stays empty). A run that
// takes longer than a minute is killed by SIGALRM: a hang fails the test
// instead of stalling the suite.
RunResult run_tool(const std::string& program, const std::vector<std::string>& argv,
                   const std::string& input = "", const std::string& workdir = "",
                   const std::string& out_path = "");

// A fresh empty directory for one test.
std::string make_temp_dir();

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

#endif
