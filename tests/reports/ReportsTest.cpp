#include "reports/Reports.h"
#include "support/TestSupport.h"

#include "analysis/CalculationDriver.h"
#include "model/TextEncoding.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quav;
using namespace quav::testing;

namespace {

/// Two springs on one characteristic, one observation point, one static and one
/// dynamic load, with results chosen so that every printed number can be worked
/// out by hand: the motions are pure translations, so every point moves alike,
/// and a spring with zero angles sees the global (x, y, z) as local (y, -x, z).
AnalysisModel fixedModel() {
    AnalysisModel m;
    m.mass = 100.0;
    m.setCentreOfGravity(v3(0.1, 0, 0.2));
    m.setSize(v3(0.5, 0.4, 0.3));
    m.setInertia(Matrix(3, 3, {2, 0.1, 0, 0, 3, 0, 0, 0, 4}));
    m.addSpring("FR", v3(0.3, -0.2, 0), v3(0, 0, 0), 0.05f);
    m.addSpring("FL", v3(0.3, 0.2, 0), v3(0, 15, 30), 0.05f);
    m.setSpringSelection(-1);
    m.assignCharacteristic("rubber", v3(4e5, 1e5, 1.5e5), 1.2, v3(100, 50, 75));
    m.addObservationPoint("mirror", v3(1, 0, 1));
    m.addStaticLoad("weight", 981, v3(0.1, 0, 0.2), v3(0, 0, -1), Translational);
    m.addDynamicLoad("unbalance", 50, v3(0, 0, 0), v3(0, 1, 0), Translational, 25.5);
    m.memo = "メモ①";

    for (int j = 0; j < 6; ++j)
        m.eigenFrequencies[j] = 30.0 - 5.0 * j; // storage 0 highest
    m.modeShapes = Matrix::identity(6);
    m.staticResults = Matrix(1, 6, {0.001, -0.002, 0.003, 0, 0, 0});
    m.dynamicResults = Matrix(1, 12, {0, 0.0005, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0});
    m.calculated = 1;
    return m;
}

const char* kNote =
    "※注記\r\n変位はx,y,zの順に表記\r\nばね要素については、ばね要素のローカル座標における"
    "変位を\"ばね変位\"として表記する\r\n\r\n";

std::string motion(const char* t, const char* r, const char* a) {
    return std::string("\t変位\t") + t + "\t[m]\r\n\t回転\t" + r + "\t[rad]\r\n\t絶対変位\t" + a +
           "\t\t\t[m]\r\n";
}

} // namespace

TEST(ResultsReport, GoldenTextOfTheFixedModel) {
    const std::string zeroRot = "0.000000\t0.000000\t0.000000";
    const std::string st = "0.001000\t-0.002000\t0.003000";
    const std::string stAbs = "0.003742";
    const std::string dy = "0.000000\t0.000500\t0.000000";
    const std::string dyAbs = "0.000500";

    std::string expected = "//////固有値解析結果//////\r\n\r\n"
                           "\t\t各自由度の寄与率[%]\r\n"
                           "No\t[Hz]\tx\ty\tz\tRx\tRy\tRz\r\n";
    // Mode 1 is storage column 5 (lowest frequency, all Rz).
    const char* rows[6] = {
        "1\t5.000000\t0.000000\t0.000000\t0.000000\t0.000000\t0.000000\t100.000000\t\r\n",
        "2\t10.000000\t0.000000\t0.000000\t0.000000\t0.000000\t100.000000\t0.000000\t\r\n",
        "3\t15.000000\t0.000000\t0.000000\t0.000000\t100.000000\t0.000000\t0.000000\t\r\n",
        "4\t20.000000\t0.000000\t0.000000\t100.000000\t0.000000\t0.000000\t0.000000\t\r\n",
        "5\t25.000000\t0.000000\t100.000000\t0.000000\t0.000000\t0.000000\t0.000000\t\r\n",
        "6\t30.000000\t100.000000\t0.000000\t0.000000\t0.000000\t0.000000\t0.000000\t\r\n"};
    for (const char* r : rows)
        expected += r;
    expected += "\r\n";

    expected += "//////静解析結果//////\r\n\r\n";
    expected += kNote;
    expected += "荷重名\tweight\t\r\n\r\n";
    expected +=
        "\t位置\t質量要素\r\n" + motion(st.c_str(), zeroRot.c_str(), stAbs.c_str()) + "\r\n";
    expected += "\t位置\tweight\r\n" + motion(st.c_str(), zeroRot.c_str(), stAbs.c_str()) + "\r\n";
    // FR has zero angles: local = (y, -x, z). FL is tilted: its local numbers differ.
    expected += "\t位置\tFR\r\n\t変位\t" + st + "\t[m]\r\n\t回転\t" + zeroRot +
                "\t[rad]\r\n\tばね変位\t-0.002000\t-0.001000\t0.003000\t[m]\r\n\t絶対変位\t" +
                stAbs + "\t\t\t[m]\r\n\r\n";
    const std::string report = resultsReport(fixedModel());
    const std::size_t fl = report.find("\t位置\tFL\r\n");
    ASSERT_NE(fl, std::string::npos);
    EXPECT_EQ(report.substr(0, expected.size()), expected);

    std::string tail =
        "\t位置\tmirror\r\n" + motion(st.c_str(), zeroRot.c_str(), stAbs.c_str()) + "\r\n\r\n";
    tail += "//////動解析結果//////\r\n\r\n";
    tail += kNote;
    tail += "荷重名\tunbalance\t\r\n\r\n\t周波数\t25.5\t[Hz]\r\n\r\n";
    tail += "\t位置\t質量要素\r\n" + motion(dy.c_str(), zeroRot.c_str(), dyAbs.c_str()) + "\r\n";
    tail += "\t位置\tunbalance\r\n" + motion(dy.c_str(), zeroRot.c_str(), dyAbs.c_str()) + "\r\n";
    tail += "\t位置\tFR\r\n\t変位\t" + dy + "\t[m]\r\n\t回転\t" + zeroRot +
            "\t[rad]\r\n\tばね変位\t0.000500\t0.000000\t0.000000\t[m]\r\n\t絶対変位\t" + dyAbs +
            "\t\t\t[m]\r\n\r\n";
    const std::size_t mirror = report.find("\t位置\tmirror\r\n");
    ASSERT_NE(mirror, std::string::npos);
    EXPECT_EQ(report.substr(mirror, tail.size()), tail);
    EXPECT_EQ(report.substr(report.size() - 4), "\r\n\r\n");
}

