#include "exchange/BulkDataReader.h"

#include "analysis/Constants.h"
#include "analysis/SystemAssembly.h"
#include "document/ModelFile.h"
#include "model/FileIo.h"
#include "model/TextFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <stdexcept>

namespace quav {

namespace {

/// Why the deck is refused; caught once at the top.
struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void refuse(int line, const std::string& what) {
    throw Refusal(format("line %d: ", line) + what);
}

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    return std::string(s.substr(b, e - b));
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

/// One entry: its name, its data fields (8 per logical line: fields 2-9 of each
/// line; the continuation fields are dropped) and the line each field came from.
struct Card {
    std::string name;
    int line = 0;
    std::vector<std::string> fields;
    std::vector<int> lines;

    bool blank(std::size_t i) const { return i >= fields.size() || fields[i].empty(); }
    int lineOf(std::size_t i) const { return i < lines.size() ? lines[i] : line; }
    std::string what(std::size_t, const char* field) const {
        return name + (blank(0) ? std::string() : " " + fields[0]) + ": " + field;
    }

    long long integer(std::size_t i, const char* field,
                      std::optional<long long> fallback = {}) const {
        if (blank(i)) {
            if (fallback)
                return *fallback;
            refuse(lineOf(i), what(i, field) + " is missing");
        }
        const std::string& s = fields[i];
        long long v = 0;
        const char* b = s.data() + (s[0] == '+' ? 1 : 0);
        const auto r = std::from_chars(b, s.data() + s.size(), v);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size())
            refuse(lineOf(i), what(i, field) + " is not an integer: \"" + s + "\"");
        return v;
    }
    long long id(std::size_t i, const char* field, std::optional<long long> fallback = {}) const {
        const long long v = integer(i, field, fallback);
        if (v <= 0 && !(fallback && blank(i)))
            refuse(lineOf(i), what(i, field) + " must be a positive id");
        return v;
    }
    double real(std::size_t i, const char* field, std::optional<double> fallback = {}) const {
        if (blank(i)) {
            if (fallback)
                return *fallback;
            refuse(lineOf(i), what(i, field) + " is missing");
        }
        std::string s = upper(fields[i]);
        const std::string bad = what(i, field) + " is not a real number: \"" + fields[i] + "\"";
        if (s.find('.') == std::string::npos)
            refuse(lineOf(i), bad + " (a real needs a decimal point)");
        for (char& c : s)
            if (c == 'D')
                c = 'E';
        // "1.5-3" is 1.5E-3: a sign after the mantissa starts the exponent.
        if (s.find('E') == std::string::npos)
            for (std::size_t k = 1; k < s.size(); ++k)
                if (s[k] == '+' || s[k] == '-') {
                    s.insert(k, "E");
                    break;
                }
        double v = 0.0;
        const char* b = s.data() + (s[0] == '+' ? 1 : 0);
        const auto r = std::from_chars(b, s.data() + s.size(), v);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v))
            refuse(lineOf(i), bad);
        return v;
    }
    std::string text(std::size_t i) const { return blank(i) ? std::string() : upper(fields[i]); }
};

/// Splits the deck into entries, under the bounds of the header.
struct Deck {
    std::vector<Card> cards;
    std::vector<std::pair<int, std::string>> notes; ///< "$ QUAV ..." comments and their lines
};

std::string expandTabs(std::string_view line) {
    std::string out;
    for (char c : line) {
        if (c == '\t') {
            do
                out += ' ';
            while (out.size() % 8 != 0);
        } else {
            out += c;
        }
    }
    return out;
}

