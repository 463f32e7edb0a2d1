#include "view/Overlay.h"

#include "analysis/PointMotion.h"
#include "model/AnalysisModel.h"
#include "model/TextFormat.h"

namespace quav {

namespace {

/// Lines of the result texts, one below the other at a fixed spacing.
class TextColumn {
public:
    TextColumn(std::vector<OverlayText>& out, int y) : out_(out), y_(y) {}

    void at(int y, std::string text) { out_.push_back({0, y, std::move(text)}); }
    /// Appends a line of an object block; the next one comes 22 pixels lower.
    void next(std::string text) {
        at(y_, std::move(text));
        y_ += 22;
    }

private:
    std::vector<OverlayText>& out_;
    int y_;
};

void modeTexts(std::vector<OverlayText>& out, const AnalysisModel& model, int n) {
    const int column = 6 - n;
    const Matrix& phi = model.modeShapes;
    if (column < 0 || column > 5 || phi.rows() < 6 || phi.cols() < 6 ||
        model.eigenFrequencies.size() < 6)
        return;
    TextColumn t(out, 0);
    t.at(0, format("Mode%d", n));
    t.at(20, format("Freq: %lf [Hz]", model.eigenFrequencies[column]));
    t.at(60, "固有ベクトル");
    for (int i = 0; i < 6; ++i)
        t.at(80 + 20 * i, format("%lf", phi(i, column)));
    t.at(220, "寄与率[%]");
    for (int i = 0; i < 6; ++i)
        t.at(240 + 20 * i, format("%lf", phi(i, column) * phi(i, column) * 100.0));
}

std::string translationLine(const Matrix& p) {
    return format("変位:　　%lf, %lf, %lf", p[0], p[1], p[2]);
}

std::string rotationLine(const Matrix& p) {
    return format("回転:　　%lf, %lf, %lf", p[3], p[4], p[5]);
}

std::string absoluteLine(const Matrix& p) {
    return format("絶対変位:%lf", absoluteDisplacement(p));
}

/// The block of a load, spring or observation point: its name and the motion p
/// of its position; a spring also shows p's translation in its own axes.
void objectBlock(TextColumn& t, const char* title, const std::string& name, const Matrix& p,
                 const SpringElement* spring = nullptr) {
    t.next(title);
    t.next(format("名前:　　%s", name.c_str()));
    t.next(translationLine(p));
    t.next(rotationLine(p));
    if (spring) {
        const Matrix local = springLocalDisplacement(*spring, Matrix::vector({p[0], p[1], p[2]}));
        t.next(format("ばね変位:%lf, %lf, %lf", local[0], local[1], local[2]));
    }
    t.next(absoluteLine(p));
}

/// The object blocks of a static or dynamic result: the mass element, the load
/// shown, every spring and every observation point whose id is `pick`, with
/// the motion u of the centre of gravity carried to each object's position.
void objectBlocks(TextColumn& t, const AnalysisModel& model, const StaticLoad& load,
                  const Matrix& u, int pick) {
    const Matrix& cog = model.centreOfGravity;
    if (model.massElementId == pick) {
        t.next("<質量要素>");
        t.next(translationLine(u));
        t.next(rotationLine(u));
        t.next(absoluteLine(u));
    }
    if (load.id == pick)
        objectBlock(t, "<荷重要素>", load.name, pointTransfer(u, cog, load.position));
    for (const SpringElement& s : model.springs) {
        if (s.id == pick)
            objectBlock(t, "<ばね要素>", model.markedSpringName(s),
                        pointTransfer(u, cog, s.position), &s);
    }
    for (const ObservationPoint& o : model.observationPoints) {
        if (o.id == pick)
            objectBlock(t, "<観測点>", o.name, pointTransfer(u, cog, o.position));
    }
}

/// The static (`dynamic` false) or dynamic result texts of load k. The dynamic
/// texts have the load's frequency as a second line and everything below it
/// 44 pixels lower.
template <class Load>
void loadTexts(std::vector<OverlayText>& out, const AnalysisModel& model,
               const std::vector<Load>& loads, const Matrix& results, int k, int pick) {
    if (k < 0 || k >= static_cast<int>(loads.size()))
        return;
    const Load& load = loads[k];
    constexpr bool dynamic = std::is_same_v<Load, DynamicLoad>;
    const int shift = dynamic ? 44 : 0;
    TextColumn t(out, 0);
    t.at(0, format("荷重名: %s", load.name.c_str()));
    if constexpr (dynamic)
        t.at(44, format("周波数: %g  [Hz]", load.frequency));
    int blocks;
    if (pick == 0) {
        t.at(44 + shift, "表示オブジェクトを選択して下さい");
        blocks = 66 + shift;
    } else {
        t.at(44 + shift, "--変位データ--");
        t.at(66 + shift, "※変位はX,Y,Zの順に表記 変位単位[m]、回転単位[rad]");
        blocks = 110 + shift;
    }
    if (k >= results.rows() || results.cols() < (dynamic ? 12 : 6))
        return;
    Matrix u = Matrix::column(6);
    for (int i = 0; i < 6; ++i)
        u[i] = results(k, i);
    TextColumn block(out, blocks);
    objectBlocks(block, model, load, u, pick);
}

/// The model's springs whose characteristics carry frequency tables, one a line.
void tableMarks(std::vector<OverlayText>& out, const AnalysisModel& model) {
    TextColumn t(out, 0);
    bool first = true;
    for (const SpringElement& s : model.springs) {
        if (!model.usesFrequencyTable(s))
            continue;
        if (first)
            t.next("周波数特性のあるばね要素");
        first = false;
        t.next(s.name + kFrequencyTableMark);
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

Overlay buildOverlay(const AnalysisModel* model, const DisplayState& state, int pickResult,
                     int height) {
    Overlay o;
    if (model) {
        switch (state.displayKind) {
        case DisplayKind::ModeShape:
            modeTexts(o.texts, *model, state.modeNumber);
            break;
        case DisplayKind::StaticResult:
            if (state.showDisplacementData)
                loadTexts(o.texts, *model, model->staticLoads, model->staticResults,
                          state.loadIndex, pickResult);
            break;
        case DisplayKind::DynamicResult:
            if (state.showDisplacementData)
                loadTexts(o.texts, *model, model->dynamicLoads, model->dynamicResults,
                          state.loadIndex, pickResult);
            break;
        case DisplayKind::Model:
            tableMarks(o.texts, *model);
            break;
        }
    }
    legend(o, height);
    return o;
}

} // namespace quav
