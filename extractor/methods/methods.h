#pragma once

#include "methods/decoder.h"

// Decodes one member's data with its compression method, writing at most its
// declared uncompressed size. A stream that ends early, holds more than the
// declared size or is not valid for its method fails with damagedData(); a
// method pkunzip cannot decode fails with "unsupported compression method".
// Gives how many compressed bytes the stream took, which is how a member whose
// compressed size is unknown finds its end.
Result<uint64_t> decodeMember(const CompressedMember &member, CompressedInput &input,
                              DecodedOutput &output);
