#include "view/Overlay.h"
#include "view/ViewControl.h"

#include "ViewTestModels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace quav;
using quav::testing::viewModel;

namespace {

constexpr int kHeight = 480;

/// The result texts line by line, joined by " | ", the legend left out.
std::vector<std::string> lines(const AnalysisModel* m, const DisplayState& s, int pick,
                               bool stale = false) {
    const Overlay o = buildOverlay(m, s, pick, kHeight, stale);
    std::vector<std::string> out;
    int y = -1;
    for (const OverlayText& t : o.texts) {
        if (!t.onPanel)
            continue;
        if (t.y != y)
            out.emplace_back();
        else
            out.back() += " | ";
        out.back() += t.text;
        y = t.y;
    }
    return out;
}

} // namespace

TEST(Overlay, ModeShapeNumbersLabelledWithUnits) {
    const AnalysisModel m = viewModel();
    DisplayState s;
    s.showMode(2);
    s.showDisplacementData = false; // hides result texts, never the mode texts
    EXPECT_EQ(lines(&m, s, 0), (std::vector<std::string>{
                                   "Mode2   2.000000 Hz", " | 固有ベクトル | 寄与率[%]",
                                   "x [m] | -0.400000 | 16.00", "y [m] | -0.300000 | 9.00",
                                   "z [m] | -0.200000 | 4.00", "Rx [rad] | -0.100000 | 1.00",
                                   "Ry [rad] | 0.800000 | 64.00", "Rz [rad] | 0.100000 | 1.00"}));
    // The values line up at the right edges of their columns.
    const Overlay o = buildOverlay(&m, s, 0, kHeight);
    EXPECT_TRUE(o.texts[3].alignRight && o.texts[3].x == o.texts[6].x);
    s.modeNumber = 0; // no such mode: no texts, no crash
    EXPECT_TRUE(lines(&m, s, 0).empty());
    EXPECT_TRUE(lines(nullptr, s, 0).empty());
}

TEST(Overlay, StaticTextsForNothingAndForEachPickedObject) {
    AnalysisModel m = viewModel();
    DisplayState s;
    s.showStaticLoad(0);
    const std::string name = "荷重名: weight";
    const std::string xyz = " | x | y | z";
    EXPECT_EQ(lines(&m, s, 0),
              (std::vector<std::string>{name, "表示オブジェクトを選択して下さい"}));
    EXPECT_EQ(lines(&m, s, kNothingPicked), (std::vector<std::string>{name}));
    EXPECT_EQ(lines(&m, s, 1), (std::vector<std::string>{
                                   name, "<質量要素>", xyz, "変位 | 1 mm | -2 mm | 500 µm",
                                   "回転 | 10 mrad | 0 rad | -20 mrad", "絶対変位 | 2.291 mm"}));
    const std::vector<std::string> spring = lines(&m, s, 3);
    ASSERT_EQ(spring.size(), 7u);
    EXPECT_EQ(spring[1], "<ばね要素> rear");
    EXPECT_TRUE(spring[5].starts_with("ばね変位(ﾛｰｶﾙ) | ")) << spring[5];
    // A small turn about z at the centre of gravity moves the point along a circle.
    const double t = 0.01;
    m.staticResults = Matrix(1, 6, {0, 0, 0, 0, 0, t});
    const double dx = 0.4 * (std::cos(t) - 1) - 0.1 * std::sin(t);
    const double dy = 0.4 * std::sin(t) + 0.1 * (std::cos(t) - 1);
    const std::vector<std::string> point = lines(&m, s, 6);
    ASSERT_EQ(point.size(), 6u);
    EXPECT_EQ(std::vector(point.begin() + 1, point.begin() + 5),
              (std::vector<std::string>{"<観測点> radiator", xyz,
                                        "変位 | " + engineering(dx, "m") + " | " +
                                            engineering(dy, "m") + " | 0 m",
                                        "回転 | 0 rad | 0 rad | 10 mrad"}));

    s.showDisplacementData = false;
    EXPECT_TRUE(lines(&m, s, 6).empty());
    // A missing result row keeps the name and prints no numbers.
    s.showDisplacementData = true;
    m.staticResults = Matrix();
    EXPECT_EQ(lines(&m, s, 1), (std::vector<std::string>{name}));
}

TEST(Overlay, DynamicTextsAreAmplitudesUnderTheFrequency) {
    const AnalysisModel m = viewModel();
    DisplayState s;
    s.showDynamicLoad(0);
    const std::string name = "荷重名: unbalance", freq = "周波数: 25 Hz";
    EXPECT_EQ(lines(&m, s, 0),
              (std::vector<std::string>{name, freq, "表示オブジェクトを選択して下さい"}));
    const std::vector<std::string> picked = lines(&m, s, 1);
    ASSERT_EQ(picked.size(), 7u);
    EXPECT_EQ(std::tuple(picked[2], picked[4]),
              std::tuple("<質量要素>", "変位振幅 | 2 mm | 1 mm | 0 m"));
}

TEST(Overlay, StaleResultsInGreyUnderTheirMark) {
    const AnalysisModel m = viewModel();
    DisplayState s;
    s.showMode(1);
    const Overlay o = buildOverlay(&m, s, 0, kHeight, true);
    ASSERT_GT(o.texts.size(), 8u);
    EXPECT_EQ(o.texts[0].text, "古い結果（計算後にモデルが変更されています）");
    EXPECT_EQ(o.texts[1].text.substr(0, 5), "Mode1");
    for (const OverlayText& t : o.texts)
        EXPECT_TRUE(!t.onPanel || t.colour.r < 1.0f) << t.text;
    for (const OverlayText& t : buildOverlay(&m, s, 0, kHeight).texts)
        EXPECT_EQ(t.colour, (Rgb{1, 1, 1}));
}

TEST(Overlay, EngineeringNotation) {
    const struct {
        double value;
        const char* unit;
        const char* text;
    } cases[] = {
        {0.0, "m", "0 m"},        {0.001234, "m", "1.234 mm"}, {-5.67e-5, "rad", "-56.7 µrad"},
        {999.96e-6, "m", "1 mm"}, {12.5, "m", "12.5 m"},       {3.2e4, "N", "32 kN"},
        {1e-17, "m", "0.01 fm"},  {2e12, "N", "2000 GN"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(engineering(c.value, c.unit), c.text) << c.value;
    EXPECT_EQ(engineering(std::nan(""), "m").substr(0, 3), "nan");
}

TEST(Overlay, SpringsWithFrequencyTablesAreMarked) {
    AnalysisModel m = viewModel(); // "front" (id 2) on the characteristic, "rear" on none
    DisplayState s;
    EXPECT_TRUE(lines(&m, s, 0).empty());
    m.springCharacteristics[0].frequencyTable = {{1, {1, 1, 1}, {0, 0, 0}},
                                                 {10, {2, 2, 2}, {0.1, 0.1, 0.1}}};
    EXPECT_EQ(lines(&m, s, 0),
              (std::vector<std::string>{"周波数特性のあるばね要素", "front ※周波数特性"}));
    s.showStaticLoad(0);
    const std::vector<std::string> front = lines(&m, s, 2);
    ASSERT_GE(front.size(), 2u);
    EXPECT_EQ(front[1], "<ばね要素> front ※周波数特性");
    EXPECT_EQ(lines(&m, s, 3)[1], "<ばね要素> rear");
}
