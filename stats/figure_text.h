#pragma once

// Figures as a person reads them: at the resolution of the readings they come from, with the
// trailing zeros that resolution gives, and lined up on their decimal points in a column. What
// programs read (the export, stats --format csv|json) keeps the shortest digits that read back.
// Plain C++.

#include <string>
#include <string_view>
#include <vector>

namespace rx {

// The decimals of a value's text as the data file stores it, counted as in plain decimal
// notation: "19.1" 1, "12" 0, "-0.005" 3, "1.234E-29" 32; negative where an exponent makes
// whole tens of the last digit: "1.5E+21" -20. Kept within +-1000, beyond any double's reach.
int DecimalsOf(std::string_view value_text);

// `value` rounded to `decimals` decimals, trailing zeros kept ("19.10" at 2), "." as decimal
// point whatever the locale, and no "-" on a figure that rounds to zero. Plain decimal for
// magnitudes below 1e21 at 0 to 15 decimals; otherwise d.ddddE±xx with as many digits as the
// resolution gives, at most 17 in all, so that a figure near the largest double is written in
// full and reads back as a finite number. Zero in that form is "0".
std::string FigureText(double value, int decimals);

// How AlignFigures fills: blanks for a fixed-width font (a terminal), or for a proportional one
// FIGURE SPACE for a missing digit and PUNCTUATION SPACE for a missing decimal point, which
// take the room of the characters they stand for.
enum class FigurePadding { kBlanks, kFigureSpaces };

// Pads the figures of one column so that, right-aligned, their decimal points line up: each
// text is a figure as FigureText writes it, optionally followed by " (No. N)", or empty. The
// decimals are filled on the right to the column's most; the record No.s on their left to the
// widest, so that the part after the figure is as wide in every row.
void AlignFigures(const std::vector<std::string*>& column, FigurePadding padding);

}  // namespace rx
