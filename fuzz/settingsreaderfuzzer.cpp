// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Feeds arbitrary bytes to the settings reader. It must give two texts or a
// failure, never crash, and the texts it gives must survive being written
// back and read again whenever the format can hold them.
#include "settingsformat.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QString fileName = QStringLiteral("ini.ini");

[[noreturn]] void fail(const char *what, const SavedDirectories &read)
{
    std::fprintf(stderr, "%s\n  source: \"%s\"\n  destination: \"%s\"\n", what,
                 qUtf8Printable(read.source), qUtf8Printable(read.destination));
    std::abort();
}

// Texts the format cannot hold are refused on writing; every other must come
// back unchanged.
void checkRoundTrip(const SavedDirectories &read)
{
    const Result<QByteArray> written = formatSettings(read, fileName);
    if (!written)
        return;
    const Result<SavedDirectories> reread = parseSettings(*written, fileName);
    if (!reread)
        fail("texts written back could not be read again", read);
    if (reread->source != read.source || reread->destination != read.destination)
        fail("texts written back were read differently", read);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<SavedDirectories> result = parseSettings(bytes, fileName);
    if (result)
        checkRoundTrip(*result);
    else if (const Failure &failure = result.failure();
             failure.operation.isEmpty() || failure.isSystemError(0))
        fail("a failure without its operation or its number", {});
    return 0;
}
