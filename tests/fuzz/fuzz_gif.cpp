// GIF block walk of the animated picture.
#include <span>

#include "controls/GifWalk.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    controls::GifHeader header;
    if (!controls::IsGif(bytes) || !controls::ReadGifHeader(bytes, header))
        return 0;
    size_t count = controls::CountGifFrames(bytes, header);
    auto frames = controls::ExtractGifFrames(bytes, header, 64);
    if (frames.size() > count || frames.size() > 64)
        __builtin_trap();
    for (const auto& frame : frames) {
        // Each rebuilt frame must walk again as a GIF of one frame.
        controls::GifHeader again;
        std::span<const uint8_t> gif(frame.gif);
        if (!controls::ReadGifHeader(gif, again) || controls::CountGifFrames(gif, again) != 1)
            __builtin_trap();
        controls::FrameWaitMs(frame.delay);
    }
    return 0;
}
