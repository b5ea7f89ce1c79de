// Feeds arbitrary names to the folder-name rule and the extractor's command
// lines. The input is up to four texts separated by NUL bytes: the archive
// name, then the program directory, the source and the destination, each read
// as UTF-8 as the file system gives names to the program.
#include "extractorcommand.h"
#include "foldername.h"
#include "platform.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <tuple>

namespace {

constexpr qsizetype longestFolderName = 8;
// The extractor is always given exactly the archive path and the target.
static_assert(std::tuple_size_v<decltype(ExtractorCommand::arguments)> == 2);

struct Names
{
    QString archive;
    QString programDirectory;
    QString source;
    QString destination;
};

Names namesFrom(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0');
    const auto part = [&](qsizetype i) {
        return i < parts.size() ? QString::fromUtf8(parts[i]) : QString();
    };
    return {part(0), part(1), part(2), part(3)};
}

[[noreturn]] void fail(const char *what, const Names &names, const QString &detail = {})
{
    std::fprintf(stderr,
                 "%s\n  archive: \"%s\"\n  program directory: \"%s\"\n  source: \"%s\"\n"
                 "  destination: \"%s\"\n  got: \"%s\"\n",
                 what, qUtf8Printable(names.archive), qUtf8Printable(names.programDirectory),
                 qUtf8Printable(names.source), qUtf8Printable(names.destination),
                 qUtf8Printable(detail));
    std::abort();
}

void checkFolderName(const Names &names, const QString &folder)
{
    const qsizetype characters = folder.toUcs4().size();
    if (characters > longestFolderName)
        fail("folder name longer than eight characters", names, folder);
    if (folder.endsWith(QLatin1Char(' ')))
        fail("folder name ends in a blank", names, folder);
    if (!names.archive.startsWith(folder))
        fail("folder name is not the start of the archive name", names, folder);
    if (folder.size() < names.archive.size() && folder.back().isHighSurrogate())
        fail("folder name cuts a character in half", names, folder);
}

void checkCommand(const Names &names, const ExtractorCommand &command, const QString &target)
{
    const QString program = names.programDirectory + platform::separator + platform::extractorName;
    const QString archivePath = names.source + platform::separator + names.archive;
    if (command.program != program)
        fail("wrong program", names, command.program);
    if (command.arguments[0] != archivePath || command.arguments[1] != target)
        fail("wrong arguments", names, command.text());
    if (command.text() != program + QLatin1Char(' ') + archivePath + QLatin1Char(' ') + target)
        fail("command text is not the program and both arguments joined by blanks", names,
             command.text());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Names names = namesFrom(data, size);

    const auto derived = deriveFolderName(names.archive);
    const qsizetype characters = names.archive.toUcs4().size();
    if (const auto *failure = std::get_if<Failure>(&derived)) {
        if (characters >= 4 || failure->number == 0 || failure->operation.isEmpty())
            fail("folder-name rule failed wrongly", names, failure->operation);
    } else {
        const QString &folder = std::get<QString>(derived);
        if (characters < 4)
            fail("a name of fewer than four characters got a folder", names, folder);
        checkFolderName(names, folder);
        checkCommand(names,
                     extractorCommandIntoFolder(names.programDirectory, names.source, names.archive,
                                                names.destination, folder),
                     names.destination + platform::separator + folder);
    }
    checkCommand(names,
                 extractorCommandIntoDestination(names.programDirectory, names.source,
                                                 names.archive, names.destination),
                 names.destination + platform::separator);
    return 0;
}
