#include "exchange/ModelJson.h"
#include "document/ModelFileFixtures.h"
#include "support/FrequencyTables.h"
#include "support/TestSupport.h"

#include "document/ModelFile.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

using namespace quav;
using namespace quav::testing;

namespace {

/// The model file tests' model with numbers JSON must carry with care: NaN, infinities, thirds.
AnalysisModel richModel() {
    AnalysisModel m = fixtures::sampleModel();
    m.setCentreOfGravity(v3(0.1, 1.0 / 3.0, -0.25));
    m.memo = "line1\r\nline2";
    m.staticResults(0, 2) = std::numeric_limits<double>::quiet_NaN();
    m.staticResults(0, 5) = std::numeric_limits<double>::infinity();
    m.dynamicResults(0, 11) = -std::numeric_limits<double>::infinity();
    m.eigenFrequencies[0] = 0.1 + 0.2;
    return m;
}

} // namespace

TEST(ModelJson, MissingKeysTakeDefaultsAndMissingIdsAreIssued) {
    const StudyRead r = modelFromJson(R"({"mass": 10, "springs": [{"name": "a"}, {"id": 5}],
        "staticLoads": [{"value": 3}], "dynamicLoads": [{}]})");
    ASSERT_TRUE(r.ok()) << r.error;
    const AnalysisModel& m = *r.model;
    EXPECT_EQ(std::tuple(m.mass, m.frequencyStep, m.springs[1].name, m.springs[1].size,
                         m.dynamicLoads[0].frequency, r.optimizer.conditions.springRatio),
              std::tuple(10.0, 1.0, std::string("Spring"), 1.0f, 1.0, 5.0));
    // Without lastId the largest id counts as issued; new ids follow it.
    EXPECT_EQ(std::tuple(m.springs[1].id, m.springs[0].id, m.staticLoads[0].id,
                         m.dynamicLoads[0].id, m.lastId),
              std::tuple(5, 6, 7, 8, 8));
    // Ids are taken as given, above lastId too; new ones go above them all.
    const StudyRead given = modelFromJson(
        R"({"lastId": 3, "springs": [{"id": 9}, {"id": 0}, {}], "optimizer": {"parameters":
            [{"id": 4, "minValue": 2}]}})");
    ASSERT_TRUE(given.ok()) << given.error;
    const AnalysisModel& g = *given.model;
    EXPECT_EQ(std::tuple(g.springs[0].id, g.springs[1].id, g.springs[2].id, g.lastId,
                         given.optimizer.parameterIdCounter),
              std::tuple(9, 0, 10, 10, 4));
    EXPECT_EQ(given.optimizer.parameters[0].currentValue, 2.0);
}

