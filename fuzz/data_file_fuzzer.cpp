// Reading a data file of arbitrary bytes with an arbitrary count: the reader returns exactly
// `count` records or fails with a message naming the file, never a partial list; reading from
// disk gives what reading the same bytes in memory gives; and records that the writer can
// store come back unchanged when written and read again.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "data/data_file.h"
#include "fuzz/fuzz_check.h"
#include "support/fakes.h"

namespace rx::fuzz {
namespace {

struct Outcome {
  std::vector<StoredRecord> records;
  std::string error;  // empty when the read succeeded
  bool operator==(const Outcome&) const = default;
};

template <typename Read>
Outcome Attempt(Read read) {
  Outcome outcome;
  try {
    outcome.records = read();
  } catch (const DataFileError& e) {
    outcome.error = e.what();
  }
  return outcome;
}

// A quoted item ends at the next quote or line end, so texts holding one cannot be stored.
bool Storable(const std::string& text) { return text.find_first_of("\"\r\n") == std::string::npos; }

}  // namespace
}  // namespace rx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace rx;
  using namespace rx::fuzz;
  static const ScratchFile file("data-file.dat");
  static const ScratchFile rewritten("data-file-rewritten.dat");

  FuzzedDataProvider input(data, size);
  const uint8_t count_kind = input.ConsumeIntegral<uint8_t>();
  const int32_t count = count_kind < 200   ? count_kind % 40
                        : count_kind < 250 ? input.ConsumeIntegralInRange<int32_t>(-3, 5000)
                                           : input.ConsumeIntegral<int32_t>();
  const std::string bytes = input.ConsumeRemainingBytesAsString();

  const Outcome in_memory = Attempt([&] { return ParseDataFile(bytes, count, file.Path()); });
  if (in_memory.error.empty()) {
    Require(static_cast<int64_t>(in_memory.records.size()) == (count > 0 ? count : 0),
            "exactly count records");
  } else {
    const std::string prefix = "Cannot read data file " + file.Path() + ": ";
    Require(in_memory.error.compare(0, prefix.size(), prefix) == 0 &&
                in_memory.error.size() > prefix.size(),
            "a failure names the file and the reason", in_memory.error);
  }

  test::WriteBytes(file.Path(), bytes);
  const Outcome from_disk = Attempt([&] { return ReadDataFile(file.Path(), count); });
  Require(from_disk == in_memory, "the file on disk reads like the same bytes in memory",
          [&] { return in_memory.error + " / " + from_disk.error; });

  // Write back the records whose texts the writer can store, each as two text items.
  std::vector<StoredRecord> storable;
  for (const StoredRecord& r : in_memory.records) {
    if (Storable(r.ValueText) && Storable(r.UnitText)) storable.push_back(r);
  }
  std::filesystem::remove(rewritten.Path());
  DataFileWriter writer;
  writer.OpenDataFile(rewritten.Path());
  for (size_t i = 0; i < storable.size(); ++i) {
    writer.AppendRecord(static_cast<int32_t>(i), std::string_view(storable[i].ValueText),
                        std::string_view(storable[i].UnitText), storable[i].Channel);
  }
  writer.CloseDataFile();
  if (storable.empty()) {
    Require(!std::filesystem::exists(rewritten.Path()), "a writer given no record leaves no file");
    return 0;
  }
  const Outcome again = Attempt(
      [&] { return ReadDataFile(rewritten.Path(), static_cast<int32_t>(storable.size())); });
  Require(again.error.empty() && again.records == storable,
          "records written by the writer read back unchanged", again.error);
  return 0;
}
