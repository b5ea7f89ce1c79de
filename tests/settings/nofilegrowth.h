#pragma once

#include <csignal>
#include <sys/resource.h>

// While one lives, no write can make a file grow, whoever runs the tests
// (root included, whom permission bits do not stop): the file size limit is
// zero and SIGXFSZ is ignored, so the write fails with EFBIG instead of
// ending the process. Pipes and terminals are not affected.
class NoFileGrowth
{
public:
    NoFileGrowth()
    {
        if (getrlimit(RLIMIT_FSIZE, &saved) != 0)
            return;
        rlimit none = saved;
        none.rlim_cur = 0;
        active = setrlimit(RLIMIT_FSIZE, &none) == 0;
        if (active)
            previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    }

    ~NoFileGrowth()
    {
        if (!active)
            return;
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }

    NoFileGrowth(const NoFileGrowth &) = delete;
    NoFileGrowth &operator=(const NoFileGrowth &) = delete;

    bool active = false;

private:
    rlimit saved{};
    void (*previousHandler)(int) = SIG_DFL;
};
