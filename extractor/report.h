#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// What one run tells the user: a line on standard output per member written,
// a line on standard error per problem naming the archive and the member,
// and the exit status that sums them up.
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

    // Announces a member now in place under its final name.
    void written(std::string_view member);

    // Reports a member that was skipped or failed; the run goes on.
    void memberProblem(std::string_view member, std::string_view problem);

    // Reports a failure that ends the run.
    void fatal(std::string_view problem);

    int exitStatus() const;

private:
    std::string archive_;
    std::FILE *writtenStream_;
    std::FILE *problemStream_;
    bool memberFailed_ = false;
    bool fatal_ = false;
};