TEST(ModelJson, BadContentIsRefusedWithItsKeyPath) {
    const struct {
        const char* json;
        const char* path;
    } cases[] = {
        {R"({"springs": [{"position": [0, "x", 0]}]})", "springs[0].position[1]"},
        {R"({"springs": [{"position": [0, 0]}]})", "springs[0].position"},
        {R"({"memo": "\ud83d\ude00"})", "memo"},
        {R"({"results": {"modeShapes": [[1]]}})", "results.modeShapes"},
        {R"({"frequencyStart": 0, "frequencyEnd": 2, "frequencyStep": 1,
             "results": {"frequencyStepResults": [[], []]}})",
         "results.frequencyStepResults"},
        {R"({"frequencyStart": 0, "frequencyEnd": 1, "frequencyStep": 1, "dynamicLoads": [{}],
             "results": {"frequencyStepResults": [[], []]}})",
         "results.frequencyStepResults[0]: expected 1 rows"},
        {R"({"optimizer": {"conditions": {"displacementConditions": [{"directionFlags": [1]}]}}})",
         "optimizer.conditions.displacementConditions[0].directionFlags"},
        {R"([1, 2])", "(top level)"},
        // A typo or a value the model cannot hold never becomes a different model.
        {R"({"sprngs": []})", "sprngs: unknown key"},
        {R"({"springs": [{"nme": "a"}]})", "springs[0].nme: unknown key"},
        // Slots the file alone has (a reserved integer, one angle) have no key.
        {R"({"springCharacteristics": [{"": 0}]})", "springCharacteristics[0].: unknown key"},
        {R"({"optimizer": {"conditions": {"springRatio": 1, "sprngRatio": 2}}})",
         "optimizer.conditions.sprngRatio: unknown key"},
        {R"({"mass": 1, "mass": 2})", "mass: the key appears twice"},
        {R"({"springs": [{"id": 3000000000}]})", "springs[0].id"},
        {R"({"springs": [{"id": 18446744073709551615}]})", "springs[0].id"},
        {R"({"springs": [{"id": 1.0}]})", "springs[0].id: expected an integer"},
        {R"({"springs": [{"size": 1e300}]})", "springs[0].size: beyond the range of single"},
        {R"({"springs": [{"size": 1e-50}]})", "springs[0].size: too small for single precision"},
        {R"({"mass": 1e400})", "mass: 1e400 is beyond the range"},
        {R"({"mass": 1e-400})", "mass: 1e-400 is beyond the range"},
        {R"j({"mass": "NaN(0x0000000000000001)"})j", "mass: expected a number"},
        {R"({"lastId": 2147483647, "springs": [{}]})", "springs[0]: no id left"},
        {R"({"mass": 1} x)", "not valid JSON at line 1, column 13"},
        {R"({"memo": "\ud800"})", "not valid JSON"},
        {"{\"memo\": \"\xC0\x80\"}", "not valid JSON"},
        // Tables and curves: their JSON, and rules no other reader's test makes (those are the
        // tables' and curves' own checks: FrequencyTableText, ForceCurve tests).
        {R"({"springCharacteristics": [{"frequencyTable": [{"f": 1, "ratio": [1, 1, 1]}]}]})",
         "springCharacteristics[0].frequencyTable: expected 2 to 64 rows, found 1"},
        {R"({"springCharacteristics": [{}, {"frequencyTable": [
             {"f": 1, "ratio": [1, 1, 1]}, {"f": 1, "ratio": [1, 1, 1]}]}]})",
         "springCharacteristics[1].frequencyTable[1].f: f must be above"},
        {R"({"springCharacteristics": [{"frequencyTable": [
             {"f": 0, "ratio": [1, 1, 1]}, {"f": 1, "ratio": [1, 1, 1]}]}]})",
         "frequencyTable[0].f: f must be > 0"},
        {R"({"springCharacteristics": [{"frequencyTable": [{"f": 1, "ratio": [1, 1]}]}]})",
         "frequencyTable[0].ratio: expected an array of 3"},
        {R"({"springCharacteristics": [{"frequencyTable": [{"f": 1}, {"f": 2}]}]})",
         "frequencyTable[0]: missing key \"ratio\""},
        {R"({"results": {"modeIterations": [1, 2]}})", "results.modeIterations"},
        // Objectives: each with its kind's numbers and a sense, one to four.
        {R"({"optimizer": {"objectives": []}})", "optimizer.objectives: at least one"},
        {R"({"optimizer": {"objectives": [{"kind": "frequency", "sense": "max"}]}})",
         "optimizer.objectives[0]: missing \"mode\""},
        {R"({"optimizer": {"objectives": [{"kind": "meanCoupling", "mode": 1, "sense": "min"}]}})",
         "optimizer.objectives[0]: a key this objective does not have"},
        {R"({"optimizer": {"objectives": [{"kind": "meanCoupling"}]}})", "missing \"sense\""},
        {R"({"optimizer": {"objectives": [{"kind": "mass", "sense": "min"}]}})",
         "optimizer.objectives[0].kind: unknown objective"},
        {R"({"optimizer": {"objectives": [{"kind": "meanCoupling", "sense": "least"}]}})",
         "optimizer.objectives[0].sense"},
        {R"({"optimizer": {"objectives": [{"kind": "meanCoupling", "sense": "min"},
             {"kind": "meanCoupling", "sense": "min"}, {"kind": "meanCoupling", "sense": "min"},
             {"kind": "meanCoupling", "sense": "min"}, {"kind": "meanCoupling", "sense": "min"}]}})",
         "optimizer.objectives[4]: at most 4"},
        {R"({"springCharacteristics": [{"curves": {"w": []}}]})",
         "springCharacteristics[0].curves.w: unknown key"},
        {R"({"springCharacteristics": [{"curves": {"y": [[0, 0], [0.1, 5], [0.1, 6]]}}]})",
         "curves.y[2][0]: the deflection must be above"},
        {R"({"springCharacteristics": [{"curves": {"x": [[0, 0], [1, "Infinity"]]}}]})",
         "curves.x[1][1]: expected a finite number"},
        {R"({"springCharacteristics": [{"ratedLoad": [1, 0, 1]}]})",
         "springCharacteristics[0].ratedLoad[1]: a rated load must be"},
        {R"({"loadCases": [{"name": "a"}, {"name": "a"}]})", "loadCases[1].name: the name"},
        {R"({"loadCases": [{"name": ""}]})", "loadCases[0].name: a name must have 1 to 255"},
        {R"({"loadCases": [{"gLoad": [0, 0, -1]}]})", "loadCases[0]: missing key \"name\""},
        {R"({"loadCases": [{"name": "a", "terms": [{"factor": 2}]}]})",
         "loadCases[0].terms[0]: missing key \"load\""},
        {R"({"loadCases": [{"name": "a", "terms": [{"load": 2, "factor": "NaN"}]}]})",
         "loadCases[0].terms[0].factor: expected a finite number"},
        {R"({"loadCases": [{"name": "a", "gLoad": [0, "-Infinity", 0]}]})",
         "loadCases[0].gLoad[1]: expected a finite number"},
        {R"({"loadCases": [{"name": "a", "g": 1}]})", "loadCases[0].g: unknown key"},
        {R"({"optimizer": {"conditions": {"loadCasesPass": 2}}})",
         "optimizer.conditions.loadCasesPass: expected 0 or 1"},
    };
    for (const auto& c : cases) {
        const StudyRead r = modelFromJson(c.json);
        EXPECT_FALSE(r.ok()) << c.json;
        EXPECT_NE(r.error.find(c.path), std::string::npos) << c.json << "\n" << r.error;
    }
}

