#pragma once
// The GIF block walk of the animated picture: header, frame count and frame extraction, each
// frame rebuilt as a standalone GIF for the image decoder. Free of Qt; survives any input (every
// step moves forward and nothing is read past the end of the data).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace controls {

struct GifHeader {
    int width = 0;
    int height = 0;
    size_t globalTableSize = 0;  // bytes
    bool hasBackground = false;
    uint32_t background = 0xFFFFFF;  // 0x00BBGGRR
    size_t dataStart = 0;            // first block after the header and the global colour table
};

// True when the data starts with "GIF".
bool IsGif(std::span<const uint8_t> data);

// Reads the logical screen descriptor and the global colour table. False when the data is too
// short for them.
bool ReadGifHeader(std::span<const uint8_t> data, GifHeader& header);

enum class GifBlock { None, PlainText, GraphicControl, Comment, Application, Image, Trailer };

// Kind of the block at pos (None: not a block the walk knows, or past the end).
GifBlock BlockAt(std::span<const uint8_t> data, size_t pos);
// Size in bytes of the block at pos, its data sub-blocks included; 0 when the block is unknown
// or would run past the end of the data.
size_t BlockSize(std::span<const uint8_t> data, size_t pos);

// Number of image descriptors met by walking the blocks from the header's data start.
size_t CountGifFrames(std::span<const uint8_t> data, const GifHeader& header);

struct GifFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int delay = -1;  // hundredths of a second; -1 without a graphic control extension
    int disposal = 0;
    std::vector<uint8_t> gif;  // header, global colour table, the frame's blocks, trailer
};

// Extracts the frames in file order, at most maxFrames of them.
std::vector<GifFrame> ExtractGifFrames(std::span<const uint8_t> data, const GifHeader& header,
                                       size_t maxFrames);

// Wait after a frame in milliseconds: 10 ms per hundredth for delays of 5 or more, else 100 ms.
int FrameWaitMs(int delay);

// ---- A small GIF writer (uncompressed codes), for pictures made by programs and tests ----
struct GifFrameSpec {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // palette indices, width x height
    int delay = -1;               // no graphic control extension when negative
    int disposal = 0;
    int transparentIndex = -1;
};

// Palette entries are 0x00BBGGRR; at most 256 of them.
std::vector<uint8_t> WriteGif(int width, int height, const std::vector<uint32_t>& palette,
                              int backgroundIndex, const std::vector<GifFrameSpec>& frames);

}  // namespace controls
