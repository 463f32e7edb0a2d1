#include "exchange/BulkDataWriter.h"

#include "analysis/SystemAssembly.h"
#include "model/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace quav {

namespace {

constexpr int kFieldWidth = 16;
constexpr long long kMaxBulkId = 99999999; // what an 8-character field holds

/// One entry in large-field format: "NAME*" and four 16-character fields on the
/// first line, "*" and four more on each continuation line.
class Card {
public:
    explicit Card(const char* name) : name_(name) {}
    Card& integer(long long v) {
        fields_.push_back(std::to_string(v));
        return *this;
    }
    Card& real(double v) {
        fields_.push_back(bulkDataReal(v));
        return *this;
    }
    Card& text(const char* s) {
        fields_.emplace_back(s);
        return *this;
    }
    Card& blank() {
        fields_.emplace_back();
        return *this;
    }
    /// Blank fields up to the start of the next line, so that what follows
    /// begins a continuation line's first data field.
    Card& nextLine() {
        while (fields_.size() % 8 != 0)
            fields_.emplace_back();
        return *this;
    }

    void appendTo(std::string& out) const {
        std::size_t last = fields_.size();
        while (last > 0 && fields_[last - 1].empty())
            --last;
        std::string line = name_ + "*";
        line.resize(8, ' ');
        for (std::size_t i = 0; i < std::max<std::size_t>(last, 1); ++i) {
            if (i > 0 && i % 4 == 0) {
                trimEnd(line);
                out += line + "\n";
                line = "*       ";
            }
            const std::string& f = i < last ? fields_[i] : std::string();
            line += std::string(static_cast<std::size_t>(kFieldWidth) - f.size(), ' ') + f;
        }
        trimEnd(line);
        out += line + "\n";
    }

private:
    static void trimEnd(std::string& s) {
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
    }
    std::string name_;
    std::vector<std::string> fields_;
};

/// A comment line; the model's names are written as they are (UTF-8), but a
/// line break or other control character in one becomes a space, so that it
/// cannot end the comment.
void comment(std::string& out, const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    out += "$ " + line + "\n";
}

/// The shortest decimal of v that reads back exactly, for the comments.
std::string exact(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool finite(const Matrix& m) {
    for (int i = 0; i < m.size(); ++i)
        if (!std::isfinite(m[i]))
            return false;
    return true;
}

/// Candidates for v with `digits` significant digits: plain decimal (when the
/// exponent is moderate) and the compact exponent form without "E" ("1.25-7").
void candidates(double v, int digits, std::string out[2]) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", digits - 1, v);
    std::string sci(buf);
    const std::size_t e = sci.find('E');
    std::string mantissa = sci.substr(0, e);
    int exponent = std::atoi(sci.c_str() + e + 1);
    if (mantissa.find('.') == std::string::npos)
        mantissa += '.';
    while (mantissa.back() == '0')
        mantissa.pop_back();
    out[1] = mantissa + (exponent < 0 ? "-" : "+") + std::to_string(std::abs(exponent));
    if (exponent == 0)
        out[1] = mantissa;
    // Plain decimal with the same digits when the exponent is moderate, first.
    out[0].clear();
    if (exponent >= -4 && exponent < digits) {
        const int decimals = std::max(0, digits - 1 - exponent);
        std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
        std::string plain(buf);
        if (plain.find('.') == std::string::npos)
            plain += '.';
        while (plain.back() == '0')
            plain.pop_back();
        if (plain.starts_with("0."))
            plain.erase(0, 1);
        else if (plain.starts_with("-0."))
            plain.erase(1, 1);
        out[0] = plain;
    }
}

double readBack(const std::string& s) {
    // The compact exponent is a sign after the mantissa's first character.
    std::string t = s;
    for (std::size_t i = 1; i < t.size(); ++i)
        if ((t[i] == '+' || t[i] == '-') && t[i - 1] != 'E') {
            t.insert(i, "E");
            break;
        }
    return std::strtod(t.c_str(), nullptr);
}

} // namespace

