#pragma once

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/resource.h>

// The bytes the program saves for c:\roms and d:\mame.
inline const QByteArray romsAndMame("\"c:\\roms\"\r\n\"d:\\mame\"\r\n");

inline QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Leaves at path what a test row names: "nothing", "roms and mame" saved,
// "one field" (too few to load) or a "directory" (unreadable as a file).
inline bool leaveSettings(const QString &path, const QString &what)
{
    if (what == QLatin1String("roms and mame"))
        return writeFile(path, romsAndMame);
    if (what == QLatin1String("one field"))
        return writeFile(path, "\"c:\\roms\"\r\n");
    if (what == QLatin1String("directory"))
        return QDir().mkdir(path);
    return what == QLatin1String("nothing");
}

// While one lives, no write can make a file grow, whoever runs the tests
// (root included, whom permission bits do not stop): the file size limit is
// zero and SIGXFSZ is ignored, so the write fails with EFBIG instead of
// ending the process. Pipes and terminals are not affected.
class NoFileGrowth
{
public:
    NoFileGrowth()
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit none{0, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &none);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~NoFileGrowth()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }

private:
    rlimit saved{RLIM_INFINITY, RLIM_INFINITY};
    void (*previousHandler)(int) = SIG_DFL;
};