Deck splitDeck(std::string_view text) {
    Deck deck;
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        at = end + 1;
    }
    // Without BEGIN BULK the whole text is bulk data (a deck's bulk part alone).
    std::size_t first = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string t = upper(trim(lines[i]));
        if (t.starts_with("BEGIN") && trim(t.substr(5)).starts_with("BULK")) {
            first = i + 1;
            break;
        }
    }
    Card* current = nullptr;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        if (lines[i].size() > kMaxBulkDataLine)
            refuse(number, format("longer than %zu characters", kMaxBulkDataLine));
        if (lines[i].starts_with('$')) {
            const std::string note = trim(lines[i].substr(1));
            if (note.starts_with("QUAV "))
                deck.notes.emplace_back(number, note.substr(5));
            continue;
        }
        std::string line = expandTabs(lines[i].substr(0, lines[i].find('$')));
        if (trim(line).empty())
            continue;
        const bool free = line.find(',') != std::string::npos;
        std::vector<std::string> items;
        std::string head;
        if (free) {
            std::size_t at = 0;
            while (true) {
                const std::size_t comma = line.find(',', at);
                items.push_back(trim(std::string_view(line).substr(
                    at, comma == std::string::npos ? std::string::npos : comma - at)));
                if (comma == std::string::npos)
                    break;
                at = comma + 1;
            }
            head = items.front();
            items.erase(items.begin());
        } else {
            head = trim(std::string_view(line).substr(0, std::min<std::size_t>(8, line.size())));
        }
        const bool continuation =
            line[0] == '+' || line[0] == '*' || line[0] == ',' || line[0] == ' ';
        const bool large = continuation ? line[0] == '*' : head.ends_with('*');
        const std::size_t perLine = large ? 4 : 8;
        if (!free) {
            for (std::size_t k = 0; k < perLine; ++k) {
                const std::size_t width = large ? 16 : 8;
                const std::size_t at = 8 + k * width;
                items.push_back(at < line.size() && at < 72
                                    ? trim(std::string_view(line).substr(at, width))
                                    : std::string());
            }
        } else if (items.size() > perLine + 1) {
            refuse(number, format("more than %zu fields on a free-field line", perLine + 1));
        }
        items.resize(perLine); // the continuation field goes
        if (!continuation) {
            std::string name = upper(head);
            if (name.ends_with('*'))
                name.pop_back();
            if (name == "ENDDATA")
                break;
            if (name == "INCLUDE")
                refuse(number, "INCLUDE is not followed: put the included entries in the deck");
            if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0])))
                refuse(number, "an entry name must start with a letter: \"" + head + "\"");
            if (deck.cards.size() >= kMaxBulkDataCards)
                refuse(number, format("more than %zu entries", kMaxBulkDataCards));
            deck.cards.emplace_back();
            current = &deck.cards.back();
            current->name = name;
            current->line = number;
        } else if (!current) {
            refuse(number, "a continuation line without an entry before it");
        } else if (!large && current->fields.size() % 8 != 0) {
            // A small-field line after half a large-field line starts a line of its own.
            const std::size_t pad = 8 - current->fields.size() % 8;
            current->fields.insert(current->fields.end(), pad, std::string());
            current->lines.insert(current->lines.end(), pad, number);
        }
        if (current->fields.size() > 8 * 4096)
            refuse(number, "an entry of more than 4096 lines");
        for (auto& f : items) {
            current->fields.push_back(std::move(f));
            current->lines.push_back(number);
        }
    }
    return deck;
}

using Vec = std::array<double, 3>;
using Mat = std::array<double, 9>; // row-major; columns are a frame's axes in basic