TEST(ResultsReport, LoadsWithoutResultRowsPrintZerosInsteadOfReadingPastTheTable) {
    AnalysisModel m = fixedModel();
    m.addStaticLoad("late", 1, v3(0, 0, 0), v3(1, 0, 0), Translational);
    m.dynamicResults.clear();
    const std::string report = resultsReport(m);
    EXPECT_NE(report.find("荷重名\tlate\t\r\n\r\n\t位置\t質量要素\r\n\t変位\t0.000000\t0.000000\t0."
                          "000000\t[m]\r\n"),
              std::string::npos);
}

TEST(ResultsReport, WithoutLoadsOnlyHeadingsAndNotesFollowTheEigenBlock) {
    AnalysisModel m = fixedModel();
    m.staticLoads.clear();
    m.dynamicLoads.clear();
    const std::string report = resultsReport(m);
    const std::string end = std::string("//////静解析結果//////\r\n\r\n") + kNote +
                            "//////動解析結果//////\r\n\r\n" + kNote;
    ASSERT_GE(report.size(), end.size());
    EXPECT_EQ(report.substr(report.size() - end.size()), end);
}

TEST(InputListing, GoldenTextOfTheFixedModel) {
    setenv("TZ", "UTC", 1);
    tzset();
    AnalysisModel m = fixedModel();
    m.staticLoads[0].type = -1; // free text left in the type box
    const std::string r = "//////////////////////////////////////////////////////////\r\n";
    const std::string expected =
        r +
        "QUAVインプットデータ\r\n\r\n\tファイル\tengine.quav\r\n"
        "\t作成日\t2024/03/05  09:07:03\r\n\t更新日\t2024/03/06  10:00:00\r\n\r\n" +
        r +
        "\r\n質量要素\t質量\t100\t\t\t[kg]\r\n\t座標\t0.1\t0\t0.2\t[m]\r\n"
        "\t慣性\t2\t0.1\t0\r\n\t\t0.1\t3\t0\r\n\t\t0\t0\t4\t[kg･m^2]\r\n\r\n"
        "ばね要素\t名前\tFR\r\n\t座標\t0.3\t-0.2\t0\t[m]\r\n\tY角度\t0\t\t\t[°]\r\n"
        "\tZ角度\t0\t\t\t[°]\r\n\tばね特性\trubber\r\n\r\n"
        "\t名前\tFL\r\n\t座標\t0.3\t0.2\t0\t[m]\r\n\tY角度\t15\t\t\t[°]\r\n"
        "\tZ角度\t30\t\t\t[°]\r\n\tばね特性\trubber\r\n\r\n\r\n"
        "ばね特性\t名前\trubber\r\n\tばね定数\t400000\t100000\t150000\t[N/m]\r\n"
        "\t減衰係数\t100\t50\t75\t[Ns/m]\r\n\t動倍率\t1.2\r\n\r\n"
        "\r\n静荷重\t名前\tweight\r\n\t座標\t0.1\t0\t0.2\t[m]\r\n\t荷重値\t981\r\n\tタイプ\t\r\n"
        "\t方向\t0\t0\t-1\r\n\r\n"
        "\r\n動荷重\t名前\tunbalance\r\n\t座標\t0\t0\t0\t[m]\r\n\t荷重値\t50\r\n"
        "\t周波数\t25.5\t\t\t[Hz]\r\n\tタイプ\t並進荷重\t\t\t[N]\r\n\t方向\t0\t1\t0\r\n\r\n"
        "\r\n観測点\t名前\tmirror\r\n\t座標\t1\t0\t1\t[m]\r\n\r\n"
        "\r\n" +
        r + "メモ\r\n\r\nメモ①\r\n";
    EXPECT_EQ(inputListing(m, "engine.quav", 1709629623, 1709719200), expected);
}

