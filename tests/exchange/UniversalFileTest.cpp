#include "exchange/UniversalFile.h"
#include "support/TestSupport.h"

#include "analysis/DynamicAnalysis.h"

#include <gtest/gtest.h>

#include <complex>
#include <sstream>

using namespace quav;
using namespace quav::testing;

namespace {

/// One dataset 58 as a reader sees it: nodes, directions, abscissa, complex values.
struct Response {
    std::string title;
    int node = 0, direction = 0, referenceNode = 0, referenceDirection = 0;
    int ordinateType = 0;
    std::size_t count = 0;
    double start = 0.0, step = 0.0;
    int ordinateData = 0, lengthExponent = 0;
    std::vector<std::complex<double>> values;
};

/// The dataset numbers in order and the responses, read by the records' columns.
std::vector<Response> readUniversalFile(const std::string& text, std::vector<int>& datasets) {
    std::istringstream in(text);
    std::vector<Response> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line != "    -1")
            continue;
        if (!std::getline(in, line))
            break;
        const int number = std::stoi(line);
        datasets.push_back(number);
        if (number != 58) {
            while (std::getline(in, line) && line != "    -1") {
            }
            continue;
        }
        Response r;
        std::getline(in, r.title);
        for (int i = 0; i < 4; ++i)
            std::getline(in, line);
        std::getline(in, line); // record 6: 2(I5,I10),2(1X,10A1,I10,I4)
        r.node = std::stoi(line.substr(41, 10));
        r.direction = std::stoi(line.substr(51, 4));
        r.referenceNode = std::stoi(line.substr(66, 10));
        r.referenceDirection = std::stoi(line.substr(76, 4));
        std::getline(in, line); // record 7: 3I10,3E13.5
        r.ordinateType = std::stoi(line.substr(0, 10));
        r.count = std::stoul(line.substr(10, 10));
        r.start = std::stod(line.substr(30, 13));
        r.step = std::stod(line.substr(43, 13));
        std::getline(in, line);
        std::getline(in, line); // the ordinate's characteristics
        r.ordinateData = std::stoi(line.substr(0, 10));
        r.lengthExponent = std::stoi(line.substr(10, 5));
        std::getline(in, line);
        std::getline(in, line);
        while (std::getline(in, line) && line != "    -1")
            for (std::size_t at = 0; at + 40 <= line.size(); at += 40)
                r.values.emplace_back(std::stod(line.substr(at, 20)),
                                      std::stod(line.substr(at + 20, 20)));
        out.push_back(r);
    }
    return out;
}

} // namespace

// A vertical force at the CoG of a symmetric layout: x / F = 1 / (Kz - w^2 m + i w Cz).
TEST(UniversalFile, VerticalResponseOfASymmetricBodyIsTheSingleDofOne) {
    AnalysisModel m = fourMountModel(0.3, 0.2, 0.1, v3(1e5, 2e5, 3e5), 1.2, v3(50, 60, 70));
    m.addDynamicLoad("shake", 2.5, m.centreOfGravity, v3(0, 0, 1), Translational, 10.0);
    m.addObservationPoint("tip", v3(1, 0, 0));
    m.setFrequencyRange(40.0, 1.0, 3.0);
    const UniversalFile uff = writeResponseUniversalFile(m, 0, 0);
    ASSERT_TRUE(uff.ok()) << uff.error;
    std::vector<int> datasets;
    const std::vector<Response> responses = readUniversalFile(uff.text, datasets);
    EXPECT_EQ(datasets, (std::vector<int>{151, 164, 58, 58, 58, 58, 58, 58, 58, 58, 58}));
    ASSERT_EQ(responses.size(), 9u);
    for (std::size_t i = 0; i < responses.size(); ++i) {
        const Response& r = responses[i];
        EXPECT_EQ(std::tuple(r.node, r.direction, r.referenceNode, r.referenceDirection,
                             r.ordinateType, r.count, r.values.size(), r.start, r.step),
                  std::tuple(i < 6 ? m.massElementId : m.observationPoints[0].id,
                             int(i < 6 ? i + 1 : i - 5), m.dynamicLoads[0].id, 3, 6,
                             std::size_t(14), std::size_t(14), 1.0, 3.0));
        EXPECT_EQ(r.lengthExponent, r.direction > 3 ? 0 : 1) << r.title;
    }
    // The file holds the engine's response to 13 digits, the closed form to about 1e-11.
    const HarmonicResponse engine(m);
    const double kz = 4 * 3e5 * 1.2, cz = 4 * 70.0;
    for (std::size_t k = 0; k < 14; ++k) {
        const double f = 1.0 + 3.0 * double(k), w = f * 6.283184;
        const std::complex<double> expected =
            1.0 / std::complex<double>(kz - w * w * m.mass, w * cz);
        const HarmonicResponse::ComplexMotion x = engine.complexMotion(0, f);
        const std::complex<double> own(x.re[2] / 2.5, x.im[2] / 2.5);
        const std::complex<double> got = responses[2].values[k];
        EXPECT_LE(std::abs(got - own), 1e-12 * std::abs(own)) << k;
        EXPECT_LE(std::abs(got - expected), 1e-10 * std::abs(expected)) << k;
        EXPECT_LE(std::abs(responses[0].values[k]), 1e-10 * std::abs(expected));
    }
}

TEST(UniversalFile, RequestsWithoutAResponseAreRefused) {
    AnalysisModel m = fourMountModel(0.3, 0.2, 0.1, v3(1e5, 2e5, 3e5), 1.2, v3(50, 60, 70));
    m.addDynamicLoad("shake", 2.5, m.centreOfGravity, v3(0, 0, 1), Translational, 10.0);
    m.setFrequencyRange(40.0, 1.0, 3.0);
    const struct {
        const char* what;
        std::function<void(AnalysisModel&)> change;
        bool calculation;
    } cases[] = {
        {"the load's value is 0", [](AnalysisModel& a) { a.dynamicLoads[0].value = 0; }, false},
        {"neither a force nor a moment", [](AnalysisModel& a) { a.dynamicLoads[0].type = -1; },
         false},
        {"no evenly spaced steps", [](AnalysisModel& a) { a.frequencyStep = 0; }, false},
        {"no evenly spaced steps", [](AnalysisModel& a) { a.frequencyEnd = -5.0; }, false},
        {"質量", [](AnalysisModel& a) { a.mass = 0; }, true},
    };
    for (const auto& c : cases) {
        AnalysisModel changed = m;
        c.change(changed);
        const UniversalFile uff = writeResponseUniversalFile(changed, 0, 0);
        EXPECT_NE(uff.error.find(c.what), std::string::npos) << uff.error;
        EXPECT_EQ(uff.calculationFailed, c.calculation) << c.what;
        EXPECT_TRUE(uff.text.empty());
    }
    EXPECT_EQ(writeResponseUniversalFile(m, 1, 0).error, "no such dynamic load");
}
