// Reads arbitrary bytes as a ZIP archive with pkunzip's reader alone, as
// extraction would but without writing anything: the end records and the
// central directory, each member's local header checked against it, and, as
// for an archive cut short, the walk from one local header signature to the
// next with a data descriptor after each member. Checks what the reader
// promises whatever the bytes: every name is UTF-8, every data offset lies
// inside the file, every walk moves forwards, and memory follows the file's
// size, not the sizes and counts it declares (libFuzzer's -rss_limit_mb).
#include "membername.h"
#include "zipreader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

[[noreturn]] void fail(const std::string &what)
{
    std::fprintf(stderr, "reader fuzzer: %s\n", what.c_str());
    std::abort();
}

void checkEntry(const ArchiveFile &file, const ZipEntry &entry, uint64_t dataOffset)
{
    if (!memberName::isValidUtf8(entry.name))
        fail("a name that is not UTF-8");
    if (dataOffset > file.size)
        fail("data offset past the end of the file");
    const uint64_t length = entry.compressedSize.value_or(0);
    if (length > file.size - dataOffset)
        return;
    const Result<DataDescriptor> descriptor =
        readDataDescriptor(file, dataOffset + length, length, entry.uncompressedSize.value_or(0));
    if (descriptor && (descriptor->end <= dataOffset + length || descriptor->end > file.size))
        fail("data descriptor outside the file");
}

void readListed(const ArchiveFile &file)
{
    const Result<CentralDirectory> directory = readCentralDirectory(file);
    if (!directory)
        return;
    for (const ZipEntry &entry : directory->entries)
        if (const Result<uint64_t> dataOffset = locateData(file, entry))
            checkEntry(file, entry, *dataOffset);
}

void walkLocalHeaders(const ArchiveFile &file)
{
    for (std::optional<uint64_t> offset = findLocalHeader(file, 0); offset;) {
        if (const Result<LocalEntry> walked = readLocalEntry(file, *offset))
            checkEntry(file, walked->entry, walked->dataOffset);
        const std::optional<uint64_t> next = findLocalHeader(file, *offset + 1);
        if (next && *next <= *offset)
            fail("the walk went backwards");
        offset = next;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int fd = ::memfd_create("archive", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        fail("cannot hold the input in memory");
    const ArchiveFile file{fd, size};
    readListed(file);
    walkLocalHeaders(file);
    ::close(fd);
    return 0;
}
