#pragma once

#include "methods/decoder.h"

// Decodes one member's data with its compression method, as any Decoder
// does; a method pkunzip cannot decode fails with "unsupported compression
// method".
Decoder decodeMember;
