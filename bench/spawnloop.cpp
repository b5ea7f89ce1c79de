// Times extractors side by side: for every archive given, pkunzip, unzip and
// bsdtar are each started once, in rotating order, into a fresh folder, by the
// same loop. Prints the median time of each and the median of the per-archive
// ratios pkunzip/unzip and pkunzip/bsdtar.
//
// usage: spawnloop PKUNZIP SCRATCH_DIR ARCHIVE...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

struct Tool
{
    std::string name;
    std::vector<std::string> (*arguments)(const std::string &program, const std::string &archive,
                                          const std::string &folder);
    std::string program;
};

std::vector<std::string> pkunzipArguments(const std::string &program, const std::string &archive,
                                          const std::string &folder)
{
    return {program, archive, folder};
}

std::vector<std::string> unzipArguments(const std::string &, const std::string &archive,
                                        const std::string &folder)
{
    return {"/usr/bin/unzip", "-q", "-o", archive, "-d", folder};
}

std::vector<std::string> bsdtarArguments(const std::string &, const std::string &archive,
                                         const std::string &folder)
{
    return {"/usr/bin/bsdtar", "-xf", archive, "-C", folder};
}

// Runs one command with its output discarded; gives the wall time in ms.
double timeRun(const std::vector<std::string> &arguments, int &status)
{
    std::vector<char *> argv;
    for (const auto &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        status = -1;
        return 0;
    }
    waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fputs("usage: spawnloop PKUNZIP SCRATCH_DIR ARCHIVE...\n", stderr);
        return 2;
    }
    const std::vector<Tool> tools = {{"pkunzip", pkunzipArguments, argv[1]},
                                     {"unzip", unzipArguments, ""},
                                     {"bsdtar", bsdtarArguments, ""}};
    const std::filesystem::path scratch = argv[2];
    std::vector<std::vector<double>> times(tools.size());
    std::vector<double> overUnzip;
    std::vector<double> overBsdtar;
    int failures = 0;
    for (int a = 3; a < argc; ++a) {
        std::vector<double> these(tools.size());
        for (size_t k = 0; k < tools.size(); ++k) {
            const size_t t = (k + static_cast<size_t>(a)) % tools.size();
            const auto folder = scratch / (tools[t].name + "-" + std::to_string(a));
            std::filesystem::remove_all(folder);
            std::filesystem::create_directories(folder);
            int status = 0;
            these[t] = timeRun(tools[t].arguments(tools[t].program, argv[a], folder), status);
            if (status != 0) {
                std::fprintf(stderr, "%s failed on %s\n", tools[t].name.c_str(), argv[a]);
                ++failures;
            }
            std::filesystem::remove_all(folder);
        }
        for (size_t t = 0; t < tools.size(); ++t)
            times[t].push_back(these[t]);
        overUnzip.push_back(these[0] / these[1]);
        overBsdtar.push_back(these[0] / these[2]);
    }
    std::printf("archives %d, failed runs %d\n", argc - 3, failures);
    for (size_t t = 0; t < tools.size(); ++t)
        std::printf("median %-8s %9.3f ms\n", tools[t].name.c_str(), median(times[t]));
    std::printf("median ratio pkunzip/unzip  %.3f\n", median(overUnzip));
    std::printf("median ratio pkunzip/bsdtar %.3f\n", median(overBsdtar));
    return failures == 0 ? 0 : 1;
}
