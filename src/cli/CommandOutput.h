#pragma once

#include <string_view>

namespace quav {

// Standard output of quav-cli, checked. Every command prints through
// `writeOut` (or std::cout / stdio, which share one buffer with it) and main()
// ends every command with `finishOutput`, so output cut short by a full disk,
// /dev/full or a closed stdout is never reported as success. New commands need
// nothing more than to be dispatched through main()'s `finishOutput`.

/// Writes `bytes` to stdout; false (and remembered for `finishOutput`) when
/// the write fails, so that a long output can stop early.
bool writeOut(std::string_view bytes);

/// Flushes stdout and checks every write made since the start. On a failure
/// prints why on stderr and returns 2 when `exitCode` is 0 (a command that
/// already failed keeps its own code); otherwise returns `exitCode`.
int finishOutput(int exitCode);

} // namespace quav
