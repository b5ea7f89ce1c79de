// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// What the extractor benchmarks share: starting a command and timing it,
// leaving the disk quiet between timed passes, and medians.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

// Starts a command with its standard output discarded and waits for it;
// true when it ran and exited 0. Adds the processor time it took, in the
// kernel and outside it, to `usage` when given.
struct ProcessorTime
{
    double user = 0;
    double kernel = 0;
};

inline double seconds(const timeval &time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

inline bool runQuietly(const std::vector<std::string> &arguments, ProcessorTime *usage = nullptr)
{
    std::vector<char *> argv;
    for (const auto &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage used{};
    const bool exited = started && wait4(pid, &status, 0, &used) == pid;
    if (exited && usage != nullptr) {
        usage->user += seconds(used.ru_utime);
        usage->kernel += seconds(used.ru_stime);
    }
    return exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename Work> double secondsTaken(Work work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Removes what a pass wrote and waits until the disk has taken it all, so the
// write-back of one pass does not slow down the next.
inline void removeAndSettle(const std::filesystem::path &folder)
{
    sync();
    std::filesystem::remove_all(folder);
    sync();
}

// Reads every archive once, so that no pass is the one that brings them
// from disk into the page cache.
inline void readIntoCache(const std::vector<std::string> &archives)
{
    std::vector<char> buffer(1 << 20);
    for (const auto &archive : archives)
        if (std::FILE *file = std::fopen(archive.c_str(), "rb")) {
            while (std::fread(buffer.data(), 1, buffer.size(), file) == buffer.size()) {
            }
            std::fclose(file);
        }
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
