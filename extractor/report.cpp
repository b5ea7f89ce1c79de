// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "report.h"

#include "zip/membername.h"

#include <cstdio>

void MemberLines::written(std::string_view member)
{
    lines_.push_back({false, memberName::printable(member) + '\n'});
}

void MemberLines::problem(std::string_view member, std::string_view problem)
{
    failed_ = true;
    warning(member, problem);
}

void MemberLines::warning(std::string_view member, std::string_view warning)
{
    lines_.push_back(
        {true, memberName::printable(member) + ": " + memberName::printable(warning) + '\n'});
}

void Report::publish(size_t index, MemberLines lines)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    memberFailed_ = memberFailed_ || lines.failed_;
    if (index != nextIndex_) {
        held_.emplace(index, std::move(lines));
        return;
    }
    print(lines);
    for (auto next = held_.find(++nextIndex_); next != held_.end();
         next = held_.find(++nextIndex_)) {
        print(next->second);
        held_.erase(next);
    }
}

std::string Report::problemPrefix() const
{
    return "pkunzip: " + memberName::printable(archive_) + ": ";
}

void Report::print(const MemberLines &lines)
{
    // One call per line, so lines from a shared standard error stay whole.
    for (const auto &line : lines.lines_) {
        if (line.problem)
            std::fputs((problemPrefix() + line.text).c_str(), problemStream_);
        else
            std::fputs(line.text.c_str(), writtenStream_);
    }
}

void Report::printProblem(std::string_view problem)
{
    const std::string line = problemPrefix() + memberName::printable(problem) + '\n';
    std::fputs(line.c_str(), problemStream_);
}

void Report::fatal(std::string_view problem)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    fatal_ = true;
    printProblem(problem);
}

void Report::damaged(std::string_view problem)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    memberFailed_ = true;
    printProblem(problem);
}

void Report::remark(std::string_view remark)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::string line = problemPrefix() + memberName::printable(remark) + '\n';
    std::fputs(line.c_str(), writtenStream_);
}

int Report::exitStatus() const
{
    if (fatal_)
        return archiveUnreadable;
    return memberFailed_ ? someMembersFailed : allWritten;
}
