// Line splitting of label texts and the GIF block walk.
#include <benchmark/benchmark.h>

#include <string>

#include "controls/ControlsLogic.h"
#include "controls/GifWalk.h"

using namespace controls;

namespace {

int Fixed7(std::wstring_view s) {
    return int(s.size()) * 7;
}

std::wstring Paragraph(size_t words) {
    std::wstring text;
    for (size_t i = 0; i < words; ++i) {
        text += (i % 9 == 8) ? L"configuration\r\n" : L"word ";
    }
    return text;
}

void BM_SplitLabelLines(benchmark::State& state) {
    const std::wstring text = Paragraph(size_t(state.range(0)));
    for (auto _ : state) {
        auto lines = SplitLabelLines(text, 300, Fixed7);
        benchmark::DoNotOptimize(lines);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_SplitLabelLines)->Arg(20)->Arg(200)->Arg(2000);

void BM_GifWalk(benchmark::State& state) {
    std::vector<GifFrameSpec> frames;
    for (int i = 0; i < state.range(0); ++i) {
        frames.push_back(
            GifFrameSpec{0, 0, 32, 32, std::vector<uint8_t>(1024, uint8_t(i & 1)), 10, 2, -1});
    }
    const auto gif = WriteGif(32, 32, {0, 0xFFFFFF}, 0, frames);
    GifHeader header;
    ReadGifHeader(gif, header);
    for (auto _ : state) {
        size_t count = CountGifFrames(gif, header);
        auto extracted = ExtractGifFrames(gif, header, 4096);
        benchmark::DoNotOptimize(count);
        benchmark::DoNotOptimize(extracted);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(gif.size()));
}
BENCHMARK(BM_GifWalk)->Arg(10)->Arg(100);

}  // namespace
