#pragma once

#include <cstdarg>
#include <string>

namespace quav {

/// printf-style formatting into a std::string, so that reports and logs print
/// numbers exactly as the C runtime's %g, %f and %lf do.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// Appends printf-style formatted text to `out`.
void appendFormat(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

} // namespace quav
