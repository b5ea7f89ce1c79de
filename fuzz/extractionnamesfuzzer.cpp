// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Feeds arbitrary names to the folder-name rule and the extractor's command
// lines. The input is up to four parts separated by NUL bytes: the archive
// name, as the file system's bytes, which need not be valid UTF-8, then the
// program directory, the source and the destination, texts read as UTF-8.
#include "extractorcommand.h"
#include "foldername.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <tuple>

namespace {

constexpr qsizetype longestFolderName = 8;
constexpr qsizetype longestCharacter = 4;
// The extractor is always given exactly the archive path and the target.
static_assert(std::tuple_size_v<decltype(ExtractorCommand::arguments)> == 2);

struct Names
{
    QByteArray archive;
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
    return {parts[0], part(1), part(2), part(3)};
}

[[noreturn]] void fail(const char *what, const Names &names, const QByteArray &detail = {})
{
    std::fprintf(stderr,
                 "%s\n  archive: \"%s\"\n  program directory: \"%s\"\n  source: \"%s\"\n"
                 "  destination: \"%s\"\n  got: \"%s\"\n",
                 what, names.archive.constData(), qUtf8Printable(names.programDirectory),
                 qUtf8Printable(names.source), qUtf8Printable(names.destination),
                 detail.constData());
    std::abort();
}

bool isUtf8(const QByteArray &name)
{
    return QByteArrayView(name).isValidUtf8();
}

// Characters are counted here only where the name is valid UTF-8; a stray
// byte is one character, so any name is at most that many bytes per character.
void checkFolderName(const Names &names, const QByteArray &folder)
{
    if (folder.size() > longestFolderName * longestCharacter)
        fail("folder name longer than eight characters", names, folder);
    if (isUtf8(names.archive) &&
        (!isUtf8(folder) || QString::fromUtf8(folder).toUcs4().size() > longestFolderName))
        fail("folder name longer than eight characters or cut in a character", names, folder);
    if (folder.endsWith(' '))
        fail("folder name ends in a blank", names, folder);
    if (!names.archive.startsWith(folder))
        fail("folder name is not the start of the archive name", names, folder);
}

// The extractor is "pkunzip" in the program directory; every path is joined
// with "/" as typed.
void checkCommand(const Names &names, const ExtractorCommand &command, const QByteArray &target)
{
    const QByteArray program = QFile::encodeName(names.programDirectory + "/pkunzip");
    const QByteArray archivePath = QFile::encodeName(names.source + "/") + names.archive;
    if (command.program != program)
        fail("wrong program", names, command.program);
    if (command.arguments[0] != archivePath || command.arguments[1] != target)
        fail("wrong arguments", names, command.text());
    if (command.text() != program + ' ' + archivePath + ' ' + target)
        fail("command text is not the program and both arguments joined by blanks", names,
             command.text());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Names names = namesFrom(data, size);

    const QByteArray destination = QFile::encodeName(names.destination + "/");
    const auto derived = deriveFolderName(names.archive);
    // Characters are counted only where the name is valid UTF-8.
    const bool counted = isUtf8(names.archive);
    const qsizetype characters = counted ? QString::fromUtf8(names.archive).toUcs4().size() : 0;
    if (!derived) {
        const Failure &failure = derived.failure();
        if ((counted && characters >= 4) || failure.kind != FailureKind::NameTooShortForFolder ||
            failure.operation.isEmpty())
            fail("folder-name rule failed wrongly", names, failure.operation.toUtf8());
    } else {
        const QByteArray &folder = *derived;
        if (counted && characters < 4)
            fail("a name of fewer than four characters got a folder", names, folder);
        checkFolderName(names, folder);
        checkCommand(names,
                     extractorCommandIntoFolder(names.programDirectory, names.source, names.archive,
                                                names.destination, folder),
                     destination + folder);
    }
    checkCommand(names,
                 extractorCommandIntoDestination(names.programDirectory, names.source,
                                                 names.archive, names.destination),
                 destination);
    return 0;
}