Vec sub(const Vec& a, const Vec& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double norm(const Vec& a) {
    return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}
Vec unit(const Vec& a) {
    const double n = norm(a);
    return {a[0] / n, a[1] / n, a[2] / n};
}
Vec rotate(const Mat& r, const Vec& x) {
    Vec y{};
    for (int i = 0; i < 3; ++i) {
        long double s = 0.0L;
        for (int k = 0; k < 3; ++k)
            s += static_cast<long double>(r[i * 3 + k]) * x[k];
        y[i] = static_cast<double>(s);
    }
    return y;
}

struct Frame {
    Vec origin{};
    Mat axes{1, 0, 0, 0, 1, 0, 0, 0, 1};
    Vec toBasic(const Vec& x) const {
        const Vec r = rotate(axes, x);
        return {origin[0] + r[0], origin[1] + r[1], origin[2] + r[2]};
    }
};

struct Cord {
    const Card* card;
    long long rid;
    Vec a, b, c;
    std::optional<Frame> resolved;
    bool resolving = false;
};

constexpr long long kMaxThruIds = 1000000;
/// Deeper RID chains of CORD2R entries are refused (no real deck nests so far).
constexpr int kMaxCordDepth = 64;

struct Grid {
    const Card* card;
    long long cp;
    Vec x;
    Vec basic{};
};

class Importer {
public:
    explicit Importer(const Deck& deck) : deck_(deck) {}

    BulkDataImport run() {
        collect();
        for (auto& [id, cord] : cords_)
            frame(id, cord.card->line);
        for (auto& [id, grid] : grids_)
            grid.basic = frame(grid.cp, grid.card->line).toBasic(grid.x);
        findBody();
        auto model = std::make_unique<AnalysisModel>();
        model->fileVersion = modelFormatVersion;
        combineMass(*model);
        addSprings(*model);
        BulkDataImport result;
        result.model = std::move(model);
        for (const auto& [name, count] : ignoredOrder_)
            result.warnings.push_back(
                format("%s: %d entr%s ignored", name.c_str(), count, count == 1 ? "y" : "ies"));
        return result;
    }

private:
    template <class T>
    void put(std::map<long long, T>& map, long long id, T value, const char* kind) {
        const auto [it, fresh] = map.emplace(id, std::move(value));
        if (!fresh)
            refuse(value.card->line, format("%s %lld is defined twice (also on line %d)", kind, id,
                                            it->second.card->line));
    }

    void collect() {
        for (const Card& c : deck_.cards) {
            if (c.name == "GRID") {
                put(grids_, c.id(0, "ID"),
                    Grid{&c,
                         c.integer(1, "CP", 0),
                         {c.real(2, "X1", 0.0), c.real(3, "X2", 0.0), c.real(4, "X3", 0.0)}},
                    "GRID");
            } else if (c.name == "CORD2R") {
                Cord cord{&c,
                          c.integer(1, "RID", 0),
                          {c.real(2, "A1"), c.real(3, "A2"), c.real(4, "A3")},
                          {c.real(5, "B1"), c.real(6, "B2"), c.real(7, "B3")},
                          {c.real(8, "C1"), c.real(9, "C2"), c.real(10, "C3")},
                          {},
                          false};
                put(cords_, c.id(0, "CID"), std::move(cord), "CORD2R");
            } else if (c.name == "CONM2" || c.name == "CBUSH" || c.name == "RBE2") {
                const long long eid = c.id(0, "EID");
                const auto [it, fresh] = elements_.emplace(eid, &c);
                if (!fresh)
                    refuse(c.line, format("element %lld is defined twice (also on line %d)", eid,
                                          it->second->line));
                (c.name == "CONM2" ? masses_ : c.name == "CBUSH" ? bushes_ : rigids_).push_back(&c);
            } else if (c.name == "PBUSH") {
                const long long pid = c.id(0, "PID");
                const auto [it, fresh] = properties_.emplace(pid, &c);
                if (!fresh)
                    refuse(c.line, format("PBUSH %lld is defined twice (also on line %d)", pid,
                                          it->second->line));
            } else if (c.name == "SPC1") {
                fix(c);
            } else {
                auto known = std::find_if(ignoredOrder_.begin(), ignoredOrder_.end(),
                                          [&](const auto& p) { return p.first == c.name; });
                if (known == ignoredOrder_.end())
                    ignoredOrder_.emplace_back(c.name, 1);
                else
                    ++known->second;
            }
        }
    }

    static bool allDofs(const Card& c, std::size_t i, const char* field) {
        std::string digits = std::to_string(c.integer(i, field));
        std::sort(digits.begin(), digits.end());
        return digits == "123456";
    }

    void fix(const Card& c) {
        c.id(0, "SID");
        const bool all = allDofs(c, 1, "C");
        std::vector<long long> ids;
        if (c.text(3) == "THRU") {
            const long long a = c.id(2, "G1"), b = c.id(4, "G2");
            expanded_ += b - a + 1;
            if (b < a || expanded_ > kMaxThruIds)
                refuse(c.lineOf(4), c.what(4, "THRU range") +
                                        format(" is empty or takes the deck beyond %lld GRIDs "
                                               "in ranges",
                                               kMaxThruIds));
            for (long long g = a; g <= b; ++g)
                ids.push_back(g);
        } else {
            for (std::size_t i = 2; i < c.fields.size(); ++i)
                if (!c.blank(i))
                    ids.push_back(c.id(i, "Gi"));
        }
        for (long long g : ids)
            (all ? fixed_ : partlyFixed_).emplace(g, &c);
    }

    const Frame& frame(long long cid, int line, int depth = 0) {
        static const Frame basic;
        if (cid == 0)
            return basic;
        const auto it = cords_.find(cid);
        if (it == cords_.end())
            refuse(line, format("coordinate system %lld is not a CORD2R of this deck", cid));
        Cord& cord = it->second;
        if (cord.resolved)
            return *cord.resolved;
        if (cord.resolving)
            refuse(cord.card->line, format("CORD2R %lld refers to itself through RID", cid));
        if (depth > kMaxCordDepth)
            refuse(cord.card->line, format("CORD2R %lld: more than %d systems nested through RID",
                                           cid, kMaxCordDepth));
        cord.resolving = true;
        const Frame& ref = frame(cord.rid, cord.card->line, depth + 1);
        const Vec a = ref.toBasic(cord.a), b = ref.toBasic(cord.b), c = ref.toBasic(cord.c);
        const Vec z = sub(b, a);
        const Vec y = cross(z, sub(c, a));
        const double scale = std::max({norm(a), norm(b), norm(c), 1e-300});
        if (!(norm(z) > 1e-12 * scale) || !(norm(y) > 1e-24 * scale * scale))
            refuse(cord.card->line,
                   format("CORD2R %lld: A, B and C do not define axes (they lie on a line)", cid));
        const Vec ez = unit(z), ey = unit(y), ex = cross(ey, ez);
        Frame f;
        f.origin = a;
        for (int i = 0; i < 3; ++i) {
            f.axes[i * 3 + 0] = ex[i];
            f.axes[i * 3 + 1] = ey[i];
            f.axes[i * 3 + 2] = ez[i];
        }
        cord.resolving = false;
        cord.resolved = f;
        return *cord.resolved;
    }

    const Grid& grid(long long id, const Card& c, std::size_t field, const char* name) {
        const auto it = grids_.find(id);
        if (it == grids_.end())
            refuse(c.lineOf(field),
                   c.what(field, name) + format(": GRID %lld is not in the deck", id));
        return it->second;
    }

    // The rigid body: the GRIDs the RBE2 entries tie together, or the one GRID of
    // the masses when there is no RBE2.
    void findBody() {
        if (masses_.empty())
            throw Refusal("no CONM2: the deck holds no mass");
        std::map<long long, long long> parent;
        auto root = [&](long long g) {
            while (parent[g] != g)
                g = parent[g] = parent[parent[g]];
            return g;
        };
        for (const Card* r : rigids_) {
            if (!allDofs(*r, 2, "CM"))
                refuse(r->lineOf(2), r->what(2, "CM") +
                                         " must be 123456: only a rigid tie in all six DOF is a "
                                         "rigid body");
            std::vector<long long> members{r->id(1, "GN")};
            grid(members[0], *r, 1, "GN");
            for (std::size_t i = 3; i < r->fields.size(); ++i) {
                if (r->blank(i))
                    continue;
                if (r->fields[i].find('.') != std::string::npos) // ALPHA, the last field
                    break;
                members.push_back(r->id(i, "GMi"));
                grid(members.back(), *r, i, "GMi");
            }
            for (long long g : members)
                parent.emplace(g, g);
            for (long long g : members)
                parent[root(g)] = root(members[0]);
        }
        const Card& first = *masses_.front();
        const long long g0 = first.id(1, "G");
        grid(g0, first, 1, "G");
        if (parent.empty()) {
            body_.insert(g0);
        } else {
            if (!parent.count(g0))
                refuse(first.lineOf(1),
                       first.what(1, "G") + format(" %lld is not tied to the RBE2 body", g0));
            const long long r0 = root(g0);
            for (auto& [g, p] : std::map<long long, long long>(parent)) {
                if (root(g) != r0)
                    refuse(
                        grids_.at(g).card->line,
                        format("GRID %lld belongs to a second rigid body; one rigid body only", g));
                body_.insert(g);
            }
        }
        for (long long g : body_)
            if (fixed_.count(g) || partlyFixed_.count(g))
                refuse((fixed_.count(g) ? fixed_ : partlyFixed_).at(g)->line,
                       format("SPC1 fixes GRID %lld of the rigid body", g));
    }

    void combineMass(AnalysisModel& model) {
        struct Part {
            double m;
            Vec cog;
            Mat j; // inertia tensor about its own centre, basic axes, mass-matrix signs
        };
        std::vector<Part> parts;
        long double total = 0.0L;
        for (const Card* c : masses_) {
            const long long g = c->id(1, "G");
            const Grid& at = grid(g, *c, 1, "G");
            if (!body_.count(g))
                refuse(c->lineOf(1), c->what(1, "G") + format(" %lld is not on the rigid body", g));
            const long long cid = c->integer(2, "CID", 0);
            if (cid < -1)
                refuse(c->lineOf(2), c->what(2, "CID") + " must be -1 or more");
            const Vec x{c->real(4, "X1", 0.0), c->real(5, "X2", 0.0), c->real(6, "X3", 0.0)};
            Part p;
            p.m = c->real(3, "M", 0.0);
            if (p.m < 0.0)
                refuse(c->lineOf(3), c->what(3, "M") + " is negative");
            Mat r{1, 0, 0, 0, 1, 0, 0, 0, 1};
            if (cid == -1) {
                p.cog = x;
            } else {
                r = frame(cid, c->lineOf(2)).axes;
                const Vec d = rotate(r, x);
                p.cog = {at.basic[0] + d[0], at.basic[1] + d[1], at.basic[2] + d[2]};
            }
            const double i11 = c->real(8, "I11", 0.0), i21 = c->real(9, "I21", 0.0),
                         i22 = c->real(10, "I22", 0.0), i31 = c->real(11, "I31", 0.0),
                         i32 = c->real(12, "I32", 0.0), i33 = c->real(13, "I33", 0.0);
            const Mat local{i11, -i21, -i31, -i21, i22, -i32, -i31, -i32, i33};
            // R J R^T: the tensor in the basic axes.
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b) {
                    long double s = 0.0L;
                    for (int k = 0; k < 3; ++k)
                        for (int l = 0; l < 3; ++l)
                            s += static_cast<long double>(r[a * 3 + k]) * local[k * 3 + l] *
                                 r[b * 3 + l];
                    p.j[a * 3 + b] = static_cast<double>(s);
                }
            total += p.m;
            parts.push_back(p);
        }
        const double m = static_cast<double>(total);
        if (!(m > 0.0))
            refuse(masses_.front()->line, "the CONM2 masses add up to no mass");
        Vec cog{};
        for (int i = 0; i < 3; ++i) {
            long double s = 0.0L;
            for (const Part& p : parts)
                s += static_cast<long double>(p.m) * p.cog[i];
            cog[i] = parts.size() == 1 ? parts[0].cog[i] : static_cast<double>(s / total);
        }
        Matrix inertia(3, 3);
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) {
                long double s = 0.0L;
                for (const Part& p : parts) {
                    const Vec d = sub(p.cog, cog);
                    // Parallel axes: m (|d|^2 delta_ab - d_a d_b).
                    const long double dd = static_cast<long double>(d[0]) * d[0] +
                                           static_cast<long double>(d[1]) * d[1] +
                                           static_cast<long double>(d[2]) * d[2];
                    s += p.j[a * 3 + b] +
                         p.m * ((a == b ? dd : 0.0L) - static_cast<long double>(d[a]) * d[b]);
                }
                inertia(a, b) = static_cast<double>(s);
            }
        model.mass = m;
        model.centreOfGravity = Matrix::vector({cog[0], cog[1], cog[2]});
        model.setInertia(inertia);
        // A display box with the volume of water of the mass, at least 10 cm.
        const double edge = std::max(0.1, std::cbrt(m / 1000.0));
        model.size = Matrix::vector({edge, edge, edge});
    }

    /// The note "<kind> <id> ..." written for this id, without its head.
    std::optional<std::string> note(const char* kind, long long id) {
        if (notes_.empty())
            for (const auto& [line, text] : deck_.notes) {
                // The head is the first two words: "spring 12".
                const std::size_t first = text.find(' ');
                const std::size_t second =
                    first == std::string::npos ? first : text.find(' ', first + 1);
                if (second != std::string::npos)
                    notes_.emplace(text.substr(0, second), text.substr(second + 1));
            }
        const auto it = notes_.find(format("%s %lld", kind, id));
        if (it == notes_.end())
            return std::nullopt;
        return it->second;
    }

    /// `"name": rest` from a note; the name runs to the last quote.
    static bool splitName(const std::string& text, std::string& name, std::string& rest) {
        const std::size_t open = text.find('"'), close = text.rfind('"');
        if (open != 0 || close == open || close + 1 >= text.size() || text[close + 1] != ':')
            return false;
        name = text.substr(1, close - 1);
        rest = text.substr(close + 2);
        return true;
    }

    static std::vector<double> numbersIn(const std::string& text) {
        std::vector<double> out;
        const char* p = text.c_str();
        const char* end = p + text.size();
        while (p < end) {
            double v = 0.0;
            const auto r = std::from_chars(p, end, v);
            if (r.ec == std::errc() && r.ptr != p) {
                out.push_back(v);
                p = r.ptr;
            } else {
                ++p;
            }
        }
        return out;
    }

    static bool close(double a, double b) {
        return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b));
    }

    int characteristic(AnalysisModel& model, long long pid, const Card& bush) {
        if (const auto known = characteristics_.find(pid); known != characteristics_.end())
            return known->second;
        const auto it = properties_.find(pid);
        if (it == properties_.end())
            refuse(bush.lineOf(1), bush.what(1, "PID") + format(" %lld has no PBUSH", pid));
        const Card& p = *it->second;
        std::array<double, 6> k{}, b{};
        for (std::size_t row = 1; row < p.fields.size(); row += 8) {
            const std::string key = p.text(row);
            std::array<double, 6>* values = key == "K" ? &k : key == "B" ? &b : nullptr;
            if (key.empty())
                continue;
            if (key == "GE" || key == "RCV" || key == "M") {
                bool zero = true;
                for (std::size_t i = row + 1; i < row + 7 && i < p.fields.size(); ++i)
                    zero = zero && (p.blank(i) || p.real(i, key.c_str()) == 0.0);
                if (!zero && key == "M")
                    refuse(p.lineOf(row), p.what(row, "M") + " gives the spring a mass; QUAV's "
                                                             "springs have none");
                if (!zero && key == "GE")
                    warnOnce(format("PBUSH %lld: GE ignored (no structural damping without a "
                                    "frequency table)",
                                    pid));
                continue;
            }
            if (!values)
                refuse(p.lineOf(row), p.what(row, "") + "unknown keyword \"" + key + "\"");
            for (int d = 0; d < 6; ++d)
                (*values)[static_cast<std::size_t>(d)] =
                    p.real(row + 1 + static_cast<std::size_t>(d),
                           format("%s%d", key.c_str(), d + 1).c_str(), 0.0);
            for (int d = 3; d < 6; ++d)
                if ((*values)[static_cast<std::size_t>(d)] != 0.0)
                    refuse(p.lineOf(row + 1 + static_cast<std::size_t>(d)),
                           p.what(row, "") + format("%s%d is a rotational %s; QUAV's springs have "
                                                    "none",
                                                    key.c_str(), d + 1,
                                                    values == &k ? "rate" : "damping"));
            for (int d = 0; d < 3; ++d)
                if ((*values)[static_cast<std::size_t>(d)] < 0.0)
                    refuse(p.lineOf(row + 1 + static_cast<std::size_t>(d)),
                           p.what(row, "") + format("%s%d is negative", key.c_str(), d + 1));
        }
        SpringCharacteristic c;
        c.name = format("PBUSH %lld", pid);
        c.dynamicFactor = 1.0;
        c.stiffness = Matrix::vector({k[0], k[1], k[2]});
        c.damping = Matrix::vector({b[0], b[1], b[2]});
        // Static rates and the dynamic factor, when the writer's note agrees with K.
        std::string name, rest;
        if (const auto n = note("characteristic", pid); n && splitName(*n, name, rest)) {
            c.name = name;
            const std::vector<double> v = numbersIn(rest);
            if (v.size() == 4 && close(v[1] * v[0], k[0]) && close(v[2] * v[0], k[1]) &&
                close(v[3] * v[0], k[2])) {
                c.dynamicFactor = v[0];
                c.stiffness = Matrix::vector({v[1], v[2], v[3]});
            }
        }
        const int id = model.addCharacteristic(c);
        characteristics_.emplace(pid, id);
        return id;
    }

    void warnOnce(const std::string& text) {
        if (std::find_if(ignoredOrder_.begin(), ignoredOrder_.end(),
                         [&](const auto& p) { return p.first == text; }) == ignoredOrder_.end())
            extraWarnings_.push_back(text);
    }

    void addSprings(AnalysisModel& model) {
        for (const Card* bp : bushes_) {
            const Card& c = *bp;
            const long long eid = c.id(0, "EID");
            const long long ga = c.id(2, "GA");
            const long long gb = c.id(3, "GB", 0);
            const Grid& a = grid(ga, c, 2, "GA");
            const bool aBody = body_.count(ga) != 0, bBody = gb != 0 && body_.count(gb) != 0;
            if (aBody == bBody)
                refuse(c.line, c.what(2, "") + (aBody ? "both ends are on the rigid body"
                                                      : "neither end is on the rigid body"));
            const long long ground = aBody ? gb : ga;
            const Grid& body = aBody ? a : grid(gb, c, 3, "GB");
            if (ground != 0) {
                const Grid& other = grid(ground, c, aBody ? 3 : 2, aBody ? "GB" : "GA");
                if (!fixed_.count(ground))
                    refuse(c.line, c.what(0, "") + format("GRID %lld is neither on the rigid body "
                                                          "nor fixed in all six DOF by SPC1",
                                                          ground));
                const Vec d = sub(other.basic, body.basic);
                const double scale = std::max({norm(body.basic), norm(other.basic), 1.0});
                if (norm(d) > 1e-9 * scale)
                    refuse(c.line, c.what(0, "") + "its GRIDs are apart; a QUAV spring acts at "
                                                   "one point");
            }
            if (!c.blank(4) || !c.blank(5) || !c.blank(6))
                refuse(c.lineOf(4), c.what(4, "") + "orientation by GO or X is not taken; give "
                                                    "the element axes by CID");
            if (c.blank(7))
                refuse(c.lineOf(7), c.what(7, "CID") + " is missing: the element axes of a spring "
                                                       "at one point come from CID");
            const long long cid = c.integer(7, "CID");
            if (cid < 0)
                refuse(c.lineOf(7), c.what(7, "CID") + " must be 0 or a CORD2R");
            if (!c.blank(9) && c.integer(9, "OCID") != -1)
                refuse(c.lineOf(9), c.what(9, "OCID") + " gives an offset; QUAV's springs have "
                                                        "none");
            const Mat& r = frame(cid, c.lineOf(7)).axes;
            // The engine's axes are Rx(-Y) Rz(Z + 90 deg): local z = (0, -sin a1, cos a1),
            // local y = (-sin a2, ...), local x = (cos a2, ...).
            if (std::abs(r[0 * 3 + 2]) > 1e-9)
                refuse(c.lineOf(7), c.what(7, "CID") + format(" %lld: its z axis leaves the "
                                                              "global y-z plane; a QUAV spring's "
                                                              "local z axis lies in it",
                                                              cid));
            const double a1 = std::atan2(-r[1 * 3 + 2], r[2 * 3 + 2]);
            const double a2 = std::atan2(-r[0 * 3 + 1], r[0 * 3 + 0]);
            SpringElement s;
            s.angles[1] = -a1 / kRadiansPerDegree;
            // Not brought into a range: with the model's circle constant a turn of
            // 360 degrees is not quite a full turn.
            s.angles[2] = a2 / kRadiansPerDegree - 90.0;
            std::string name = format("CBUSH %lld", eid), rest;
            if (const auto n = note("spring", eid); n && splitName(*n, name, rest)) {
                const std::vector<double> v = numbersIn(rest);
                if (v.size() == 2) {
                    SpringElement noted;
                    noted.angles[1] = v[0];
                    noted.angles[2] = v[1];
                    const Matrix o = springOrientation(noted);
                    bool same = true;
                    for (int i = 0; i < 9; ++i)
                        same = same && std::abs(o[i] - r[static_cast<std::size_t>(i)]) <= 1e-9;
                    if (same) {
                        s.angles[1] = v[0];
                        s.angles[2] = v[1];
                    }
                }
            }
            const int id =
                model.addSpring(name, Matrix::vector({body.basic[0], body.basic[1], body.basic[2]}),
                                s.angles, SpringElement{}.size);
            model.springs.back().characteristicId = characteristic(model, c.id(1, "PID"), c);
            (void)id;
        }
    }

