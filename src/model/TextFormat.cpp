#include "model/TextFormat.h"

#include <cstdio>

namespace quav {

namespace {

void vappend(std::string& out, const char* fmt, va_list args) {
    char buffer[512];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buffer, sizeof buffer, fmt, copy);
    va_end(copy);
    if (n < 0)
        return;
    if (static_cast<std::size_t>(n) < sizeof buffer) {
        out.append(buffer, static_cast<std::size_t>(n));
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data() + start, static_cast<std::size_t>(n) + 1, fmt, args);
    out.resize(start + static_cast<std::size_t>(n));
}

} // namespace

std::string format(const char* fmt, ...) {
    std::string out;
    va_list args;
    va_start(args, fmt);
    vappend(out, fmt, args);
    va_end(args);
    return out;
}

void appendFormat(std::string& out, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    vappend(out, fmt, args);
    va_end(args);
}

} // namespace quav
