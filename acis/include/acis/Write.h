// Writing a modeller save file back, changed only as asked: in the other of
// its two forms (SAT text, SAB binary), or with every body scaled. Every
// record and value is carried over; what the reader keeps apart from the
// model (history, attributes) goes with it.
#pragma once

#include <acis/Model.h>

#include <cstdint>
#include <span>
#include <vector>

namespace acis {

enum class Form { Text, Binary };

// Which form the bytes are in (binary when they start with a SAB signature).
Form formOf(std::span<const std::uint8_t> bytes);

// The same save file in `form`. Throws acis::Error when the bytes cannot be
// read, or hold a value the other form has no way to say.
std::vector<std::uint8_t> inForm(std::span<const std::uint8_t> bytes, Form form);

// The same save file, in its own form, with every body `factor` times as
// large about the origin: each body's transform gains the factor (a body
// without one is given one). Throws acis::Error as inForm does, and for a
// factor that is not a finite positive number.
std::vector<std::uint8_t> scaled(std::span<const std::uint8_t> bytes, double factor);

}  // namespace acis
