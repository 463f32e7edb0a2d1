// Load cases, force-deflection curves and rated loads in the model file's
// extension block and in JSON.
#include "document/ModelExtensions.h"
#include "document/ModelFile.h"
#include "exchange/ModelJson.h"

#include "ModelFileFixtures.h"

#include <gtest/gtest.h>

using namespace quav;
using namespace quav::fixtures;

namespace {

const ForceCurve kSnubber = {{-0.004, -900}, {-0.002, -300}, {0, 0}, {0.003, 450}, {0.005, 1500}};

/// The sample model with curves on two directions, a rated load and two cases.
AnalysisModel casedSample() {
    AnalysisModel m = fixtures::sampleModel();
    SpringCharacteristic& c = m.springCharacteristics[0];
    c.curves[0] = kSnubber;
    c.curves[2] = {{0, 0}, {0.01, 250}};
    c.ratedLoad = std::array<double, 3>{2000, 800, 1e300};
    m.loadCases = {{"1G", {}, {0, 0, -1}},
                   {"WOT 1速", {{m.staticLoads[1].id, 12.1}, {m.staticLoads[0].id, -0.5}}, {}}};
    return m;
}

} // namespace

TEST(LoadCaseStorage, FileAndJsonKeepCasesCurvesAndRatingsAfterThePlainBytes) {
    const AnalysisModel m = casedSample();
    const std::string plain = written(fixtures::sampleModel());
    const std::string file = written(m);
    EXPECT_EQ(file.substr(0, plain.size()), plain);

    StudyRead r = readModelBytes(file);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.model->loadCases, m.loadCases);
    EXPECT_EQ(r.model->springCharacteristics[0].curves, m.springCharacteristics[0].curves);
    EXPECT_EQ(r.model->springCharacteristics[0].ratedLoad, m.springCharacteristics[0].ratedLoad);
    EXPECT_EQ(written(*r.model), file);

    const StudyRead j = modelFromJson(modelToJson(m, Optimizer{}));
    ASSERT_TRUE(j.ok()) << j.error;
    EXPECT_EQ(written(*j.model), file);
    // Unused, the keys are absent.
    EXPECT_EQ(modelToJson(fixtures::sampleModel(), Optimizer{}).find("loadCases"),
              std::string::npos);
}

TEST(LoadCaseStorage, DamagedSectionsRefuseTheFile) {
    const std::string plain = written(fixtures::sampleModel());
    const std::string noRating = i32(1) + i32(0) + i32(0);
    auto curve = [&](const ForceCurve& points) {
        std::string p = noRating + i32(static_cast<std::int32_t>(points.size()));
        for (const ForcePoint& q : points)
            p += f64(q.deflection) + f64(q.force);
        return section("CURV", p + i32(0) + i32(0));
    };
    auto oneCase = [&](const std::string& name, std::int32_t terms) {
        return i32(1) + static_cast<char>(name.size()) + name + f64(0) + f64(0) + f64(-1) +
               i32(terms);
    };
    const struct {
        const char* what;
        std::string block;
        const char* message;
    } cases[] = {
        {"a curve without the origin", curve({{0.001, 0}, {0.002, 1}}), "点 (0, 0) がありません"},
        {"a force that falls", curve({{0, 0}, {0.001, 5}, {0.002, 4}}), "点 3: 力が"},
        {"one point", curve({{0, 0}}), "点の数 1"},
        {"points beyond the file", section("CURV", noRating + i32(64)), "収まりません"},
        {"no such characteristic",
         section("CURV", i32(1) + i32(1) + i32(0) + i32(0) + i32(0) + i32(0)), "番号 1"},
        {"a rating that is no flag",
         section("CURV", i32(1) + i32(0) + i32(2) + std::string(12, '\0')), "定格荷重の有無 2"},
        {"a rating of 0",
         section("CURV",
                 i32(1) + i32(0) + i32(1) + f64(1) + f64(0) + f64(1) + i32(0) + i32(0) + i32(0)),
         "定格荷重 y"},
        {"an empty case name", section("LCAS", oneCase("", 0)), "名前は 1～255"},
        {"terms beyond the file", section("LCAS", oneCase("a", 3)), "静荷重の数"},
        {"two cases of one name",
         section("LCAS", i32(2) + oneCase("a", 0).substr(4) + oneCase("a", 0).substr(4)), "重複"},
        {"too many cases", section("LCAS", i32(1001) + std::string(40000, '\0')), "荷重ケースの数"},
        // The optimiser's condition that every case passes: a flag.
        {"a condition of 0", section("LCOK", i32(0)), "荷重ケースの条件 0 が不正です"},
        {"a condition of 2", section("LCOK", i32(2)), "荷重ケースの条件 2"},
        {"a cut condition", section("LCOK", "\1"), ""},
    };
    for (const auto& c : cases) {
        StudyRead r = readModelBytes(plain + block(1, c.block));
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_NE(r.error.find(c.message), std::string::npos) << c.what << ": " << r.error;
    }
    ASSERT_TRUE(readModelBytes(plain + block(1, curve(kSnubber))).ok());
}

TEST(LoadCaseStorage, WhatAReaderWouldRefuseIsNotWritten) {
    AnalysisModel m = casedSample();
    m.loadCases[1].name = "1G";
    EXPECT_NE(writeModelBytes(m, Optimizer{}).error.find("重複"), std::string::npos);
    m = casedSample();
    m.springCharacteristics[0].curves[1] = {{0, 0}};
    EXPECT_NE(writeModelBytes(m, Optimizer{}).error.find("非線形特性 y: 点が 2 点以上"),
              std::string::npos);
    EXPECT_FALSE(checkModelFile(m, Optimizer{}).ok());
}

// The optimiser's condition that every case passes: a section of its own in the
// file and a key in JSON, both absent when the condition is off.
TEST(LoadCaseStorage, TheEveryCasePassesConditionTravelsOnlyWhenSet) {
    const AnalysisModel m = casedSample();
    Optimizer on;
    on.conditions.loadCasesPass = 1;
    const std::string off = written(m);
    ModelBytes file = writeModelBytes(m, on);
    ASSERT_TRUE(file.ok()) << file.error;
    // The last section, after what the file holds without it.
    ASSERT_EQ(file.bytes.size(), off.size() + 12);
    EXPECT_EQ(file.bytes.substr(off.size()), section("LCOK", i32(1)));
    StudyRead r = readModelBytes(file.bytes);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.optimizer.conditions.loadCasesPass, 1);
    EXPECT_EQ(writeModelBytes(*r.model, r.optimizer).bytes, file.bytes);
    EXPECT_EQ(readModelBytes(off).optimizer.conditions.loadCasesPass, 0);

    const std::string json = modelToJson(m, on);
    EXPECT_NE(json.find("\"loadCasesPass\": 1"), std::string::npos);
    const StudyRead j = modelFromJson(json);
    ASSERT_TRUE(j.ok()) << j.error;
    EXPECT_EQ(writeModelBytes(*j.model, j.optimizer).bytes, file.bytes);
    EXPECT_EQ(modelToJson(m, Optimizer{}).find("loadCasesPass"), std::string::npos);
}
