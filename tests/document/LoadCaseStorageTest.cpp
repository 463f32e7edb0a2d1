// Load cases, curves and rated loads in the model file's extension block and in JSON.
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

// The every-case-passes condition travels in file and JSON only when set.
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
