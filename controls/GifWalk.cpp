#include "controls/GifWalk.h"

#include <algorithm>

namespace controls {

namespace {

unsigned U16(std::span<const uint8_t> d, size_t pos) {
    return unsigned(d[pos]) | (unsigned(d[pos + 1]) << 8);
}

size_t ColourTableSize(uint8_t flags) {
    if (!(flags & 0x80)) {
        return 0;
    }
    return 3u * (size_t(1) << ((flags & 7) + 1));
}

// Adds a run of data sub-blocks starting at pos to `size`; false when it runs past the end.
bool SubBlocks(std::span<const uint8_t> d, size_t pos, size_t& size) {
    while (true) {
        if (pos >= d.size()) {
            return false;
        }
        size_t len = d[pos];
        size += len + 1;
        if (len == 0) {
            return true;
        }
        pos += len + 1;
    }
}

}  // namespace

bool IsGif(std::span<const uint8_t> data) {
    return data.size() >= 3 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F';
}

bool ReadGifHeader(std::span<const uint8_t> data, GifHeader& h) {
    h = GifHeader{};
    if (!IsGif(data) || data.size() < 13) {
        return false;
    }
    h.width = int(U16(data, 6));
    h.height = int(U16(data, 8));
    uint8_t flags = data[10];
    h.globalTableSize = ColourTableSize(flags);
    if (data.size() < 13 + h.globalTableSize) {
        return false;
    }
    if (h.globalTableSize) {
        size_t index = data[11];
        size_t entry = 13 + 3 * index;
        if (entry + 3 <= 13 + h.globalTableSize) {
            h.hasBackground = true;
            h.background = uint32_t(data[entry]) | (uint32_t(data[entry + 1]) << 8) |
                           (uint32_t(data[entry + 2]) << 16);
        }
    }
    h.dataStart = 13 + h.globalTableSize;
    return true;
}

GifBlock BlockAt(std::span<const uint8_t> d, size_t pos) {
    if (pos >= d.size()) {
        return GifBlock::None;
    }
    switch (d[pos]) {
        case 0x2C:
            return GifBlock::Image;
        case 0x3B:
            return GifBlock::Trailer;
        case 0x21:
            if (pos + 1 >= d.size()) {
                return GifBlock::None;
            }
            switch (d[pos + 1]) {
                case 0x01:
                    return GifBlock::PlainText;
                case 0xF9:
                    return GifBlock::GraphicControl;
                case 0xFE:
                    return GifBlock::Comment;
                case 0xFF:
                    return GifBlock::Application;
            }
            return GifBlock::None;
    }
    return GifBlock::None;
}

size_t BlockSize(std::span<const uint8_t> d, size_t pos) {
    size_t size = 0;
    switch (BlockAt(d, pos)) {
        case GifBlock::None:
            return 0;
        case GifBlock::Trailer:
            size = 1;
            break;
        case GifBlock::GraphicControl:
            size = 8;
            break;
        case GifBlock::PlainText:
        case GifBlock::Comment:
        case GifBlock::Application: {
            size_t head = BlockAt(d, pos) == GifBlock::PlainText ? 15
                          : BlockAt(d, pos) == GifBlock::Comment ? 2
                                                                 : 14;
            size = head;
            if (!SubBlocks(d, pos + head, size)) {
                return 0;
            }
            break;
        }
        case GifBlock::Image: {
            if (pos + 10 > d.size()) {
                return 0;
            }
            size = 10 + ColourTableSize(d[pos + 9]) + 1;
            if (!SubBlocks(d, pos + size, size)) {
                return 0;
            }
            break;
        }
    }
    if (size > d.size() - pos) {
        return 0;
    }
    return size;
}

size_t CountGifFrames(std::span<const uint8_t> d, const GifHeader& h) {
    size_t count = 0;
    size_t pos = h.dataStart;
    while (true) {
        GifBlock kind = BlockAt(d, pos);
        size_t size = BlockSize(d, pos);
        if (size == 0 || kind == GifBlock::Trailer) {
            return count;
        }
        if (kind == GifBlock::Image) {
            ++count;
        }
        pos += size;
    }
}

std::vector<GifFrame> ExtractGifFrames(std::span<const uint8_t> d, const GifHeader& h,
                                       size_t maxFrames) {
    std::vector<GifFrame> frames;
    size_t pos = h.dataStart;
    if (pos > d.size()) {
        return frames;
    }
    while (frames.size() < maxFrames) {
        // Skip to the next graphic control extension or image descriptor.
        GifBlock kind;
        while (true) {
            kind = BlockAt(d, pos);
            if (kind == GifBlock::GraphicControl || kind == GifBlock::Image) {
                break;
            }
            size_t size = BlockSize(d, pos);
            if (size == 0 || kind == GifBlock::Trailer) {
                return frames;
            }
            pos += size;
        }
        GifFrame frame;
        size_t start = pos;
        if (kind == GifBlock::GraphicControl) {
            if (BlockSize(d, pos) == 0) {
                return frames;
            }
            uint8_t packed = d[pos + 3];
            frame.disposal = (packed >> 2) & 7;
            frame.delay = int(U16(d, pos + 4));
            pos += 8;
            // Walk on to the image descriptor, keeping the blocks in between.
            while (BlockAt(d, pos) != GifBlock::Image) {
                size_t size = BlockSize(d, pos);
                if (size == 0 || BlockAt(d, pos) == GifBlock::Trailer) {
                    return frames;
                }
                pos += size;
            }
        }
        size_t imageSize = BlockSize(d, pos);
        if (imageSize == 0) {
            return frames;
        }
        frame.left = int(U16(d, pos + 1));
        frame.top = int(U16(d, pos + 3));
        frame.width = int(U16(d, pos + 5));
        frame.height = int(U16(d, pos + 7));
        pos += imageSize;
        frame.gif.reserve(h.dataStart + (pos - start) + 1);
        frame.gif.insert(frame.gif.end(), d.begin(), d.begin() + ptrdiff_t(h.dataStart));
        frame.gif.insert(frame.gif.end(), d.begin() + ptrdiff_t(start), d.begin() + ptrdiff_t(pos));
        frame.gif.push_back(0x3B);
        frames.push_back(std::move(frame));
    }
    return frames;
}

int FrameWaitMs(int delay) {
    return delay >= 5 ? delay * 10 : 100;
}

// ---- writer ----

namespace {

class BitWriter {
  public:
    void Put(unsigned code, int bits) {
        acc_ |= uint32_t(code) << nbits_;
        nbits_ += bits;
        while (nbits_ >= 8) {
            bytes_.push_back(uint8_t(acc_ & 0xFF));
            acc_ >>= 8;
            nbits_ -= 8;
        }
    }
    std::vector<uint8_t> Finish() {
        if (nbits_ > 0) {
            bytes_.push_back(uint8_t(acc_ & 0xFF));
        }
        return std::move(bytes_);
    }

