#include "cli/Progress.h"

#include "model/TextFormat.h"
#include "optimizer/RunProgress.h"

#include <cmath>

namespace quav {

ProgressDisplay::ProgressDisplay(std::FILE* out, bool terminal)
    : out_(out), terminal_(terminal), start_(std::chrono::steady_clock::now()), last_(start_) {}

std::string ProgressDisplay::line(std::int64_t processed, std::int64_t total, std::int64_t matches,
                                  double elapsed, bool bar) {
    const RunProgress progress = runProgress(processed, total, elapsed);
    const double share = progress.share;
    std::string text;
    if (bar) {
        constexpr int width = 30;
        const int filled = static_cast<int>(share * width);
        text = "[" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(width - filled), '.') + "] ";
    } else {
        text = "progress ";
    }
    appendFormat(text, "%lld/%lld (%.1f%%)  ", static_cast<long long>(processed),
                 static_cast<long long>(total), share * 100.0);
    if (matches >= 0)
        appendFormat(text, "matches %lld  ", static_cast<long long>(matches));
    appendFormat(text, "elapsed %s  remaining %s", clockText(elapsed).c_str(),
                 clockText(progress.remainingSeconds).c_str());
    return text;
}

void ProgressDisplay::draw(std::int64_t processed, std::int64_t total, std::int64_t matches) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::string text = line(processed, total, matches, elapsed, terminal_);
    print(terminal_ ? "\r" + text + "\033[K" : text + "\n");
    drawn_ = true;
}

void ProgressDisplay::print(const std::string& text) {
    if (closed_)
        return;
    // A closed pipe or terminal ends the display, never the work it shows.
    closed_ = std::fputs(text.c_str(), out_) < 0 || std::fflush(out_) != 0;
}

void ProgressDisplay::update(const RunCounters& c) {
    if (c.combinations.load() == 0 && c.processed.load() == 0)
        return; // the run has not counted its combinations yet
    if (due())
        draw(c.processed.load(), c.combinations.load(), c.matches.load());
}

void ProgressDisplay::update(std::int64_t processed, std::int64_t total) {
    if (due())
        draw(processed, total, -1);
}

bool ProgressDisplay::due() {
    const auto now = std::chrono::steady_clock::now();
    const auto interval = terminal_ ? std::chrono::milliseconds(200) : std::chrono::seconds(5);
    if (drawn_ && now - last_ < interval)
        return false;
    last_ = now;
    return true;
}

void ProgressDisplay::note(const std::string& text) {
    print((terminal_ && drawn_ ? "\n" : "") + text + "\n");
    drawn_ = false;
}

void ProgressDisplay::finish(const RunCounters& c) {
    draw(c.processed.load(), c.combinations.load(), c.matches.load());
    endLine();
}

void ProgressDisplay::finish(std::int64_t processed, std::int64_t total) {
    draw(processed, total, -1);
    endLine();
}

void ProgressDisplay::endLine() {
    if (terminal_)
        print("\n");
}

} // namespace quav
