// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// What happened to one member, held until it can be told in archive order.
class MemberLines
{
public:
    // The member is now in place under its final name.
    void written(std::string_view member);

    // The member was skipped or failed; the run goes on.
    void problem(std::string_view member, std::string_view problem);

    // Said on standard error of a member written all the same.
    void warning(std::string_view member, std::string_view warning);

private:
    friend class Report;
    struct Line
    {
        bool problem;
        std::string text;
    };
    std::vector<Line> lines_;
    bool failed_ = false;
};

// What one run tells the user: a line on standard output per member written,
// a line on standard error per problem naming the archive and the member,
// and the exit status that sums them up. Members may be handled by several
// threads at once; their lines still come out in the archive's order.
class Report
{
public:
    // Exit statuses: all written, some member skipped or failed, archive
    // unreadable or bad arguments.
    static constexpr int allWritten = 0;
    static constexpr int someMembersFailed = 1;
    static constexpr int archiveUnreadable = 2;

    // Reports on archive; lines for members written go to `written`, lines
    // for problems to `problems`.
    explicit Report(std::string archive, std::FILE *written = stdout, std::FILE *problems = stderr)
        : archive_(std::move(archive)), writtenStream_(written), problemStream_(problems)
    {
    }

    // Tells the lines of the member at `index` (0 for the archive's first),
    // once those of every member before it are out.
    void publish(size_t index, MemberLines lines);

    // Reports a failure that ends the run.
    void fatal(std::string_view problem);

    // Reports damage to the archive itself that the run got past: not every
    // member it held was written.
    void damaged(std::string_view problem);

    // Tells, on the stream of members written, something of the archive that
    // changes nothing of what was written.
    void remark(std::string_view remark);

    int exitStatus() const;

private:
    void print(const MemberLines &lines);
    void printProblem(std::string_view problem);
    // "pkunzip: ARCHIVE: ", which starts every problem line.
    std::string problemPrefix() const;

    std::mutex mutex_;
    std::string archive_;
    std::FILE *writtenStream_;
    std::FILE *problemStream_;
    size_t nextIndex_ = 0;
    std::map<size_t, MemberLines> held_;
    bool memberFailed_ = false;
    bool fatal_ = false;
};
