#pragma once

#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>

namespace quav {

/// printf-style formatting into a std::string, so that reports and logs print
/// numbers exactly as the C runtime's %g, %f and %lf do.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// Receives text piece by piece; false when it could not be taken, which
/// stops the writer (reports, JSON models written as they are made).
using TextSink = std::function<bool(std::string_view)>;

/// Appends printf-style formatted text to `out`.
void appendFormat(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

} // namespace quav
