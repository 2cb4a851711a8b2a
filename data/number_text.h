#pragma once
// The general number text: 15 significant digits, "." as decimal separator, no thousands
// separators, "E" notation outside 1E-4 … 1E15. Cell texts and normalised amounts both use it.
#include <string>

namespace vestrano {

std::string GeneralNumberText(double value);

// Appends a non-negative value with exactly width digits, zero-padded ("05", "0012").
void AppendZeroPadded(std::string& out, int value, int width);

}  // namespace vestrano
