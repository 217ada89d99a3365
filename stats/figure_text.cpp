#include "stats/figure_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace rx {
namespace {

constexpr int kDecimalsLimit = 1000;
// The most digits after the point in the exponent form: with the one before it, the 17 that
// tell every double apart.
constexpr int kMostMantissaDecimals = 16;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The exponent of a text that std::to_chars wrote in scientific form.
int ExponentOf(const char* text, const char* end) {
  const char* e = std::find(text, end, 'e');
  int exponent = 0;
  std::from_chars(e + 1 + (e[1] == '+'), end, exponent);
  return exponent;
}

constexpr std::string_view kFigureSpace = "\u2007";
constexpr std::string_view kPunctuationSpace = "\u2008";
constexpr std::string_view kAt = " (No. ";

void AppendPadding(std::string& out, size_t count, FigurePadding padding, bool point_first) {
  for (size_t i = 0; i < count; ++i) {
    if (padding == FigurePadding::kBlanks) {
      out += ' ';
    } else {
      out += i == 0 && point_first ? kPunctuationSpace : kFigureSpace;
    }
  }
}

}  // namespace

int DecimalsOf(std::string_view t) {
  size_t i = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
  while (i < t.size() && IsDigit(t[i])) ++i;
  int decimals = 0;
  if (i < t.size() && t[i] == '.') {
    const size_t start = ++i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    decimals = static_cast<int>(std::min<size_t>(i - start, kDecimalsLimit));
  }
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    const bool negative = i < t.size() && t[i] == '-';
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
    int exponent = 0;
    for (; i < t.size() && IsDigit(t[i]); ++i) {
      exponent = std::min(exponent * 10 + (t[i] - '0'), kDecimalsLimit);
    }
    decimals += negative ? exponent : -exponent;
  }
  return std::clamp(decimals, -kDecimalsLimit, kDecimalsLimit);
}

std::string FigureText(double value, int decimals) {
  char text[64];
  char* end = nullptr;
  if (std::fabs(value) < 1e21 && decimals >= 0 && decimals <= 15) {
    end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  } else if (value == 0) {
    return "0";
  } else {
    // The exponent of `value` as written in full, then the digits that the resolution leaves.
    end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    const int exponent = ExponentOf(text, end);
    const int digits = std::clamp(decimals + exponent, 0, kMostMantissaDecimals);
    end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, digits).ptr;
    char* e = std::find(text, end, 'e');
    // Rounding carried the mantissa to 10 (9.96E+25 to 1.0E+26): the resolution's last digit
    // stays where it was, one place further from the point now that the exponent is one up.
    if (ExponentOf(text, end) > exponent && digits < kMostMantissaDecimals) {
      std::string_view more = digits == 0 ? ".0" : "0";
      std::copy_backward(e, end, end + more.size());
      std::copy(more.begin(), more.end(), e);
      end += more.size();
      e += more.size();
    }
    *e = 'E';
  }
  std::string figure(text, end);
  if (figure.front() == '-' && figure.find_first_of("123456789") == std::string::npos) {
    figure.erase(0, 1);
  }
  return figure;
}

void AlignFigures(const std::vector<std::string*>& column, FigurePadding padding) {
  struct Parts {
    size_t figure_end, decimals, number;  // the figure's end, its decimals' width, the No.'s
  };
  std::vector<Parts> parts(column.size());
  size_t most_decimals = 0, widest_number = 0;
  for (size_t i = 0; i < column.size(); ++i) {
    const std::string& cell = *column[i];
    Parts& p = parts[i];
    p.figure_end = std::min(cell.find(' '), cell.size());
    const size_t point = std::min(cell.find_first_of(".E"), p.figure_end);
    p.decimals = p.figure_end - point;
    if (cell.compare(p.figure_end, kAt.size(), kAt) == 0) {
      p.number = cell.size() - (p.figure_end + kAt.size()) - 1;  // before the ")"
    } else {
      p.number = 0;
    }
    most_decimals = std::max(most_decimals, p.decimals);
    widest_number = std::max(widest_number, p.number);
  }
  for (size_t i = 0; i < column.size(); ++i) {
    std::string& cell = *column[i];
    const Parts& p = parts[i];
    if (cell.empty()) continue;
    std::string padded = cell.substr(0, p.figure_end);
    AppendPadding(padded, most_decimals - p.decimals, padding, p.decimals == 0);
    if (p.figure_end < cell.size()) {
      padded += kAt;
      AppendPadding(padded, widest_number - p.number, padding, false);
      padded.append(cell, p.figure_end + kAt.size());
    }
    cell = std::move(padded);
  }
}

}  // namespace rx