public:
    std::vector<std::string> extraWarnings_;

private:
    const Deck& deck_;
    std::map<long long, Grid> grids_;
    std::map<long long, Cord> cords_;
    std::map<long long, const Card*> elements_, properties_;
    std::map<long long, const Card*> fixed_, partlyFixed_;
    std::vector<const Card*> masses_, bushes_, rigids_;
    std::set<long long> body_;
    std::map<long long, int> characteristics_;
    std::vector<std::pair<std::string, int>> ignoredOrder_;
    long long expanded_ = 0;                   ///< GRIDs named by THRU ranges so far
    std::map<std::string, std::string> notes_; ///< "$ QUAV" notes by their "kind id" head
};

} // namespace

BulkDataImport readBulkData(std::string_view text) {
    BulkDataImport result;
    try {
        const Deck deck = splitDeck(text);
        Importer importer(deck);
        result = importer.run();
        result.warnings.insert(result.warnings.end(), importer.extraWarnings_.begin(),
                               importer.extraWarnings_.end());
    } catch (const Refusal& r) {
        result.model.reset();
        result.warnings.clear();
        result.error = r.what();
    }
    return result;
}

BulkDataImport readBulkDataFile(const std::string& path) {
    const FileContent content = readWholeFile(path, kMaxBulkDataBytes);
    if (!content.ok()) {
        BulkDataImport result;
        result.error = content.error;
        return result;
    }
    return readBulkData(content.bytes);
}

} // namespace quav
