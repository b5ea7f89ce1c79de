// Stands in for pkunzip in the tests. It appends one record per run to the
// file named by VRILLO_STUB_LOG: start and end times, its working directory,
// its standard streams, each argument and whether the target was a directory
// when it started. It sleeps VRILLO_STUB_SLEEP_MS milliseconds, then ends as
// VRILLO_STUB_STATUS says for the archive's file name: lines "NAME=3" exit
// with status 3, lines "NAME=signal 9" end by signal 9; any other archive
// exits with 0. No Qt, so that its own start costs as little as the real one.

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

static long long monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

static std::string field(const std::string &name, const std::string &bytes)
{
    return name + " " + std::to_string(bytes.size()) + "\n" + bytes + "\n";
}

static std::string streamIdentity(int fd)
{
    struct stat status
    {
    };
    if (fstat(fd, &status) != 0)
        return "closed";
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

static bool isDirectory(const char *path)
{
    struct stat status
    {
    };
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

static std::string environmentText(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

static std::string baseName(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The line "NAME=..." of VRILLO_STUB_STATUS for this archive, or "0".
static std::string chosenEnd(const std::string &archiveName)
{
    const std::string table = environmentText("VRILLO_STUB_STATUS");
    size_t begin = 0;
    while (begin < table.size()) {
        size_t end = table.find('\n', begin);
        if (end == std::string::npos)
            end = table.size();
        const std::string line = table.substr(begin, end - begin);
        if (line.compare(0, archiveName.size() + 1, archiveName + "=") == 0)
            return line.substr(archiveName.size() + 1);
        begin = end + 1;
    }
    return "0";
}

int main(int argc, char *argv[])
{
    const long long start = monotonicNanoseconds();
    const std::string sleep = environmentText("VRILLO_STUB_SLEEP_MS");
    if (!sleep.empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(sleep)));

    char cwd[4096] = {};
    std::string record = "run\n" + field("start", std::to_string(start)) +
                         field("cwd", getcwd(cwd, sizeof cwd) ? cwd : "") +
                         field("stdin", streamIdentity(0)) + field("stdout", streamIdentity(1)) +
                         field("stderr", streamIdentity(2)) +
                         field("argc", std::to_string(argc - 1));
    for (int i = 1; i < argc; ++i)
        record += field("arg", argv[i]);
    record += field("targetdir", argc > 2 && isDirectory(argv[2]) ? "1" : "0");
    record += field("end", std::to_string(monotonicNanoseconds()));

    const int log = open(environmentText("VRILLO_STUB_LOG").c_str(),
                         O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0 || write(log, record.data(), record.size()) != ssize_t(record.size()))
        return 99;
    close(log);

    const std::string end = chosenEnd(argc > 1 ? baseName(argv[1]) : "");
    if (end.compare(0, 7, "signal ") == 0)
        raise(std::stoi(end.substr(7)));
    return std::stoi(end);
}
