// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/recordbytes.h"

namespace zipRecords {

Error cutShort()
{
    return Error{"the archive ends inside it"};
}

Result<std::string> readExactly(const ByteSource &file, size_t size, uint64_t offset)
{
    std::string bytes(size, '\0');
    const Result<size_t> got = file.read(bytes.data(), size, offset);
    if (!got)
        return got.error();
    if (*got != size)
        return cutShort();
    return bytes;
}

bool signatureAt(const ByteSource &file, uint64_t offset, std::string_view signature)
{
    const Result<std::string> bytes = readExactly(file, signature.size(), offset);
    return bytes && *bytes == signature;
}

} // namespace zipRecords
