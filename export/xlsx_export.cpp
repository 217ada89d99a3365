#include "export/xlsx_export.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "data/native_path.h"
#include "data/text_encoding.h"
#include "export/export_columns.h"

namespace rx {
namespace {

// 1980-01-01 00:00:00 UTC, the date libxlsxwriter gives the zip entries too.
constexpr time_t kCreated = 315532800;
constexpr const char* kSheet = "Readings";
constexpr const char* kTimeFormat = "yyyy-mm-dd hh:mm:ss";
// Room beside a header name for the autofilter's button.
constexpr double kFilterButton = 3;
// Widths past this would hide the columns after a long unit name.
constexpr double kWidestColumn = 60;

enum Column : lxw_col_t { kNumber, kKind, kChannel, kValue, kUnit, kTime, kLastTimeStamp };

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Whether `text` starts with _xHHHH_, which a reader of the workbook would take for an escape.
bool StartsWithEscape(std::string_view text) {
  return text.size() >= 7 && text[0] == '_' && (text[1] == 'x' || text[1] == 'X') &&
         std::all_of(text.begin() + 2, text.begin() + 6, IsHex) && text[6] == '_';
}

size_t CodePoints(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// "2023-12-07T09:30:15" as libxlsxwriter's date and time.
lxw_datetime DateTime(const std::string& iso) {
  const auto number = [&](size_t at, size_t length) {
    int value = 0;
    std::from_chars(iso.data() + at, iso.data() + at + length, value);
    return value;
  };
  return {number(0, 4),  number(5, 2),  number(8, 2),
          number(11, 2), number(14, 2), static_cast<double>(number(17, 2))};
}

// Numbers in the workbook's XML are printed with the C library, whose decimal mark follows the
// numeric locale: the window runs in the user's, where it may be a comma. Held in "C" while a
// workbook is being written.
class CNumericLocale {
 public:
  CNumericLocale() {
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    saved_ = current ? current : "C";
    std::setlocale(LC_NUMERIC, "C");
  }
  ~CNumericLocale() { std::setlocale(LC_NUMERIC, saved_.c_str()); }

 private:
  std::string saved_;
};

}  // namespace

struct XlsxWriter::Book {
  CNumericLocale locale;
  lxw_workbook* workbook = nullptr;
  lxw_worksheet* sheet = nullptr;
  lxw_format* bold = nullptr;
  lxw_format* time = nullptr;

  ~Book() {
    if (workbook) lxw_workbook_free(workbook);
  }
};

std::string XlsxCellText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t code_point = 0;
    const size_t length = DecodeUtf8(text.substr(i), code_point);
    if (length == 0) {
      AppendCodePoint(out, 0xFFFD);
      ++i;
      continue;
    }
    if ((code_point < 0x20 && code_point != '\t' && code_point != '\n') || code_point == 0xFFFE ||
        code_point == 0xFFFF) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "_x%04X_", static_cast<unsigned>(code_point));
      out += escape;
    } else if (StartsWithEscape(text.substr(i))) {
      out += "_x005F_";
    } else {
      out.append(text, i, length);
    }
    i += length;
  }
  return out;
}

XlsxWriter::XlsxWriter(std::string path)
    : path_(std::move(path)), file_(path_), book_(std::make_unique<Book>()) {
  for (size_t c = 0; c < kExportColumns.size(); ++c) {
    widths_[c] = static_cast<double>(kExportColumns[c].size()) + kFilterButton;
  }
  // libxlsxwriter creates the file only when the workbook is complete, and reports a failure
  // there without the system's reason; creating it here first gives it. It writes the file by
  // its name.
  if (const std::error_code error = file_.Create()) {
    problem_ = "Cannot create " + path_ + ": " + error.message();
    return;
  }
  if (const std::error_code error = file_.CloseFile()) {
    problem_ = "Cannot create " + path_ + ": " + error.message();
    return;
  }
  const std::optional<std::string> name = NarrowFileName(file_.FilePath());
  if (!name) {
    problem_ = "Cannot create " + path_ +
               ": the system cannot hand its name to the workbook writer; choose a name in the "
               "system's code page";
    return;
  }
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  book_->workbook = workbook_new_opt(name->c_str(), &options);
  if (book_->workbook) book_->sheet = workbook_add_worksheet(book_->workbook, kSheet);
  if (!book_->sheet) {
    problem_ = "Cannot create " + path_ +
               ": no temporary file for the workbook's rows: " + std::strerror(errno ? errno : EIO);
    return;
  }
  lxw_doc_properties properties = {};
  properties.created = kCreated;
  workbook_set_properties(book_->workbook, &properties);
  book_->bold = workbook_add_format(book_->workbook);
  format_set_bold(book_->bold);
  book_->time = workbook_add_format(book_->workbook);
  format_set_num_format(book_->time, kTimeFormat);
  worksheet_freeze_panes(book_->sheet, 1, 0);
}

