// Feeds pkunzip's own decoders raw streams: the first byte picks the method
// (and Implode's flags), the next two the declared size, the rest is the
// stream. Whatever the stream, a decoder writes no more than the declared
// size and, when it succeeds, exactly that.
#include "methods.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

struct MethodChoice
{
    uint16_t method;
    uint16_t flags;
};

constexpr MethodChoice choices[] = {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0},
                                    {6, 0}, {6, 2}, {6, 4}, {6, 6}, {9, 0}};

class SliceInput : public CompressedInput
{
public:
    SliceInput(const uint8_t *data, size_t size) : data_(data), left_(size) {}

    Result<size_t> read(void *buffer, size_t size) override
    {
        const size_t part = std::min({size, left_, size_t{4093}});
        std::copy_n(data_, part, static_cast<uint8_t *>(buffer));
        data_ += part;
        left_ -= part;
        return part;
    }

private:
    const uint8_t *data_;
    size_t left_;
};

class CountingOutput : public DecodedOutput
{
public:
    Result<void> write(const unsigned char *, size_t size) override
    {
        written += size;
        return {};
    }

    uint64_t written = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const MethodChoice choice = choices[data[0] % std::size(choices)];
    CompressedMember member;
    member.method = choice.method;
    member.flags = choice.flags;
    // Sizes up to 4 MiB in steps of 64, so a short stream can declare a long output.
    member.uncompressedSize = uint64_t{data[1]} | uint64_t{data[2]} << 8;
    if (choice.method == 9 || (data[0] & 0x80) != 0)
        *member.uncompressedSize <<= 6;
    member.compressedSize = size - 3;
    SliceInput input(data + 3, size - 3);
    CountingOutput output;
    const Result<uint64_t> consumed = decodeMember(member, input, output);
    if (output.written > *member.uncompressedSize ||
        (consumed && (output.written != *member.uncompressedSize || *consumed > size - 3))) {
        std::fprintf(stderr, "method %u: wrote %llu of %llu\n", choice.method,
                     static_cast<unsigned long long>(output.written),
                     static_cast<unsigned long long>(*member.uncompressedSize));
        std::abort();
    }
    return 0;
}
