#pragma once

#include "data/data_file_reader.h"

namespace rx {

// Writes every reading of `reader` with `writer` (a CsvWriter, a JsonLinesWriter or another
// writer of their shape: WriteHeader, Add, Finish) as they are read. When the file turns out not
// to be a data file part-way through, the rows before the line at fault are finished and the
// DataFileError goes on to the caller, who decides what becomes of them.
template <typename Writer>
void ExportReadings(DataFileReader& reader, Writer& writer) {
  writer.WriteHeader();
  Reading reading;
  try {
    while (reader.Next(reading)) writer.Add(reading);
  } catch (const DataFileError&) {
    writer.Finish();
    throw;
  }
  writer.Finish();
}

}  // namespace rx