  private:
    std::vector<uint8_t> bytes_;
    uint32_t acc_ = 0;
    int nbits_ = 0;
};

void PutU16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(uint8_t(v & 0xFF));
    out.push_back(uint8_t((v >> 8) & 0xFF));
}

}  // namespace

std::vector<uint8_t> WriteGif(int width, int height, const std::vector<uint32_t>& palette,
                              int backgroundIndex, const std::vector<GifFrameSpec>& frames) {
    int n = 0;  // table of 2^(n+1) entries
    while ((size_t(1) << (n + 1)) < palette.size() && n < 7) {
        ++n;
    }
    const size_t entries = size_t(1) << (n + 1);
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    PutU16(out, unsigned(width));
    PutU16(out, unsigned(height));
    out.push_back(uint8_t(0x80 | (n << 4) | n));
    out.push_back(uint8_t(backgroundIndex));
    out.push_back(0);
    for (size_t i = 0; i < entries; ++i) {
        uint32_t c = i < palette.size() ? palette[i] : 0;
        out.push_back(uint8_t(c & 0xFF));
        out.push_back(uint8_t((c >> 8) & 0xFF));
        out.push_back(uint8_t((c >> 16) & 0xFF));
    }
    const int codeSize = std::max(2, n + 1);
    const unsigned clear = 1u << codeSize;
    const unsigned eoi = clear + 1;
    const int width0 = codeSize + 1;
    for (const GifFrameSpec& f : frames) {
        if (f.delay >= 0) {
            out.insert(out.end(), {0x21, 0xF9, 0x04});
            out.push_back(uint8_t(((f.disposal & 7) << 2) | (f.transparentIndex >= 0 ? 1 : 0)));
            PutU16(out, unsigned(f.delay));
            out.push_back(uint8_t(f.transparentIndex >= 0 ? f.transparentIndex : 0));
            out.push_back(0);
        }
        out.push_back(0x2C);
        PutU16(out, unsigned(f.left));
        PutU16(out, unsigned(f.top));
        PutU16(out, unsigned(f.width));
        PutU16(out, unsigned(f.height));
        out.push_back(0);
        out.push_back(uint8_t(codeSize));
        // A clear code before every second pixel keeps the code width fixed, so no
        // compression is needed.
        BitWriter bits;
        size_t count = size_t(std::max(0, f.width)) * size_t(std::max(0, f.height));
        for (size_t i = 0; i < count; ++i) {
            if (i % 2 == 0) {
                bits.Put(clear, width0);
            }
            bits.Put(i < f.pixels.size() ? f.pixels[i] : 0, width0);
        }
        bits.Put(eoi, width0);
        std::vector<uint8_t> data = bits.Finish();
        for (size_t i = 0; i < data.size(); i += 255) {
            size_t len = std::min<size_t>(255, data.size() - i);
            out.push_back(uint8_t(len));
            out.insert(out.end(), data.begin() + ptrdiff_t(i), data.begin() + ptrdiff_t(i + len));
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

}  // namespace controls
