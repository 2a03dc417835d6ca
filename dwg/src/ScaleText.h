// Texts whose numbers change when a drawing is scaled: absolute heights in
// MTEXT formatting, and the value a dimension shows.
#pragma once

#include <string>
#include <string_view>

namespace dwg::detail {

// `text` with every absolute height code (\H2.5;) `factor` times as large;
// relative ones (\H0.7x;) stay.
std::string scaledMTextHeights(std::string_view text, double factor);

// Replaces the first number shown in `text` that reads `before` (at the
// precision it is written with) by `after` with as many decimals, and the
// same decimal sign. Formatting codes are passed over. False when no number
// reads `before`.
bool replaceShownValue(std::string& text, double before, double after);

}  // namespace dwg::detail
