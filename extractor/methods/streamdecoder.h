// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/decoder.h"

#include <cstddef>

// The windows a streaming decoder works through: it takes from the front of
// `in` and writes to the front of `out`, moving both past what it used.
struct StreamWindows
{
    const unsigned char *in = nullptr;
    size_t inLeft = 0;
    unsigned char *out = nullptr;
    size_t outLeft = 0;
};

// One compression library's streaming decoder, seen the same way for every
// method so that one loop feeds them all.
class StreamDecoder
{
public:
    virtual ~StreamDecoder() = default;

    // Decodes as much as the windows allow. Gives true once the stream has
    // ended; a step that neither takes nor gives a byte is not an error by
    // itself (the loop judges that), an invalid stream is.
    virtual Result<bool> step(StreamWindows &windows) = 0;

    // Readies the decoder for another stream right after the one that has
    // just ended, in the same member; damagedData() for a method whose
    // member holds only one.
    virtual Result<void> startNextStream() { return damagedData(); }
};

// Feeds `decoder` the member's compressed bytes block by block and writes what
// it decodes, never more than the member's declared size. A stream that ends
// short of the declared size is followed by the next one, for the methods
// whose members may hold several. Fails with damagedData() when the streams
// end early, run past the declared size or decode to a different size. Gives
// the compressed bytes the streams took.
Result<uint64_t> decodeStream(StreamDecoder &decoder, const CompressedMember &member,
                              CompressedInput &input, DecodedOutput &output);

// Starts a fresh `Stream` decoder and feeds it the member.
template <typename Stream>
Result<uint64_t> decodeWith(const CompressedMember &member, CompressedInput &input,
                            DecodedOutput &output)
{
    Stream decoder;
    RETURN_IF_ERROR(decoder.start());
    return decodeStream(decoder, member, input, output);
}

// The decoders of each library, for the method table.
Decoder inflateMember;
Decoder decodeBzip2;
Decoder decodeLzma;
Decoder decodeXz;
Decoder decodeZstandard;
Decoder decodePpmd;

// The failure of a decoder that could not get the memory it needs.
inline Error outOfMemory()
{
    return Error{"out of memory", ErrorKind::outOfMemory};
}

// The failure of a stream that asks for more decoding memory than pkunzip
// grants one member.
inline Error tooMuchMemory()
{
    return Error{"needs more memory to decode than allowed", ErrorKind::outOfMemory};
}

// Reads `size` bytes of the member's data into `buffer`, fewer only when the
// data ends first; gives how many.
Result<size_t> readFully(CompressedInput &input, unsigned char *buffer, size_t size);
