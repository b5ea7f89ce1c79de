#include "report.h"

#include "membername.h"

#include <cstdio>

void Report::written(std::string_view member)
{
    const std::string line = memberName::printable(member) + '\n';
    std::fputs(line.c_str(), writtenStream_);
}

void Report::memberProblem(std::string_view member, std::string_view problem)
{
    memberFailed_ = true;
    // One call per line, so lines from a shared standard error stay whole.
    const std::string line = "pkunzip: " + memberName::printable(archive_) + ": " +
                             memberName::printable(member) + ": " + memberName::printable(problem) +
                             '\n';
    std::fputs(line.c_str(), problemStream_);
}

void Report::fatal(std::string_view problem)
{
    fatal_ = true;
    const std::string line = "pkunzip: " + memberName::printable(archive_) + ": " +
                             memberName::printable(problem) + '\n';
    std::fputs(line.c_str(), problemStream_);
}

int Report::exitStatus() const
{
    if (fatal_)
        return archiveUnreadable;
    return memberFailed_ ? someMembersFailed : allWritten;
}