TEST(InputListing, EmptySectionsKeepTheirHeadingsAndUnboundSpringsShowNoName) {
    AnalysisModel m;
    m.addSpring("lonely", v3(0, 0, 0), v3(0, 0, 0), 1.0f);
    m.addDynamicLoad("torque", 5, v3(0, 0, 0), v3(1, 0, 0), Moment, 10);
    const std::string text = inputListing(m, "t", 0, 0);
    EXPECT_NE(text.find("\tばね特性\t\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nばね特性\r\n動荷重"), std::string::npos);
    EXPECT_EQ(text.find("静荷重"), std::string::npos);
    EXPECT_NE(text.find("\tタイプ\tトルク荷重\t\t\t[N･m]\r\n"), std::string::npos);
}

TEST(ElasticCentreReport, ModelWithoutSpringsPrintsZerosAndTheNote) {
    // The note's text is pinned by the golden report of the example.
    const std::string text = elasticCentreReport(AnalysisModel{});
    EXPECT_EQ(text.substr(0, text.find("実際には")),
              "弾性中心\r\n\tx方向\ty方向\tz方向\r\n"
              "x座標\t0.000000\t0.000000\t0.000000\r\n"
              "y座標\t0.000000\t0.000000\t0.000000\r\n"
              "z座標\t0.000000\t0.000000\t0.000000\r\n\r\n\r\n");
    EXPECT_TRUE(text.ends_with("これらの軸が一点で交わればそれが弾性中心になります。"));
}

TEST(ElasticCentreReport, SymmetricSpringsLocateTheCentre) {
    AnalysisModel m;
    for (double x : {-0.3, 0.3})
        for (double y : {-0.2, 0.2})
            m.addSpring("s", v3(x, y, 0.25), v3(0, 0, 0), 1.0f);
    m.setSpringSelection(-1);
    m.assignCharacteristic("k", v3(3e5, 1e5, 1e5), 1.0, v3(0, 0, 0));
    const std::string text = elasticCentreReport(m);
    EXPECT_NE(text.find("z座標\t0.250000\t0.250000\t0.000000\r\n"), std::string::npos) << text;
    EXPECT_EQ(*cp932ToUtf8(reportToCp932(text)), text);
}

TEST(ResultsReport, CalculatedModelListsModesFromTheLowestWithRatiosAddingUpTo100) {
    AnalysisModel m;
    m.mass = 150.0;
    m.setInertia(Matrix(3, 3, {7, 0.4, 0.9, 0, 11, -0.2, 0, 0, 9}));
    const double at[4][3] = {
        {0.35, 0.25, 0}, {0.35, -0.25, 0}, {-0.4, 0.22, -0.05}, {-0.4, -0.22, -0.05}};
    for (const auto& p : at)
        m.addSpring("m", v3(p[0], p[1], p[2]), v3(0, p[1] > 0 ? -70 : -110, 5), 0.05f);
    m.setSpringSelection(-1);
    m.assignCharacteristic("k", v3(2.5e5, 5e4, 5e4), 1.3, v3(200, 80, 80));
    m.addStaticLoad("w", 1471.5, v3(0, 0, 0), v3(0, 0, -1), Translational);
    CalculationConditions all;
    ASSERT_EQ(runCalculation(m, all), 0);

    const std::string report = resultsReport(m);
    std::size_t pos = report.find("No\t[Hz]\tx\ty\tz\tRx\tRy\tRz\r\n");
    ASSERT_NE(pos, std::string::npos);
    pos = report.find("\r\n", pos) + 2;
    double previous = -1.0;
    for (int k = 1; k <= 6; ++k) {
        const std::size_t end = report.find("\r\n", pos);
        const std::string row = report.substr(pos, end - pos);
        pos = end + 2;
        char* cursor = nullptr;
        EXPECT_EQ(std::strtol(row.c_str(), &cursor, 10), k);
        const double f = std::strtod(cursor, &cursor);
        EXPECT_GT(f, previous) << "mode " << k << " is not above mode " << k - 1;
        previous = f;
        double sum = 0.0;
        for (int i = 0; i < 6; ++i)
            sum += std::strtod(cursor, &cursor);
        EXPECT_NEAR(sum, 100.0, 6 * 0.5e-6 + 1e-9) << row;
    }
}