// book_ goes first, and with it any file libxlsxwriter holds; then file_ removes the workbook
// that was not finished.
XlsxWriter::~XlsxWriter() = default;

void XlsxWriter::Check(int error, int row) {
  if (error == LXW_NO_ERROR || !problem_.empty()) return;
  const std::string record = "record " + std::to_string(row);
  std::string why;
  if (error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED) {
    why = "the unit of " + record + " is longer than the 32,767 characters a cell holds";
  } else if (error == LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE) {
    why = "a sheet holds 1,048,575 records, and the data file has more";
  } else {
    why = record + ": " + lxw_strerror(static_cast<lxw_error>(error));
  }
  problem_ = "Cannot write " + path_ + ": " + why + " (no workbook is written)";
}

void XlsxWriter::WriteHeader() {
  if (!problem_.empty()) return;
  for (size_t c = 0; c < kExportColumns.size(); ++c) {
    const std::string name(kExportColumns[c]);
    Check(worksheet_write_string(book_->sheet, 0, static_cast<lxw_col_t>(c), name.c_str(),
                                 book_->bold),
          0);
  }
  next_row_ = 1;
}

void XlsxWriter::AddRow(const Reading& reading, const std::optional<std::string>& time,
                        const std::optional<std::string>& last_time_stamp) {
  if (!problem_.empty()) return;
  const auto row = static_cast<lxw_row_t>(next_row_++);
  lxw_worksheet* sheet = book_->sheet;
  const auto text = [&](Column column, std::string_view value) {
    const std::string cell = XlsxCellText(value);
    Check(worksheet_write_string(sheet, row, column, cell.c_str(), nullptr), reading.number);
    widths_[column] =
        std::max(widths_[column], std::min(kWidestColumn, static_cast<double>(CodePoints(cell))));
  };
  const auto number = [&](Column column, double value) {
    // + 0.0 turns -0 into 0, which the CSV writes too.
    Check(worksheet_write_number(sheet, row, column, value + 0.0, nullptr), reading.number);
    char shown[32];
    const auto end = std::to_chars(shown, shown + sizeof shown, value + 0.0).ptr;
    widths_[column] = std::max(widths_[column], static_cast<double>(end - shown) + 1);
  };
  const auto date_time = [&](Column column, const std::optional<std::string>& iso) {
    if (!iso) return;
    lxw_datetime when = DateTime(*iso);
    Check(worksheet_write_datetime(sheet, row, column, &when, book_->time), reading.number);
    widths_[column] = std::max(widths_[column], static_cast<double>(iso->size()) + 1);
  };
  number(kNumber, reading.number);
  text(kKind, KindName(reading.kind));
  number(kChannel, reading.channel);
  if (reading.value) number(kValue, *reading.value);
  text(kUnit, reading.unit);
  date_time(kTime, time);
  date_time(kLastTimeStamp, last_time_stamp);
}

std::string XlsxWriter::Finish() {
  if (!book_) return problem_;
  if (problem_.empty()) {
    for (size_t c = 0; c < widths_.size(); ++c) {
      const auto column = static_cast<lxw_col_t>(c);
      Check(worksheet_set_column(book_->sheet, column, column, widths_[c], nullptr), 0);
    }
    const auto last_row = static_cast<lxw_row_t>(std::max(next_row_ - 1, 0));
    Check(worksheet_autofilter(book_->sheet, 0, 0, last_row, kLastTimeStamp), 0);
  }
  if (problem_.empty()) {
    errno = 0;
    const lxw_error error = workbook_close(book_->workbook);
    book_->workbook = nullptr;  // closing frees it
    if (error != LXW_NO_ERROR) {
      problem_ = "Cannot write " + path_ + ": " +
                 (errno ? std::strerror(errno) : lxw_strerror(error)) + " (no workbook is written)";
    }
  }
  book_.reset();
  if (problem_.empty()) {
    if (const std::error_code error = file_.Commit()) {
      problem_ = "Cannot write " + path_ + ": " + error.message();
    }
  }
  if (!problem_.empty()) file_.Discard();
  return problem_;
}

std::string WriteXlsxFile(const std::string& path, const std::vector<Reading>& readings) {
  XlsxWriter writer(path);
  writer.WriteHeader();
  ForEachExportRow(readings, [&](const Reading& reading, const std::optional<std::string>& time,
                                 const std::optional<std::string>& last_time_stamp) {
    writer.AddRow(reading, time, last_time_stamp);
  });
  return writer.Finish();
}

}  // namespace rx
