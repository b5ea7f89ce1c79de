// Stands in for pkunzip in the tests. Each run takes 20 ms, like a small
// extraction, and appends one line to the file named by VRILLO_STUB_LOG: its
// start and end on the monotonic clock, its working directory, the identity
// of its standard input, output and error, then its arguments, all separated
// by NUL characters. It then ends as VRILLO_STUB_STATUS says for the
// archive's file name: a line "NAME=3" exits with status 3, "NAME=signal 9"
// ends by signal 9; any other archive exits with 0.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

static std::string now()
{
    return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
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

static std::string environmentText(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

// What follows "NAME=" on the archive's line of VRILLO_STUB_STATUS, or "0".
static std::string chosenEnd(const std::string &archivePath)
{
    const std::string name = archivePath.substr(archivePath.rfind('/') + 1);
    const std::string table = "\n" + environmentText("VRILLO_STUB_STATUS") + "\n";
    const auto line = table.find("\n" + name + "=");
    if (line == std::string::npos)
        return "0";
    const auto begin = line + name.size() + 2;
    return table.substr(begin, table.find('\n', begin) - begin);
}

int main(int argc, char *argv[])
{
    std::string record = now() + '\0';
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    char cwd[4096] = {};
    record += now() + '\0' + (getcwd(cwd, sizeof cwd) ? cwd : "") + '\0' + streamIdentity(0) +
              '\0' + streamIdentity(1) + '\0' + streamIdentity(2);
    for (int i = 1; i < argc; ++i)
        record += std::string(1, '\0') + argv[i];
    record += '\n';

    const int log = open(environmentText("VRILLO_STUB_LOG").c_str(),
                         O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0 || write(log, record.data(), record.size()) != ssize_t(record.size()))
        return 99;
    close(log);

    const std::string end = chosenEnd(argc > 1 ? argv[1] : "");
    if (end.compare(0, 7, "signal ") == 0)
        raise(std::stoi(end.substr(7)));
    return std::stoi(end);
}
