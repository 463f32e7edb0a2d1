#include "reports/Reports.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quav;
using namespace quav::testing;

namespace {

/// A spring, one static and one dynamic load, and results as a calculation leaves them.
AnalysisModel fixedModel() {
    AnalysisModel m;
    m.mass = 100.0;
    m.setInertia(Matrix(3, 3, {2, 0.1, 0, 0, 3, 0, 0, 0, 4}));
    m.addSpring("FR", v3(0.3, -0.2, 0), v3(0, 0, 0), 0.05f);
    m.addStaticLoad("weight", 981, v3(0.1, 0, 0.2), v3(0, 0, -1), Translational);
    m.addDynamicLoad("unbalance", 50, v3(0, 0, 0), v3(0, 1, 0), Translational, 25.5);
    for (int j = 0; j < 6; ++j)
        m.eigenFrequencies[j] = 30.0 - 5.0 * j;
    m.modeShapes = Matrix::identity(6);
    m.staticResults = Matrix(1, 6, {0.001, -0.002, 0.003, 0, 0, 0});
    m.dynamicResults = Matrix(1, 12);
    m.calculated = 1;
    return m;
}

const char* kNote =
    "※注記\r\n変位はx,y,zの順に表記\r\nばね要素については、ばね要素のローカル座標における"
    "変位を\"ばね変位\"として表記する\r\n\r\n";

} // namespace

TEST(ResultsReport, LoadsWithoutResultRowsPrintZerosAndWithoutLoadsOnlyHeadingsFollow) {
    AnalysisModel m = fixedModel();
    m.addStaticLoad("late", 1, v3(0, 0, 0), v3(1, 0, 0), Translational);
    m.dynamicResults.clear();
    std::string report = resultsReport(m);
    EXPECT_NE(report.find("荷重名\tlate\t\r\n\r\n\t位置\t質量要素\r\n\t変位\t0.000000\t0.000000\t0."
                          "000000\t[m]\r\n"),
              std::string::npos);
    // Without loads only headings and notes follow the eigen block.
    m.staticLoads.clear();
    m.dynamicLoads.clear();
    report = resultsReport(m);
    const std::string end = std::string("//////静解析結果//////\r\n\r\n") + kNote +
                            "//////動解析結果//////\r\n\r\n" + kNote;
    ASSERT_GE(report.size(), end.size());
    EXPECT_EQ(report.substr(report.size() - end.size()), end);
}

TEST(InputListing, DatesFreeTextLoadTypesEmptySectionsAndUnboundSprings) {
    // The example's golden listing pins the rest; its dates are masked there.
    setenv("TZ", "UTC", 1);
    tzset();
    AnalysisModel m = fixedModel();
    m.staticLoads[0].type = -1; // free text left in the type box
    std::string text = inputListing(m, "engine.quav", 1709629623, 1709719200);
    EXPECT_NE(text.find("\tファイル\tengine.quav\r\n"
                        "\t作成日\t2024/03/05  09:07:03\r\n\t更新日\t2024/03/06  10:00:00\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\t荷重値\t981\r\n\tタイプ\t\r\n\t方向\t0\t0\t-1\r\n"), std::string::npos);
    // Empty sections keep their headings; unbound springs show no name.
    AnalysisModel bare;
    bare.addSpring("lonely", v3(0, 0, 0), v3(0, 0, 0), 1.0f);
    bare.addDynamicLoad("torque", 5, v3(0, 0, 0), v3(1, 0, 0), Moment, 10);
    text = inputListing(bare, "t", 0, 0);
    EXPECT_NE(text.find("\tばね特性\t\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nばね特性\r\n動荷重"), std::string::npos);
    EXPECT_EQ(text.find("静荷重"), std::string::npos);
    EXPECT_NE(text.find("\tタイプ\tトルク荷重\t\t\t[N･m]\r\n"), std::string::npos);
}

// A direction without stiffness has no axis: its cells say so, a line explains.
TEST(ElasticCentreReport, DirectionsWithoutStiffnessAreUndefined) {
    // The note's text is pinned by the golden report of the example.
    const std::string none = elasticCentreReport(AnalysisModel{});
    EXPECT_EQ(none.substr(0, none.find("実際には")), "弾性中心\r\n\tx方向\ty方向\tz方向\r\n"
                                                     "x座標\t未定義\t未定義\t未定義\r\n"
                                                     "y座標\t未定義\t未定義\t未定義\r\n"
                                                     "z座標\t未定義\t未定義\t未定義\r\n\r\n\r\n");
    EXPECT_TRUE(none.ends_with("弾性中心になります。\r\n未定義: その方向のばね定数の和が0のため、"
                               "弾性主軸がありません。"));
    // Vertical rates only: the z axis exists, x and y do not.
    AnalysisModel m = fourMountModel(0.3, 0.2, 0.1, v3(0, 0, 1e5));
    const std::string vertical = elasticCentreReport(m);
    EXPECT_NE(vertical.find("x座標\t未定義\t未定義\t0.100000\r\n"), std::string::npos) << vertical;
}

TEST(Reports, FrequencyTablesAndModesAtTheirOwnFrequencies) {
    AnalysisModel m = fixedModel();
    m.setSpringSelection(-1);
    m.assignCharacteristic("rubber", v3(1e5, 2e5, 3e5), 1.2, v3(0, 0, 0));
    m.springCharacteristics[0].frequencyTable = {{5, {1.1, 1.2, 1.3}, {0.05, 0, 0.1}},
                                                 {50, {1.5, 1.6, 1.7}, {0.1, 0, 0.2}}};
    const std::string without = resultsReport(m);
    EXPECT_NE(without.find("No\t[Hz]\tx\ty\tz\tRx\tRy\tRz\r\n1\t5.000000\t"), std::string::npos);
    m.modeIterations = {4, 5, 4, 6, 4, 4};
    const std::string report = resultsReport(m);
    EXPECT_NE(report.find("No\t[Hz]\tx\ty\tz\tRx\tRy\tRz\t周波数特性\t反復回数\r\n"
                          "1\t5.000000\t0.000000\t0.000000\t0.000000\t0.000000\t0.000000\t"
                          "100.000000\t自身の周波数で決定\t4\t\r\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\t自身の周波数で決定\t6\t\r\n"), std::string::npos);

    const std::string listing = inputListing(m, "t.quav", 0, 0);
    EXPECT_NE(listing.find("\t動倍率\t1.2\r\n\t周波数特性\t[Hz]\t動倍率 x\t動倍率 y\t動倍率 z\t"
                           "損失係数 x\t損失係数 y\t損失係数 z\r\n"
                           "\t\t5\t1.1\t1.2\t1.3\t0.05\t0\t0.1\r\n"
                           "\t\t50\t1.5\t1.6\t1.7\t0.1\t0\t0.2\r\n\r\n"),
              std::string::npos)
        << listing;
}