// Whatever the model file's reader takes, JSON takes too, and gives the same file back.
TEST(ModelJson, EveryModelFileExportsAndImportsToTheSameBytes) {
    AnalysisModel m = richModel();
    Optimizer o = fixtures::sampleOptimizer();
    m.lastId = 2;                          // ids above lastId
    m.springs[0].id = m.staticLoads[0].id; // an id used twice
    m.observationPoints[0].id = 0;
    m.staticResults(0, 0) = -std::numeric_limits<double>::quiet_NaN();
    m.staticResults(0, 1) = std::bit_cast<double>(std::uint64_t{0x7FF0000000000001});
    m.springs[0].size = std::bit_cast<float>(std::uint32_t{0xFFC00001});
    o.parameterIdCounter = 0; // below the parameters' ids
    m.springCharacteristics[0].frequencyTable = rubberTable(7);
    m.springCharacteristics[0].frequencyTable[3].ratio[1] = 4.0 / 3.0;
    m.modeIterations = {5, 4, 6, 5, 5, 7};
    o.objectives = {{ObjectiveKind::DecouplingMin, true},
                    {ObjectiveKind::Frequency, true, 2},
                    {ObjectiveKind::Transmissibility, false, 0, 1},
                    {ObjectiveKind::StaticDisplacement, false, 0, 8, 2}};
    const ModelBytes file = writeModelBytes(m, o);
    ASSERT_TRUE(file.ok()) << file.error;
    EXPECT_EQ(checkModelFile(m, o).bytes, file.bytes.size());
    StudyRead read = readModelBytes(file.bytes);
    ASSERT_TRUE(read.ok()) << read.error;
    const std::string json = modelToJson(*read.model, read.optimizer);
    for (const char* piece :
         {"\"NaN\"", "\"-NaN\"", "\"-Infinity\"", "\"NaN(0x7ff0000000000001)\"",
          "\"NaN(0xffc00001)\"", "\"modeIterations\": [5, 4, 6, 5, 5, 7]",
          "{\"f\": 1.0, \"ratio\": [1.1, 1.05, 1.05], \"loss\": [0.05, 0.04, 0.04]}",
          // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one piece on two lines
          "\"kind\": \"staticDisplacement\",\n        \"object\": 2,\n        \"load\": 8,\n"
          "        \"sense\": \"min\""})
        EXPECT_NE(json.find(piece), std::string::npos) << piece << "\n" << json;
    StudyRead back = modelFromJson(json);
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(back.optimizer.objectives, o.objectives);
    const ModelBytes again = writeModelBytes(*back.model, back.optimizer);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.bytes, file.bytes);
}

TEST(ModelJson, AFailedDestinationIsReported) {
    AnalysisModel m = richModel();
    Optimizer o = fixtures::sampleOptimizer();
    int pieces = 0;
    const std::string error =
        writeModelJson(m, o, [&pieces](std::string_view) { return ++pieces < 0; });
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(pieces, 1);
}

TEST(ModelJson, TablesTakeTheirLossAsZeroWhenNotGiven) {
    const StudyRead r = modelFromJson(R"({"springCharacteristics": [{"frequencyTable": [
        {"f": 10, "ratio": [1.2, 1.1, 1.1], "loss": [0.08, 0.06, 0.06]},
        {"f": 100, "ratio": [1.5, 1.3, 1.3]}]}]})");
    ASSERT_TRUE(r.ok()) << r.error;
    const FrequencyTable& t = r.model->springCharacteristics[0].frequencyTable;
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0], (FrequencyTableRow{10, {1.2, 1.1, 1.1}, {0.08, 0.06, 0.06}}));
    EXPECT_EQ(t[1], (FrequencyTableRow{100, {1.5, 1.3, 1.3}, {0, 0, 0}}));
    // A model without tables writes no key for them.
    EXPECT_EQ(modelToJson(AnalysisModel{}, Optimizer{}).find("frequencyTable"), std::string::npos);
}