std::string bulkDataReal(double value) {
    if (value == 0.0)
        return std::signbit(value) ? "-0." : "0.";
    // The most significant digits that fit, when no form reads back exactly.
    std::string best;
    for (int digits = 1; digits <= 17; ++digits) {
        std::string c[2];
        candidates(value, digits, c);
        bool fitted = false;
        for (const std::string& s : c) {
            if (s.empty() || s.size() > static_cast<std::size_t>(kFieldWidth))
                continue;
            if (readBack(s) == value)
                return s;
            if (!fitted)
                best = s;
            fitted = true;
        }
    }
    return best;
}

long long bulkDataGroundOffset(const AnalysisModel& model) {
    long long largest = std::max(model.lastId, model.massElementId);
    for (const auto& s : model.springs)
        largest = std::max<long long>(largest, s.id);
    for (const auto& c : model.springCharacteristics)
        largest = std::max<long long>(largest, c.id);
    for (const auto& l : model.dynamicLoads)
        largest = std::max<long long>(largest, l.id);
    for (const auto& p : model.observationPoints)
        largest = std::max<long long>(largest, p.id);
    long long g = 1000;
    while (g <= largest)
        g *= 10;
    return g;
}

BulkDataDeck writeBulkData(const AnalysisModel& model) {
    BulkDataDeck deck;
    const long long g = bulkDataGroundOffset(model);
    // Tables use ids from 2G up to 2G + 1 + 6 per characteristic.
    if (2 * g + 1 + 6 * static_cast<long long>(model.springCharacteristics.size()) > kMaxBulkId) {
        deck.error = "ids too large for a bulk-data deck (at most 8 digits)";
        return deck;
    }
    auto positive = [](long long id) { return id > 0; };
    bool idsPositive = positive(model.massElementId);
    for (const auto& s : model.springs)
        idsPositive = idsPositive && positive(s.id);
    for (const auto& l : model.dynamicLoads)
        idsPositive = idsPositive && positive(l.id);
    for (const auto& p : model.observationPoints)
        idsPositive = idsPositive && positive(p.id);
    if (!idsPositive) {
        deck.error = "an element id is not positive; a bulk-data deck needs positive ids";
        return deck;
    }
    // Each id names a GRID of its own.
    std::vector<long long> gridIds{model.massElementId};
    for (const auto& s : model.springs)
        gridIds.push_back(s.id);
    for (const auto& l : model.dynamicLoads)
        gridIds.push_back(l.id);
    for (const auto& p : model.observationPoints)
        gridIds.push_back(p.id);
    std::sort(gridIds.begin(), gridIds.end());
    if (std::adjacent_find(gridIds.begin(), gridIds.end()) != gridIds.end()) {
        deck.error = "two elements share an id; each needs a GRID of its own";
        return deck;
    }
    bool numbersFinite = std::isfinite(model.mass) && finite(model.centreOfGravity) &&
                         finite(model.inertia) && std::isfinite(model.frequencyStart) &&
                         std::isfinite(model.frequencyEnd) && std::isfinite(model.frequencyStep);
    for (const auto& s : model.springs)
        numbersFinite = numbersFinite && finite(s.position) && finite(s.angles);
    for (const auto& c : model.springCharacteristics) {
        numbersFinite = numbersFinite && finite(c.stiffness) && finite(c.damping) &&
                        std::isfinite(c.dynamicFactor);
        for (const auto& row : c.frequencyTable)
            for (int k = 0; k < kTableColumns; ++k)
                numbersFinite = numbersFinite && std::isfinite(tableCell(row, k));
    }
    for (const auto& l : model.dynamicLoads)
        numbersFinite = numbersFinite && finite(l.position) && finite(l.direction) &&
                        std::isfinite(l.value) && std::isfinite(l.frequency);
    for (const auto& p : model.observationPoints)
        numbersFinite = numbersFinite && finite(p.position);
    if (!numbersFinite) {
        deck.error = "the model holds a number that is not finite";
        return deck;
    }

    const long long cog = model.massElementId;
    const long long rbe2 = g + cog;
    const long long constantTable = 2 * g;
    // The characteristics the springs use, the first of each id as the engine finds them.
    std::vector<const SpringCharacteristic*> used;
    for (const auto& s : model.springs) {
        const SpringCharacteristic* c = model.findCharacteristic(s.characteristicId);
        if (c && std::find(used.begin(), used.end(), c) == used.end())
            used.push_back(c);
    }
    // Loads of the two kinds the engine knows; others act as no load.
    std::vector<const DynamicLoad*> loads;
    for (const auto& l : model.dynamicLoads)
        if (l.type == Translational || l.type == Moment)
            loads.push_back(&l);

    std::string& out = deck.text;
    comment(out, "QUAV model as a bulk-data deck");
    comment(out, "Units: m, kg, s, N. Large-field entries (16-character fields); each real");
    comment(out, "is the shortest that reads back to the same double, else 16 characters.");
    comment(out, "CONM2: I11, I22, I33 are the moments; I21, I31, I32 are the products of");
    comment(out, "inertia with the sign of the CONM2 (mass matrix term = -Iij), i.e.");
    comment(out, "I21 = -I(x,y), I31 = -I(x,z), I32 = -I(y,z) of the model's inertia matrix.");
    comment(out, format("Ids: GRID %lld and CONM2 %lld centre of gravity; a spring's id is its",
                        cog, cog));
    comment(out,
            format("body GRID, CBUSH and CORD2R, %lld + id its ground GRID; PBUSH/PBUSHT id", g));
    comment(out, format("= characteristic id; a load's or observation point's id is its GRID;"));
    comment(out,
            format("RBE2 %lld; TABLED1 from %lld; SPC1 1, EIGRL 1, FREQ 1.", rbe2, constantTable));
    comment(out, "CBUSH element axes (its CORD2R) = the spring's local x, y, z; K1-K3 the");
    comment(out, "dynamic rates (rate x dynamic factor), B1-B3 the damping.");
    // The engine's Hz come from its own circle constant (Constants.h), not 2 pi.
    comment(out, "Hz: QUAV uses 2 pi = 6.283184; a solver's frequencies read 2.08e-7 lower.");
    if (model.usesFrequencyTables())
        comment(out, "PBUSHT: K(f) = rate x ratio(f), GE(f) = loss factor, linear in log f.");

    out += loads.empty() ? "SOL 103\n" : "SOL 111\n";
    out += "CEND\n";
    out += "TITLE = QUAV MODEL\n";
    out += "ECHO = NONE\n";
    out += "SPC = 1\n";
    out += "METHOD = 1\n";
    out += "DISPLACEMENT = ALL\n";
    if (!loads.empty()) {
        out += "FREQUENCY = 1\n";
        for (const DynamicLoad* l : loads) {
            appendFormat(out, "SUBCASE %d\n", l->id);
            appendFormat(out, "  LABEL = LOAD %d\n", l->id);
            appendFormat(out, "  DLOAD = %d\n", l->id);
        }
    }
    out += "BEGIN BULK\n";
    Card("PARAM").text("GRDPNT").integer(cog).appendTo(out);
    Card("EIGRL").integer(1).blank().blank().integer(6).appendTo(out);
    if (!loads.empty()) {
        // The sweep when its settings make one, and every load's own frequency.
        const double steps = model.sweepStepCountExact();
        if (model.frequencyStep > 0.0 && model.frequencyStart >= 0.0 && steps >= 2.0 &&
            steps <= 100000.0) {
            comment(out, "sweep: start, step, number of steps");
            Card("FREQ1")
                .integer(1)
                .real(model.frequencyStart)
                .real(model.frequencyStep)
                .integer(static_cast<long long>(steps) - 1)
                .appendTo(out);
        }
        Card freq("FREQ");
        freq.integer(1);
        for (const DynamicLoad* l : loads)
            freq.real(l->frequency);
        comment(out, "each load's own frequency");
        freq.appendTo(out);
    }

    comment(out, format("QUAV mass element %lld (centre of gravity)", cog));
    Card("GRID")
        .integer(cog)
        .blank()
        .real(model.centreOfGravity[0])
        .real(model.centreOfGravity[1])
        .real(model.centreOfGravity[2])
        .appendTo(out);
    const Matrix& in = model.inertia;
    Card("CONM2")
        .integer(cog)
        .integer(cog)
        .integer(0)
        .real(model.mass)
        .real(0.0)
        .real(0.0)
        .real(0.0)
        .blank()
        .real(in(0, 0))
        .real(-in(0, 1))
        .real(in(1, 1))
        .real(-in(0, 2))
        .real(-in(1, 2))
        .real(in(2, 2))
        .appendTo(out);

    std::vector<long long> bodyGrids, groundGrids;
    for (const auto& s : model.springs) {
        comment(out, format("QUAV spring %d \"%s\": angles Y %s Z %s [deg]", s.id, s.name.c_str(),
                            exact(s.angles[1]).c_str(), exact(s.angles[2]).c_str()));
        Card("GRID")
            .integer(s.id)
            .blank()
            .real(s.position[0])
            .real(s.position[1])
            .real(s.position[2])
            .appendTo(out);
        Card("GRID")
            .integer(g + s.id)
            .blank()
            .real(s.position[0])
            .real(s.position[1])
            .real(s.position[2])
            .appendTo(out);
        bodyGrids.push_back(s.id);
        groundGrids.push_back(g + s.id);
        const SpringCharacteristic* c = model.findCharacteristic(s.characteristicId);
        if (!c) {
            comment(out, "no characteristic: no CBUSH");
            continue;
        }
        // Only the axes matter, so the system sits at the origin: its points are
        // the axes themselves, free of the position's rounding.
        const Matrix o = springOrientation(s);
        Card("CORD2R")
            .integer(s.id)
            .integer(0)
            .real(0.0)
            .real(0.0)
            .real(0.0)
            .real(o(0, 2))
            .real(o(1, 2))
            .real(o(2, 2))
            .real(o(0, 0))
            .real(o(1, 0))
            .real(o(2, 0))
            .appendTo(out);
        Card("CBUSH")
            .integer(s.id)
            .integer(c->id)
            .integer(s.id)
            .integer(g + s.id)
            .blank()
            .blank()
            .blank()
            .integer(s.id)
            .appendTo(out);
    }

    for (std::size_t i = 0; i < used.size(); ++i) {
        const SpringCharacteristic& c = *used[i];
        comment(out,
                format("QUAV characteristic %d \"%s\": dynamic factor %s, rates %s %s %s [N/m]",
                       c.id, c.name.c_str(), exact(c.dynamicFactor).c_str(),
                       exact(c.stiffness[0]).c_str(), exact(c.stiffness[1]).c_str(),
                       exact(c.stiffness[2]).c_str()));
        Card pbush("PBUSH");
        pbush.integer(c.id).text("K");
        for (int d = 0; d < 3; ++d)
            pbush.real(c.stiffness[d] * c.dynamicFactor);
        pbush.real(0.0).real(0.0).real(0.0).nextLine().blank().text("B");
        for (int d = 0; d < 3; ++d)
            pbush.real(c.damping[d]);
        pbush.real(0.0).real(0.0).real(0.0);
        pbush.appendTo(out);
        if (c.frequencyTable.empty())
            continue;
        const long long base = constantTable + 1 + 6 * static_cast<long long>(i);
        Card pbusht("PBUSHT");
        pbusht.integer(c.id).text("K");
        for (int d = 0; d < 3; ++d)
            pbusht.integer(base + d);
        pbusht.nextLine().blank().text("GE");
        for (int d = 0; d < 3; ++d)
            pbusht.integer(base + 3 + d);
        pbusht.appendTo(out);
        // Held flat beyond the table's ends as the engine holds it: a point three
        // decades out on either side with the end value, so that the tables'
        // linear extrapolation stays flat too.
        const FrequencyTable& t = c.frequencyTable;
        for (int kind = 0; kind < 2; ++kind) {
            for (int d = 0; d < 3; ++d) {
                auto y = [&](const FrequencyTableRow& r) {
                    return kind == 0 ? c.stiffness[d] * r.ratio[static_cast<std::size_t>(d)]
                                     : r.loss[static_cast<std::size_t>(d)];
                };
                Card table("TABLED1");
                table.integer(base + 3 * kind + d).text("LOG").text("LINEAR").nextLine();
                table.real(t.front().f / 1000.0).real(y(t.front()));
                for (const auto& row : t)
                    table.real(row.f).real(y(row));
                table.real(t.back().f * 1000.0).real(y(t.back())).text("ENDT");
                comment(out,
                        format("characteristic %d: %s %c", c.id, kind == 0 ? "K" : "GE", "xyz"[d]));
                table.appendTo(out);
            }
        }
    }

    for (const DynamicLoad* l : loads) {
        comment(out, format("QUAV dynamic load %d \"%s\": %s, %s Hz", l->id, l->name.c_str(),
                            l->type == Moment ? "moment [N m]" : "force [N]",
                            exact(l->frequency).c_str()));
        Card("GRID")
            .integer(l->id)
            .blank()
            .real(l->position[0])
            .real(l->position[1])
            .real(l->position[2])
            .appendTo(out);
        bodyGrids.push_back(l->id);
        const int first = l->type == Moment ? 4 : 1;
        std::vector<int> components;
        for (int d = 0; d < 3; ++d)
            if (l->direction[d] != 0.0)
                components.push_back(d);
        if (components.empty())
            components.push_back(0); // a zero load still needs its DAREA
        for (std::size_t k = 0; k < components.size(); k += 2) {
            Card darea("DAREA");
            darea.integer(l->id);
            for (std::size_t j = k; j < std::min(k + 2, components.size()); ++j)
                darea.integer(l->id)
                    .integer(first + components[j])
                    .real(l->value * l->direction[components[j]]);
            darea.appendTo(out);
        }
        Card("RLOAD1")
            .integer(l->id)
            .integer(l->id)
            .blank()
            .blank()
            .integer(constantTable)
            .appendTo(out);
    }
    if (!loads.empty()) {
        comment(out, "amplitude 1 at every frequency, for the RLOAD1 entries");
        Card("TABLED1")
            .integer(constantTable)
            .nextLine()
            .real(0.0)
            .real(1.0)
            .real(1.0)
            .real(1.0)
            .text("ENDT")
            .appendTo(out);
    }

    for (const auto& p : model.observationPoints) {
        comment(out, format("QUAV observation point %d \"%s\"", p.id, p.name.c_str()));
        Card("GRID")
            .integer(p.id)
            .blank()
            .real(p.position[0])
            .real(p.position[1])
            .real(p.position[2])
            .appendTo(out);
        bodyGrids.push_back(p.id);
    }

    if (!bodyGrids.empty()) {
        comment(out, "the rigid body: every body-side GRID tied to the centre of gravity");
        Card rbe("RBE2");
        rbe.integer(rbe2).integer(cog).integer(123456);
        for (long long id : bodyGrids)
            rbe.integer(id);
        rbe.appendTo(out);
    }
    if (!groundGrids.empty()) {
        comment(out, "the ground");
        Card spc("SPC1");
        spc.integer(1).integer(123456);
        for (long long id : groundGrids)
            spc.integer(id);
        spc.appendTo(out);
    }
    out += "ENDDATA\n";
    return deck;
}

} // namespace quav
