// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Times extractors the way a batch runs them: each tool started once per
// archive by the same loop, each archive into a new folder of its own, every
// output kept until the end of the round. Prints each tool's total wall time
// per round, the median per tool, the share of each tool's processor time
// spent in the kernel, and the median over the rounds of each tool's total
// over unzip's total.
//
// usage: spawnloop [--rounds N] [--only TOOL[,TOOL...]] [--earlier PKUNZIP] PKUNZIP SCRATCH_DIR
// ARCHIVE...
#include "timing.h"

#include <cstdlib>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

using Command = std::vector<std::string> (*)(const std::string &program, const std::string &archive,
                                             const std::string &folder);

struct Tool
{
    std::string name;
    Command command;
    std::string program;
};

std::vector<std::string> pkunzipCommand(const std::string &program, const std::string &archive,
                                        const std::string &folder)
{
    return {program, archive, folder};
}

std::vector<std::string> unzipCommand(const std::string &program, const std::string &archive,
                                      const std::string &folder)
{
    return {program, "-q", "-o", archive, "-d", folder};
}

std::vector<std::string> bsdtarCommand(const std::string &program, const std::string &archive,
                                       const std::string &folder)
{
    return {program, "-xf", archive, "-C", folder};
}

std::vector<std::string> sevenZipCommand(const std::string &program, const std::string &archive,
                                         const std::string &folder)
{
    return {program, "x", "-y", "-bd", "-o" + folder, archive};
}

struct Options
{
    int rounds = 3;
    std::string only;
    // Another build of pkunzip timed beside this one, e.g. the last release.
    std::string earlier;
    std::string pkunzip;
    fs::path scratch;
    std::vector<std::string> archives;
};

bool parse(int argc, char **argv, Options &options)
{
    int a = 1;
    for (; a + 1 < argc && std::string(argv[a]).rfind("--", 0) == 0; a += 2) {
        if (std::string(argv[a]) == "--rounds")
            options.rounds = std::atoi(argv[a + 1]);
        else if (std::string(argv[a]) == "--only")
            options.only = argv[a + 1];
        else if (std::string(argv[a]) == "--earlier")
            options.earlier = argv[a + 1];
        else
            return false;
    }
    if (argc - a < 3 || options.rounds < 1)
        return false;
    options.pkunzip = argv[a];
    options.scratch = argv[a + 1];
    options.archives.assign(argv + a + 2, argv + argc);
    return true;
}

std::vector<Tool> toolsToRun(const Options &options)
{
    std::vector<Tool> all = {{"pkunzip", pkunzipCommand, options.pkunzip},
                             {"unzip", unzipCommand, "/usr/bin/unzip"},
                             {"bsdtar", bsdtarCommand, "/usr/bin/bsdtar"},
                             {"7zz", sevenZipCommand, "/usr/bin/7zz"}};
    if (!options.earlier.empty())
        all.push_back({"earlier", pkunzipCommand, options.earlier});
    std::vector<Tool> tools;
    for (const auto &tool : all)
        if (fs::exists(tool.program) &&
            (options.only.empty() ||
             ("," + options.only + ",").find("," + tool.name + ",") != std::string::npos))
            tools.push_back(tool);
    return tools;
}

// Leaves the disk quiet after a run without waiting for the rest of the
// machine: only the scratch file system is written back.
void settle(const fs::path &scratch)
{
    const int descriptor = open(scratch.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0) {
        syncfs(descriptor);
        close(descriptor);
    }
}

// Each archive goes through every tool, starting with a different tool from
// one archive to the next and from one round to the next, so load from the
// rest of the machine falls on every tool alike. The folder is made by the
// loop, as the batch makes it, and timed with the run; the disk settles
// after each run, untimed, so no run pays for the write-back of another.
std::vector<double> timeRound(const std::vector<Tool> &tools, const Options &options, size_t round,
                              std::vector<ProcessorTime> &usage, int &failures)
{
    std::vector<double> seconds(tools.size());
    for (const auto &tool : tools)
        fs::create_directories(options.scratch / tool.name);
    for (size_t i = 0; i < options.archives.size(); ++i)
        for (size_t k = 0; k < tools.size(); ++k) {
            const size_t t = (k + i + round) % tools.size();
            const Tool &tool = tools[t];
            const std::string folder = options.scratch / tool.name / std::to_string(i);
            const std::string &archive = options.archives[i];
            bool done = false;
            seconds[t] += secondsTaken([&] {
                done = mkdir(folder.c_str(), 0777) == 0 &&
                       runQuietly(tool.command(tool.program, archive, folder), &usage[t]);
            });
            if (!done) {
                std::fprintf(stderr, "%s failed on %s\n", tool.name.c_str(), archive.c_str());
                ++failures;
            }
            settle(options.scratch);
        }
    return seconds;
}

void printRow(const char *label, const std::vector<double> &values)
{
    std::printf("%-8s", label);
    for (double value : values)
        std::printf(" %9.3f", value);
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(
            "usage: spawnloop [--rounds N] [--only TOOL[,TOOL...]] [--earlier PKUNZIP] PKUNZIP "
            "SCRATCH_DIR ARCHIVE...\n",
            stderr);
        return 2;
    }
    const std::vector<Tool> tools = toolsToRun(options);
    readIntoCache(options.archives);
    // seconds[t][r]: tool t's total in round r.
    std::vector<std::vector<double>> seconds(tools.size(), std::vector<double>(options.rounds));
    std::vector<ProcessorTime> usage(tools.size());
    int failures = 0;
    for (int r = 0; r < options.rounds; ++r) {
        for (const auto &tool : tools)
            removeAndSettle(options.scratch / tool.name);
        const auto round = timeRound(tools, options, static_cast<size_t>(r), usage, failures);
        for (size_t t = 0; t < tools.size(); ++t)
            seconds[t][r] = round[t];
    }
    for (const auto &tool : tools)
        removeAndSettle(options.scratch / tool.name);

    std::printf("%zu archives, %d rounds, failed runs %d; total wall time in s\n%-8s",
                options.archives.size(), options.rounds, failures, "round");
    for (const auto &tool : tools)
        std::printf(" %9s", tool.name.c_str());
    std::printf("\n");
    for (int r = 0; r < options.rounds; ++r) {
        std::vector<double> row;
        for (const auto &perTool : seconds)
            row.push_back(perTool[r]);
        printRow(std::to_string(r + 1).c_str(), row);
    }
    std::vector<double> medians;
    for (const auto &perTool : seconds)
        medians.push_back(median(perTool));
    printRow("median", medians);
    std::vector<double> kernelShares;
    for (const ProcessorTime &time : usage)
        kernelShares.push_back(time.kernel / std::max(time.user + time.kernel, 1e-9));
    printRow("kernel", kernelShares);

    const auto unzip = std::find_if(tools.begin(), tools.end(),
                                    [](const Tool &tool) { return tool.name == "unzip"; });
    if (unzip != tools.end()) {
        const auto &reference = seconds[unzip - tools.begin()];
        std::vector<double> ratios;
        for (const auto &perTool : seconds) {
            std::vector<double> perRound;
            for (int r = 0; r < options.rounds; ++r)
                perRound.push_back(perTool[r] / reference[r]);
            ratios.push_back(median(perRound));
        }
        printRow("/unzip", ratios);
    }
    return failures == 0 ? 0 : 1;
}
