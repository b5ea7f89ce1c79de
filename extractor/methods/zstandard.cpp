// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "methods/streamdecoder.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <memory>

namespace {

struct FreeContext
{
    void operator()(ZSTD_DCtx *context) const { ZSTD_freeDCtx(context); }
};

class ZstandardDecoder : public StreamDecoder
{
public:
    Result<void> start()
    {
        context_.reset(ZSTD_createDCtx());
        if (!context_)
            return outOfMemory();
        return {};
    }

    // True at the end of each frame, skippable ones included.
    Result<bool> step(StreamWindows &windows) override
    {
        ZSTD_inBuffer in{windows.in, windows.inLeft, 0};
        ZSTD_outBuffer out{windows.out, windows.outLeft, 0};
        const size_t status = ZSTD_decompressStream(context_.get(), &out, &in);
        windows.in += in.pos;
        windows.inLeft -= in.pos;
        windows.out += out.pos;
        windows.outLeft -= out.pos;
        if (!ZSTD_isError(status))
            return status == 0;
        // The library's default window limit keeps a hostile frame from
        // taking more than about 128 MB.
        switch (ZSTD_getErrorCode(status)) {
        case ZSTD_error_memory_allocation:
            return outOfMemory();
        case ZSTD_error_frameParameter_windowTooLarge:
            return tooMuchMemory();
        default:
            return damagedData();
        }
    }

    // The library starts on the next frame by itself.
    Result<void> startNextStream() override { return {}; }

private:
    std::unique_ptr<ZSTD_DCtx, FreeContext> context_;
};

} // namespace

Result<uint64_t> decodeZstandard(const CompressedMember &member, CompressedInput &input,
                                 DecodedOutput &output)
{
    return decodeWith<ZstandardDecoder>(member, input, output);
}
