#include "view/Overlay.h"

#include "analysis/PointMotion.h"
#include "model/AnalysisModel.h"
#include "model/TextFormat.h"

#include <algorithm>
#include <cmath>

namespace quav {

namespace {

constexpr int kRow = 22;                    ///< line spacing of the result texts [pixels]
constexpr int kLabelX = 8;                  ///< left edge of the labels
constexpr int kColumn[3] = {190, 290, 390}; ///< right edges of the x, y, z values
constexpr Rgb kStaleGrey{0.62f, 0.62f, 0.62f};
constexpr const char* kDirections[6] = {"x", "y", "z", "Rx", "Ry", "Rz"};

/// Lines of the result texts on the panel, one below the other.
class TextColumn {
public:
    TextColumn(std::vector<OverlayText>& out, bool stale) : out_(out), stale_(stale) {
        if (stale)
            line("古い結果（計算後にモデルが変更されています）");
    }

    /// A text at x on the current line.
    void put(int x, std::string text, bool alignRight = false) {
        out_.push_back(
            {x, y_, std::move(text), alignRight, true, stale_ ? kStaleGrey : Rgb{1, 1, 1}});
    }
    /// A line of one text at the left; the next line comes below it.
    void line(std::string text) {
        put(kLabelX, std::move(text));
        next();
    }
    /// A label and up to three values in the x, y, z columns.
    void values(std::string label, std::initializer_list<std::string> values) {
        put(kLabelX, std::move(label));
        int i = 0;
        for (const std::string& v : values)
            put(kColumn[i++], v, true);
        next();
    }
    void next() { y_ += kRow; }

private:
    std::vector<OverlayText>& out_;
    bool stale_;
    int y_ = 4;
};

void modeTexts(TextColumn& t, const AnalysisModel& model, int n) {
    const int column = 6 - n;
    const Matrix& phi = model.modeShapes;
    if (column < 0 || column > 5 || phi.rows() < 6 || phi.cols() < 6 ||
        model.eigenFrequencies.size() < 6)
        return;
    t.line(format("Mode%d   %lf Hz", n, model.eigenFrequencies[column]));
    t.values("", {"固有ベクトル", "寄与率[%]"});
    for (int i = 0; i < 6; ++i)
        t.values(format("%s [%s]", kDirections[i], i < 3 ? "m" : "rad"),
                 {format("%lf", phi(i, column)),
                  format("%.2f", phi(i, column) * phi(i, column) * 100.0)});
}

/// The block of an object: its kind and name, then the motion p of its
/// position; a spring also shows p's translation in its own axes.
void objectBlock(TextColumn& t, const char* title, const std::string& name, const Matrix& p,
                 bool amplitude, const SpringElement* spring = nullptr) {
    t.line(name.empty() ? std::string(title) : std::string(title) + " " + name);
    t.values("", {"x", "y", "z"});
    t.values(amplitude ? "変位振幅" : "変位",
             {engineering(p[0], "m"), engineering(p[1], "m"), engineering(p[2], "m")});
    t.values(amplitude ? "回転振幅" : "回転",
             {engineering(p[3], "rad"), engineering(p[4], "rad"), engineering(p[5], "rad")});
    if (spring) {
        const Matrix local = springLocalDisplacement(*spring, Matrix::vector({p[0], p[1], p[2]}));
        t.values("ばね変位(ﾛｰｶﾙ)", {engineering(local[0], "m"), engineering(local[1], "m"),
                                    engineering(local[2], "m")});
    }
    t.values("絶対変位", {engineering(absoluteDisplacement(p), "m")});
}

/// The object blocks of a static or dynamic result: the mass element, the load
/// shown, every spring and every observation point whose id is `pick`, with
/// the motion u of the centre of gravity carried to each object's position.
void objectBlocks(TextColumn& t, const AnalysisModel& model, const StaticLoad& load,
                  const Matrix& u, int pick, bool amplitude) {
    const Matrix& cog = model.centreOfGravity;
    if (model.massElementId == pick)
        objectBlock(t, "<質量要素>", "", u, amplitude);
    if (load.id == pick)
        objectBlock(t, "<荷重要素>", load.name, pointTransfer(u, cog, load.position), amplitude);
    for (const SpringElement& s : model.springs) {
        if (s.id == pick)
            objectBlock(t, "<ばね要素>", model.markedSpringName(s),
                        pointTransfer(u, cog, s.position), amplitude, &s);
    }
    for (const ObservationPoint& o : model.observationPoints) {
        if (o.id == pick)
            objectBlock(t, "<観測点>", o.name, pointTransfer(u, cog, o.position), amplitude);
    }
}

/// The static or dynamic result texts of load k: its name (and frequency),
/// then the blocks of the picked object, amplitudes for a dynamic load.
template <class Load>
void loadTexts(TextColumn& t, const AnalysisModel& model, const std::vector<Load>& loads,
               const Matrix& results, int k, int pick) {
    if (k < 0 || k >= static_cast<int>(loads.size()))
        return;
    const Load& load = loads[k];
    constexpr bool dynamic = std::is_same_v<Load, DynamicLoad>;
    t.line(format("荷重名: %s", load.name.c_str()));
    if constexpr (dynamic)
        t.line(format("周波数: %g Hz", load.frequency));
    if (pick == 0) {
        t.line("表示オブジェクトを選択して下さい");
        return;
    }
    if (k >= results.rows() || results.cols() < (dynamic ? 12 : 6))
        return;
    Matrix u = Matrix::column(6);
    for (int i = 0; i < 6; ++i)
        u[i] = results(k, i);
    objectBlocks(t, model, load, u, pick, dynamic);
}

/// A load case: its name, the motion of the centre of gravity, and the block of
/// the picked spring or observation point.
void caseTexts(TextColumn& t, const AnalysisModel& model, const DisplayState& state, int pick) {
    t.line("荷重ケース: " + state.caseName);
    Matrix u = Matrix::column(6);
    for (int i = 0; i < 6; ++i)
        u[i] = state.caseDisplacement[static_cast<std::size_t>(i)];
    objectBlock(t, "<質量要素>", "", u, false);
    const Matrix& cog = model.centreOfGravity;
    for (const SpringElement& s : model.springs)
        if (s.id == pick)
            objectBlock(t, "<ばね要素>", model.markedSpringName(s),
                        pointTransfer(u, cog, s.position), false, &s);
    for (const ObservationPoint& o : model.observationPoints)
        if (o.id == pick)
            objectBlock(t, "<観測点>", o.name, pointTransfer(u, cog, o.position), false);
}

/// The model's springs whose characteristics carry frequency tables, one a line.
void tableMarks(std::vector<OverlayText>& out, const AnalysisModel& model) {
    TextColumn t(out, false);
    bool first = true;
    for (const SpringElement& s : model.springs) {
        if (!model.usesFrequencyTable(s))
            continue;
        if (first)
            t.line("周波数特性のあるばね要素");
        first = false;
        t.line(s.name + kFrequencyTableMark);
    }
}

void legend(Overlay& o, int h) {
    o.texts.push_back({20, h - 30, "x"});
    o.lines.push_back({30, h - 20, 50, h - 20, {1, 0, 0}});
    o.texts.push_back({60, h - 30, ","});
    o.texts.push_back({70, h - 30, "y"});
    o.lines.push_back({80, h - 20, 100, h - 20, {0, 1, 0}});
    o.texts.push_back({110, h - 30, ","});
    o.texts.push_back({120, h - 30, "z"});
    o.lines.push_back({130, h - 20, 150, h - 20, {0, 0, 1}});
}

} // namespace

std::string engineering(double value, const std::string& unit) {
    if (!std::isfinite(value))
        return format("%g", value) + " " + unit;
    if (value == 0.0)
        return "0 " + unit;
    static const char* const prefixes[] = {"f", "p", "n", "µ", "m", "", "k", "M", "G"};
    constexpr int kUnit = 5; // index of no prefix
    int group = static_cast<int>(std::floor(std::log10(std::fabs(value)) / 3.0));
    // Rounding to four digits can reach the next group (999.96 -> 1000).
    if (std::fabs(value) / std::pow(10.0, 3 * group) >= 999.95)
        ++group;
    group = std::clamp(group, -kUnit, 3);
    const double mantissa = value / std::pow(10.0, 3 * group);
    return format("%.4g", mantissa) + " " + prefixes[group + kUnit] + unit;
}

Overlay buildOverlay(const AnalysisModel* model, const DisplayState& state, int pickResult,
                     int height, bool stale) {
    Overlay o;
    if (model) {
        const bool shown = state.displayKind == DisplayKind::ModeShape ||
                           (state.displayKind != DisplayKind::Model && state.showDisplacementData);
        if (shown) {
            TextColumn t(o.texts, stale);
            switch (state.displayKind) {
            case DisplayKind::ModeShape:
                modeTexts(t, *model, state.modeNumber);
                break;
            case DisplayKind::StaticResult:
                loadTexts(t, *model, model->staticLoads, model->staticResults, state.loadIndex,
                          pickResult);
                break;
            case DisplayKind::DynamicResult:
                loadTexts(t, *model, model->dynamicLoads, model->dynamicResults, state.loadIndex,
                          pickResult);
                break;
            case DisplayKind::LoadCaseResult:
                caseTexts(t, *model, state, pickResult);
                break;
            case DisplayKind::Model:
                break;
            }
        } else if (state.displayKind == DisplayKind::Model) {
            tableMarks(o.texts, *model);
        }
    }
    legend(o, height);
    return o;
}

} // namespace quav
