// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Measures what the batch adds to the extractor's own time: the same archives
// are unpacked by the batch and by a bare loop that makes each folder and
// spawns the same command, and the median times are compared.
//
// usage: vrillo_batchbench PKUNZIP [ARCHIVES] [ROUNDS]
// Results go to standard error, so the extractor's own output can be sent to
// /dev/null without hiding them.

#include "batch.h"
#include "batchreport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

// One extractor run of the bare loop, its texts ready before timing starts.
struct PlainRun
{
    std::string folder;
    std::string archive;
};

} // namespace

static bool makeArchives(const QTemporaryDir &root, const BatchRequest &request)
{
    const QString first =
        request.source + QLatin1Char('/') + QFile::decodeName(request.archives.first());
    QFile content(root.filePath(QStringLiteral("ROM.BIN")));
    if (!content.open(QIODevice::WriteOnly) || content.write("tiny rom\n") != 9)
        return false;
    content.close();
    QProcess zip;
    zip.setWorkingDirectory(root.path());
    zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), first, QStringLiteral("ROM.BIN")});
    if (!zip.waitForFinished() || zip.exitCode() != 0)
        return false;
    for (qsizetype i = 1; i < request.archives.size(); ++i)
        if (!QFile::copy(first, request.source + QLatin1Char('/') +
                                    QFile::decodeName(request.archives[i])))
            return false;
    return true;
}

static double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU time spent by this process itself, children excluded: what the batch
// costs apart from the extractors, and far less disturbed by a busy machine
// than the elapsed time.
static double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing
{
    double elapsed = 0;
    double ownCpu = 0;
};

template <typename Work> static Timing timed(Work work)
{
    const double cpuBefore = ownCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    return {secondsSince(start), ownCpuSeconds() - cpuBefore};
}

static Timing timeBatch(const BatchRequest &request)
{
    BatchResult result;
    const Timing timing = timed([&] { result = runBatch(request); });
    if (result.stoppedBy || !result.failedExtractions.isEmpty())
        std::fprintf(stderr, "batch did not succeed: %s\n",
                     qPrintable(result.stoppedBy ? result.stoppedBy->operation
                                                 : batchReport(result).message));
    return timing;
}

static void plainLoop(const std::string &program, const std::vector<PlainRun> &runs)
{
    for (const PlainRun &run : runs) {
        mkdir(run.folder.c_str(), 0777);
        char *const argv[] = {const_cast<char *>(program.c_str()),
                              const_cast<char *>(run.archive.c_str()),
                              const_cast<char *>(run.folder.c_str()), nullptr};
        pid_t child = 0;
        if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
            std::fprintf(stderr, "could not start %s\n", program.c_str());
            return;
        }
        int status = 0;
        while (waitpid(child, &status, 0) == -1 && errno == EINTR) {
        }
    }
}

static bool emptyDestination(const QString &destination)
{
    QDir dir(destination);
    return dir.removeRecursively() && QDir().mkdir(destination);
}

static double median(const std::vector<Timing> &timings, double Timing::*field)
{
    std::vector<double> values;
    for (const Timing &timing : timings)
        values.push_back(timing.*field);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PKUNZIP [ARCHIVES] [ROUNDS]\n", argv[0]);
        return 2;
    }
    // The batch serves the event loop while it waits for each extractor.
    const QCoreApplication application(argc, argv);
    const QString extractor = QFileInfo(QFile::decodeName(argv[1])).absoluteFilePath();
    const int archives = argc > 2 ? std::atoi(argv[2]) : 5000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;

    QTemporaryDir root;
    QDir dir(root.path());
    if (!root.isValid() || !dir.mkdir(QStringLiteral("program")) ||
        !dir.mkdir(QStringLiteral("roms")) ||
        !QFile::link(extractor, root.filePath(QStringLiteral("program/pkunzip"))))
        return 1;
    BatchRequest request;
    request.source = root.filePath(QStringLiteral("roms"));
    request.destination = root.filePath(QStringLiteral("games"));
    request.extractorDirectory = root.filePath(QStringLiteral("program"));
    std::vector<PlainRun> plainRuns;
    for (int i = 0; i < archives; ++i) {
        const QString folder = QStringLiteral("G%1").arg(i, 5, 10, QLatin1Char('0'));
        request.archives << QFile::encodeName(folder + QStringLiteral(".ZIP"));
        request.selected << true;
        plainRuns.push_back(
            {QFile::encodeName(request.destination + '/' + folder).toStdString(),
             (QFile::encodeName(request.source + '/') + request.archives.last()).toStdString()});
    }
    if (!makeArchives(root, request)) {
        std::fprintf(stderr, "could not make the archives (is zip installed?)\n");
        return 1;
    }
    const std::string program =
        QFile::encodeName(request.extractorDirectory + "/pkunzip").toStdString();

    std::vector<Timing> batchTimes;
    std::vector<Timing> plainTimes;
    for (int round = 0; round < rounds; ++round) {
        // Alternate which goes first so neither always meets a warmer cache.
        for (int turn = 0; turn < 2; ++turn) {
            if (!emptyDestination(request.destination))
                return 1;
            if ((round + turn) % 2 == 0)
                batchTimes.push_back(timeBatch(request));
            else
                plainTimes.push_back(timed([&] { plainLoop(program, plainRuns); }));
        }
        std::fprintf(
            stderr, "round %d: batch %.3f s (own CPU %.3f s), plain loop %.3f s (own CPU %.3f s)\n",
            round + 1, batchTimes.back().elapsed, batchTimes.back().ownCpu,
            plainTimes.back().elapsed, plainTimes.back().ownCpu);
    }
    const double batch = median(batchTimes, &Timing::elapsed);
    const double plain = median(plainTimes, &Timing::elapsed);
    std::fprintf(stderr, "%d archives, %d rounds, extractor %s\n", archives, rounds, argv[1]);
    std::fprintf(stderr, "median elapsed: batch %.3f s, plain loop %.3f s, ratio %.3f\n", batch,
                 plain, batch / plain);
    std::fprintf(stderr, "median own CPU: batch %.3f s, plain loop %.3f s\n",
                 median(batchTimes, &Timing::ownCpu), median(plainTimes, &Timing::ownCpu));
    return 0;
}
