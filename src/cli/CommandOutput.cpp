#include "cli/CommandOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdio_ext.h>

namespace quav {

namespace {

int firstError = 0; // errno of the first failed write through writeOut

} // namespace

bool writeOut(std::string_view bytes) {
    if (bytes.empty())
        return !std::ferror(stdout);
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size())
        return true;
    if (firstError == 0)
        firstError = errno;
    return false;
}

int finishOutput(int exitCode) {
    // std::cout is synchronised with stdio: it has no buffer of its own.
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int flushError = errno;
    if (flushed && !std::ferror(stdout) && !std::cout.fail())
        return exitCode;
    const int err = firstError != 0 ? firstError : flushError;
    if (err != 0)
        std::fprintf(stderr, "quav-cli: cannot write to standard output: %s\n", std::strerror(err));
    else
        std::fputs("quav-cli: cannot write to standard output\n", stderr);
    // The exit must not try the failed buffer again.
    __fpurge(stdout);
    std::clearerr(stdout);
    return exitCode == 0 ? 2 : exitCode;
}

} // namespace quav
