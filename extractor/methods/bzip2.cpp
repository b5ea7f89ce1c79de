// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "methods/streamdecoder.h"

#include <bzlib.h>

#include <climits>
#include <memory>

namespace {

struct DecompressEnd
{
    void operator()(bz_stream *stream) const
    {
        BZ2_bzDecompressEnd(stream);
        delete stream;
    }
};

class Bzip2Decoder : public StreamDecoder
{
public:
    Result<void> start()
    {
        auto stream = std::make_unique<bz_stream>();
        if (BZ2_bzDecompressInit(stream.get(), 0, 0) != BZ_OK)
            return outOfMemory();
        stream_.reset(stream.release());
        return {};
    }

    Result<bool> step(StreamWindows &windows) override
    {
        // libbz2 counts in unsigned int; blocks here are far below its limit.
        stream_->next_in = const_cast<char *>(reinterpret_cast<const char *>(windows.in));
        stream_->avail_in = static_cast<unsigned>(windows.inLeft);
        stream_->next_out = reinterpret_cast<char *>(windows.out);
        stream_->avail_out = static_cast<unsigned>(windows.outLeft);
        const int status = BZ2_bzDecompress(stream_.get());
        windows.in = reinterpret_cast<const unsigned char *>(stream_->next_in);
        windows.inLeft = stream_->avail_in;
        windows.out = reinterpret_cast<unsigned char *>(stream_->next_out);
        windows.outLeft = stream_->avail_out;
        if (status == BZ_STREAM_END)
            return true;
        if (status == BZ_OK)
            return false;
        if (status == BZ_MEM_ERROR)
            return outOfMemory();
        return damagedData();
    }

private:
    std::unique_ptr<bz_stream, DecompressEnd> stream_;
};

} // namespace

Result<uint64_t> decodeBzip2(const CompressedMember &member, CompressedInput &input,
                             DecodedOutput &output)
{
    return decodeWith<Bzip2Decoder>(member, input, output);
}
