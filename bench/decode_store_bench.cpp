// Decode and store throughput: bytes are cut into frames, decoded and written to a real data
// file in a temporary folder, one flush per chunk as in a receive event.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/data_file.h"
#include "download/frame_receiver.h"
#include "download/reading_decoder.h"
#include "download/unit_names.h"
#include "meter_stream.h"

namespace {

void BM_DecodeAndStore(benchmark::State& state) {
  const size_t chunk = static_cast<size_t>(state.range(0));
  const int kFrames = 100000;
  const std::string wire = rx::bench::MeterStream(kFrames);
  const std::vector<uint8_t> stream(wire.begin(), wire.end());
  const auto path = std::filesystem::temp_directory_path() / "rx7731-bench.dat";
  rx::UnitNames names;
  for (int i = 0; i < rx::UnitNames::kEntries; ++i) names.Store(i, "V");
  int64_t frames = 0;
  for (auto _ : state) {
    rx::DataFileWriter writer;
    writer.OpenDataFile(path.string());
    rx::ReadingDecoder decoder(names, writer);
    rx::FrameReceiver receiver;
    receiver.Reset();
    for (size_t at = 0; at < stream.size(); at += chunk) {
      const size_t n = std::min(chunk, stream.size() - at);
      receiver.Feed(std::span(stream).subspan(at, n), decoder);
      writer.Flush();
    }
    writer.CloseDataFile();
    frames += decoder.datano;
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(frames);
  state.counters["vs_line_rate"] =
      benchmark::Counter(static_cast<double>(frames) / 60.0, benchmark::Counter::kIsRate);
}
// 16: one frame per event; 1024: a full receive buffer; 65536: a fast burst.
BENCHMARK(BM_DecodeAndStore)->Arg(16)->Arg(1024)->Arg(65536)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
