#include "view/Overlay.h"
#include "view/ViewControl.h"

#include "ViewTestModels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace quav;
using quav::testing::viewModel;

namespace {

constexpr int kHeight = 480;

/// The result texts as "y text", the legend left out.
std::vector<std::string> lines(const AnalysisModel* m, const DisplayState& s, int pick) {
    const Overlay o = buildOverlay(m, s, pick, kHeight);
    std::vector<std::string> out;
    for (const OverlayText& t : o.texts) {
        if (t.y < kHeight - 30)
            out.push_back(std::to_string(t.y) + " " + t.text);
    }
    return out;
}

std::string lf3(const char* label, double a, double b, double c) {
    char buffer[200];
    std::snprintf(buffer, sizeof buffer, "%s%lf, %lf, %lf", label, a, b, c);
    return buffer;
}

} // namespace

TEST(Overlay, ModeShapeTextsAtTheirRows) {
    const AnalysisModel m = viewModel();
    DisplayState s;
    s.showMode(2);
    s.showDisplacementData = false; // hides result texts, never the mode texts
    EXPECT_EQ(lines(&m, s, 0),
              (std::vector<std::string>{
                  "0 Mode2", "20 Freq: 2.000000 [Hz]", "60 固有ベクトル", "80 -0.400000",
                  "100 -0.300000", "120 -0.200000", "140 -0.100000", "160 0.800000", "180 0.100000",
                  "220 寄与率[%]", "240 16.000000", "260 9.000000", "280 4.000000", "300 1.000000",
                  "320 64.000000", "340 1.000000"}));
    s.modeNumber = 0; // no such mode: no texts, no crash
    EXPECT_TRUE(lines(&m, s, 0).empty());
    EXPECT_TRUE(lines(nullptr, s, 0).empty());
}

TEST(Overlay, StaticTextsForNothingAndForEachPickedObject) {
    AnalysisModel m = viewModel();
    DisplayState s;
    s.showStaticLoad(0);
    const std::string name = "0 荷重名: weight";
    const std::string header = "44 --変位データ--";
    const std::string note = "66 ※変位はX,Y,Zの順に表記 変位単位[m]、回転単位[rad]";
    EXPECT_EQ(lines(&m, s, 0),
              (std::vector<std::string>{name, "44 表示オブジェクトを選択して下さい"}));
    EXPECT_EQ(lines(&m, s, kNothingPicked), (std::vector<std::string>{name, header, note}));
    EXPECT_EQ(lines(&m, s, 1),
              (std::vector<std::string>{name, header, note, "110 <質量要素>",
                                        "132 " + lf3("変位:　　", 0.001, -0.002, 0.0005),
                                        "154 " + lf3("回転:　　", 0.01, 0, -0.02),
                                        "176 絶対変位:0.002291"}));
    const std::vector<std::string> load = lines(&m, s, 4);
    ASSERT_EQ(load.size(), 8u);
    // Applied at the centre of gravity.
    EXPECT_EQ(std::tuple(load[3], load[4], load[7]),
              std::tuple("110 <荷重要素>", "132 名前:　　weight", "198 絶対変位:0.002291"));

    const std::vector<std::string> spring = lines(&m, s, 3);
    ASSERT_EQ(spring.size(), 9u);
    EXPECT_EQ(std::tuple(spring[3], spring[4], spring[7].substr(0, 17), spring[8].substr(0, 17)),
              std::tuple("110 <ばね要素>", "132 名前:　　rear", "198 ばね変位:", "220 絶対変位:"));
    // A small turn about z at the centre of gravity carries the point at offset
    // (0.4, 0.1, 0) along a circle.
    const double t = 0.01;
    m.staticResults = Matrix(1, 6, {0, 0, 0, 0, 0, t});
    const double dx = 0.4 * (std::cos(t) - 1) - 0.1 * std::sin(t);
    const double dy = 0.4 * std::sin(t) + 0.1 * (std::cos(t) - 1);
    const std::vector<std::string> point = lines(&m, s, 6);
    ASSERT_EQ(point.size(), 8u);
    EXPECT_EQ(std::vector(point.begin() + 3, point.begin() + 7),
              (std::vector<std::string>{"110 <観測点>", "132 名前:　　radiator",
                                        "154 " + lf3("変位:　　", dx, dy, 0),
                                        "176 " + lf3("回転:　　", 0, 0, t)}));

    s.showDisplacementData = false;
    EXPECT_TRUE(lines(&m, s, 6).empty());
    // A missing result row keeps the header and prints no numbers.
    s.showDisplacementData = true;
    m.staticResults = Matrix();
    EXPECT_EQ(lines(&m, s, 1), (std::vector<std::string>{name, header, note}));
}

TEST(Overlay, DynamicTextsSitLowerUnderTheFrequency) {
    const AnalysisModel m = viewModel();
    DisplayState s;
    s.showDynamicLoad(0);
    const std::string name = "0 荷重名: unbalance", freq = "44 周波数: 25  [Hz]";
    EXPECT_EQ(lines(&m, s, 0),
              (std::vector<std::string>{name, freq, "88 表示オブジェクトを選択して下さい"}));
    const std::vector<std::string> picked = lines(&m, s, 1);
    ASSERT_EQ(picked.size(), 8u);
    // The displacement row holds the amplitudes.
    EXPECT_EQ(std::tuple(picked[2], picked[3].substr(0, 7), picked[4], picked[5]),
              std::tuple("88 --変位データ--", "110 ※", "154 <質量要素>",
                         "176 " + lf3("変位:　　", 0.002, 0.001, 0)));
}

TEST(Overlay, LegendAtTheBottomLeft) {
    const Overlay o = buildOverlay(nullptr, DisplayState{}, 0, 300);
    ASSERT_EQ(o.texts.size(), 5u);
    const char* texts[] = {"x", ",", "y", ",", "z"};
    const int xs[] = {20, 60, 70, 110, 120};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::tuple(o.texts[i].text, o.texts[i].x, o.texts[i].y),
                  std::tuple(texts[i], xs[i], 270));
    ASSERT_EQ(o.lines.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::tuple(o.lines[i].x1, o.lines[i].x2, o.lines[i].y1, o.lines[i].y2),
                  std::tuple(30 + 50 * i, 50 + 50 * i, 280, 280));
    EXPECT_EQ(o.lines[1].colour, (Rgb{0, 1, 0}));
}

TEST(Overlay, SpringsWithFrequencyTablesAreMarked) {
    AnalysisModel m = viewModel(); // "front" (id 2) on the characteristic, "rear" on none
    DisplayState s;
    EXPECT_TRUE(lines(&m, s, 0).empty());
    m.springCharacteristics[0].frequencyTable = {{1, {1, 1, 1}, {0, 0, 0}},
                                                 {10, {2, 2, 2}, {0.1, 0.1, 0.1}}};
    EXPECT_EQ(lines(&m, s, 0),
              (std::vector<std::string>{"0 周波数特性のあるばね要素", "22 front ※周波数特性"}));
    s.showStaticLoad(0);
    const std::vector<std::string> front = lines(&m, s, 2);
    ASSERT_GE(front.size(), 5u);
    EXPECT_EQ(front[4], "132 名前:　　front ※周波数特性");
    EXPECT_EQ(lines(&m, s, 3)[4], "132 名前:　　rear");
}
