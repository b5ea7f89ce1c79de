#pragma once

#include "methods/decoder.h"

// Decoders for the methods no library decodes, each written from the ZIP
// format's own description. Like decodeMember() they write at most the
// member's declared size, fail with damagedData() on a stream that is not
// valid for the method, and give how many compressed bytes they took.

// Method 9, Deflate64: deflate with a 64 KiB window, length code 285 standing
// for 3 plus 16 extra bits, and distance codes 30 and 31.
Result<uint64_t> decodeDeflate64(const CompressedMember &member, CompressedInput &input,
                                 DecodedOutput &output);

// Method 6, Implode: a 4 or 8 KiB sliding dictionary coded with two or three
// Shannon-Fano trees, chosen by general purpose flag bits 1 and 2.
Result<uint64_t> decodeImplode(const CompressedMember &member, CompressedInput &input,
                               DecodedOutput &output);

// Method 1, Shrink: LZW with 9- to 13-bit codes, the code size and the
// partial clearing of the table under the compressor's control.
Result<uint64_t> decodeShrink(const CompressedMember &member, CompressedInput &input,
                              DecodedOutput &output);

// Methods 2 to 5, Reduce with compression factors 1 to 4: follower sets
// under a run of byte copies from up to 4 KiB back.
Result<uint64_t> decodeReduce(const CompressedMember &member, CompressedInput &input,
                              DecodedOutput &output);
