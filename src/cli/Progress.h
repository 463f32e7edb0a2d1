#pragma once

#include "optimizer/OptimizerRun.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace quav {

/// The optimiser's progress on a terminal: a bar redrawn in place, or plain
/// lines every few seconds when the output is not a terminal. Once a write
/// fails (a closed pipe or terminal) it prints nothing more.
class ProgressDisplay {
public:
    ProgressDisplay(std::FILE* out, bool terminal);
    /// Redraws when enough time has passed since the last update.
    void update(const RunCounters& counters);
    /// The same for work that counts no matches.
    void update(std::int64_t processed, std::int64_t total);
    /// Shows a one-line note (on its own line).
    void note(const std::string& text);
    /// The final state, always shown, ending the bar's line.
    void finish(const RunCounters& counters);
    void finish(std::int64_t processed, std::int64_t total);

    /// The progress line for the given counts and elapsed seconds; a negative
    /// `matches` is left out.
    static std::string line(std::int64_t processed, std::int64_t total, std::int64_t matches,
                            double elapsedSeconds, bool bar);

private:
    /// Whether the time for the next redraw has come.
    bool due();
    void draw(std::int64_t processed, std::int64_t total, std::int64_t matches);
    void endLine();
    /// Writes `text` and flushes, until a write fails.
    void print(const std::string& text);

    std::FILE* out_;
    bool terminal_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_;
    bool drawn_ = false;
    bool closed_ = false; // a write has failed: nothing more is printed
};

} // namespace quav
