#pragma once

#include <CLI/CLI.hpp>

namespace quav {

// Validators for numeric command-line values, for every command's options.
// CLI11 alone ignores an empty value and turns "1e400" into Infinity.

/// A finite decimal number: refuses an empty value, "nan", "inf", and numbers
/// beyond the range of a double in either direction (1e400, 1e-400).
CLI::Validator finiteNumber();

/// A decimal integer from `min` to `max`; refuses an empty value.
CLI::Validator integerIn(long long min, long long max);

} // namespace quav
