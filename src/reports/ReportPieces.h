#pragma once

#include "model/TextFormat.h"

#include <string>

namespace quav {

/// A report on its way to its destination: the text gathers in `out` and is
/// handed on in pieces of about 64 KiB, each ending at a line end (so each
/// converts to code page 932 on its own), so that a report of any length
/// needs little memory.
class ReportPieces {
public:
    explicit ReportPieces(const TextSink& sink) : sink_(sink) {}
    std::string out;
    /// Call at a line end: hands the text on once there is enough of it.
    /// False once the destination has refused a piece: the report stops.
    bool lineEnd() { return out.size() < kPieceBytes ? ok_ : pass(); }
    /// Hands on the rest; false when the report did not all arrive.
    bool finish() { return pass(); }

private:
    static constexpr std::size_t kPieceBytes = 1 << 16;
    bool pass() {
        if (ok_ && !out.empty())
            ok_ = sink_(out);
        out.clear();
        return ok_;
    }
    const TextSink& sink_;
    bool ok_ = true;
};

/// The whole text a report writer gives (`write` takes the sink).
template <class Write> std::string wholeReport(Write write) {
    std::string text;
    write([&text](std::string_view piece) {
        text += piece;
        return true;
    });
    return text;
}

} // namespace quav
