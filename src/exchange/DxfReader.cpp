#include "exchange/DxfReader.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

namespace quav {

namespace {

/// Only this much of a line counts, as in the drawings' own line limit.
constexpr std::size_t kLineLimit = 1023;

/// Lines of a text held in memory.
class TextLines {
public:
    explicit TextLines(std::string_view text) : text_(text) {}

    /// The next line without its end (LF or CR LF), cut to kLineLimit; false at
    /// the end of the text.
    bool next(std::string& line) {
        if (at_ >= text_.size())
            return false;
        std::size_t end = text_.find('\n', at_);
        if (end == std::string_view::npos)
            end = text_.size();
        std::string_view l = text_.substr(at_, end - at_);
        at_ = end + 1;
        if (!l.empty() && l.back() == '\r')
            l.remove_suffix(1);
        line.assign(l.substr(0, kLineLimit));
        return true;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

/// Lines of a stream, read a character at a time so that a huge line costs no
/// more memory than kLineLimit.
class StreamLines {
public:
    explicit StreamLines(std::istream& in) : buffer_(in.rdbuf()) {}

    bool next(std::string& line) {
        line.clear();
        if (!buffer_)
            return false;
        using Traits = std::char_traits<char>;
        int c = buffer_->sbumpc();
        if (c == Traits::eof())
            return false;
        for (; c != Traits::eof() && c != '\n'; c = buffer_->sbumpc()) {
            if (line.size() < kLineLimit + 1) // one more, to see a CR before the end
                line.push_back(static_cast<char>(c));
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > kLineLimit)
            line.resize(kLineLimit);
        return true;
    }

private:
    std::streambuf* buffer_;
};

std::string_view trimmed(std::string_view s) {
    const char* space = " \t\r\n\f\v";
    const std::size_t first = s.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(space) - first + 1);
}

struct Group {
    enum Kind { Text, Integer, Real, Other };
    int code = 0;
    Kind kind = Other;
    std::string_view text; ///< trimmed value of a text group
    float real = 0.0f;
};

template <class Lines> class Reader {
public:
    explicit Reader(Lines& lines) : lines_(lines) {}

    DxfGeometry read() {
        while (!ended_)
            section();
        return std::move(geometry_);
    }

private:
    /// The next group; false at the end of the file (also after "EOF").
    bool next(Group& g) {
        while (!ended_) {
            if (!lines_.next(codeLine_) || !lines_.next(valueLine_)) {
                ended_ = true;
                return false;
            }
            errno = 0;
            char* end = nullptr;
            const long code = std::strtol(codeLine_.c_str(), &end, 10);
            if (errno == ERANGE || code < INT_MIN || code > INT_MAX)
                continue; // the value line is skipped with the group
            g.code = static_cast<int>(code);
            if (g.code >= 0 && g.code <= 9) {
                g.kind = Group::Text;
                g.text = trimmed(valueLine_);
                if (g.text == "EOF") {
                    ended_ = true;
                    return false;
                }
            } else if ((g.code >= 10 && g.code <= 59) || (g.code >= 210 && g.code <= 239)) {
                g.kind = Group::Real;
                g.real = std::strtof(valueLine_.c_str(), nullptr);
            } else if (g.code >= 60 && g.code <= 79) {
                g.kind = Group::Integer;
            } else {
                g.kind = Group::Other; // comments (999) and codes the reader does not use
            }
            return true;
        }
        return false;
    }

    void section() {
        Group g;
        do {
            if (!next(g))
                return;
        } while (!(g.kind == Group::Text && g.text == "SECTION"));
        while (next(g)) {
            if (g.kind != Group::Text)
                continue;
            if (g.text == "ENDSEC")
                return;
            if (g.text == "TABLES") {
                while (next(g)) {
                    if (g.kind == Group::Text && g.text == "ENDTAB")
                        return;
                }
                return;
            }
            if (g.text == "ENTITIES") {
                entities();
                return;
            }
        }
    }

    void entities() {
        Group g;
        while (next(g)) {
            if (g.kind == Group::Real) {
                const int vertex = g.code % 10, axis = g.code / 10 - 1;
                if (vertex > 3 || axis < 0 || axis > 2)
                    continue;
                if (set_[vertex][axis])
                    flush();
                slots_[vertex][axis] = g.real;
                set_[vertex][axis] = true;
            } else if (g.kind == Group::Text) {
                flush();
                if (g.code != 0)
                    continue;
                if (g.text == "ENDSEC")
                    return;
                if (g.text == "3DFACE")
                    kind_ = DxfPrimitive::Polygon;
                else if (g.text == "3DLINE")
                    kind_ = DxfPrimitive::Lines;
            }
        }
    }

    /// Emits the collected vertices as one primitive of the current kind: a
    /// vertex with x and y is 2-D, with x, y and z 3-D; others are left out.
    void flush() {
        DxfPrimitive p;
        p.kind = kind_;
        p.first = static_cast<std::uint32_t>(geometry_.vertices.size());
        for (int v = 0; v < 4; ++v) {
            int components = 0;
            while (components < 3 && set_[v][components])
                ++components;
            bool finite = true; // an overflowing number would reach the drawing as infinity
            for (int a = 0; a < components; ++a)
                finite = finite && std::isfinite(slots_[v][a]);
            if ((components == 2 || components == 3) && finite) {
                geometry_.vertices.push_back(
                    {slots_[v][0], slots_[v][1], components == 3 ? slots_[v][2] : 0.0f});
                ++p.count;
            }
            for (int a = 0; a < 3; ++a)
                set_[v][a] = false;
        }
        if (p.count > 0)
            geometry_.primitives.push_back(p);
    }

    Lines& lines_;
    std::string codeLine_;
    std::string valueLine_;
    bool ended_ = false;
    DxfPrimitive::Kind kind_ = DxfPrimitive::Polygon;
    float slots_[4][3] = {};
    bool set_[4][3] = {};
    DxfGeometry geometry_;
};

} // namespace

DxfGeometry readDxf(std::istream& in) {
    StreamLines lines(in);
    return Reader<StreamLines>(lines).read();
}

DxfGeometry readDxf(std::string_view text) {
    TextLines lines(text);
    return Reader<TextLines>(lines).read();
}

} // namespace quav
