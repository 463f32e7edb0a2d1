#include "cli/NumberOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace quav {

CLI::Validator finiteNumber() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            if (text.empty())
                return "a number is required";
            errno = 0;
            char* end = nullptr;
            const double v = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0')
                return "'" + text + "' is not a number";
            if (!std::isfinite(v))
                return "'" + text + "' is not a finite number";
            if (errno == ERANGE)
                return "'" + text + "' is outside the range of numbers";
            return {};
        },
        "NUMBER", "finite number");
}

CLI::Validator integerIn(long long min, long long max) {
    const std::string range = std::to_string(min) + " to " + std::to_string(max);
    return CLI::Validator(
        [min, max, range](std::string& text) -> std::string {
            if (text.empty())
                return "an integer is required";
            errno = 0;
            char* end = nullptr;
            const long long v = std::strtoll(text.c_str(), &end, 10);
            if (end == text.c_str() || *end != '\0')
                return "'" + text + "' is not an integer";
            if (errno == ERANGE || v < min || v > max)
                return "'" + text + "' is not in the range " + range;
            return {};
        },
        "INT in [" + range + "]", "integer range");
}

} // namespace quav
