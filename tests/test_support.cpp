#include "test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <sstream>

// Every directory a test asks for is removed, with its contents, once the
// whole test program has run.
static std::vector<std::string> temp_dirs;

namespace {
struct RemoveTempDirs : testing::Environment {
    void TearDown() override
    {
        for (const std::string& dir : temp_dirs) std::filesystem::remove_all(dir);
    }
};
const auto* registered = testing::AddGlobalTestEnvironment(new RemoveTempDirs);
}  // namespace

std::string make_temp_dir()
{
    std::string pattern = "/tmp/qp_test_XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    temp_dirs.push_back(pattern);
    return pattern;
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

std::string read_file(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool file_exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Standard streams go through files rather than pipes, so a tool that
// writes a lot to both can never block the test.
RunResult run_tool(const std::string& program, const std::vector<std::string>& argv,
                   const std::string& input, const std::string& workdir,
                   const std::string& given_out_path)
{
    std::string scratch = make_temp_dir();
    std::string in_path = scratch + "/in", err_path = scratch + "/err";
    std::string out_path = given_out_path.empty() ? scratch + "/out" : given_out_path;
    write_file(in_path, input);

    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int in = open(in_path.c_str(), O_RDONLY);
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (!workdir.empty() && chdir(workdir.c_str()) != 0) _exit(126);
        alarm(60);
        execv(program.c_str(), args.data());
        _exit(127);
    }
    int wait_status = 0;
    waitpid(child, &wait_status, 0);

    RunResult result;
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status)
                                           : 128 + WTERMSIG(wait_status);
    if (given_out_path.empty()) result.out = read_file(out_path);
    result.err = read_file(err_path);
    std::filesystem::remove_all(scratch);
    return result;
}
