// The model file's extension block (frequency tables, iterations, curves, rated
// loads, load cases, the every-case-passes condition), and the same in JSON.
#include "document/ModelExtensions.h"
#include "document/ModelFile.h"
#include "exchange/ModelJson.h"

#include "ModelFileFixtures.h"
#include "support/FrequencyTables.h"

#include <gtest/gtest.h>

#include <functional>

using namespace quav;
using namespace quav::fixtures;
using quav::testing::rubberTable;

namespace {

/// The sample model with a five-row table, iteration counts, curves on two
/// directions, a rated load and two cases.
AnalysisModel extendedSample() {
    AnalysisModel m = fixtures::sampleModel();
    SpringCharacteristic& c = m.springCharacteristics[0];
    c.frequencyTable = rubberTable(5);
    m.modeIterations = {3, 4, 4, 5, 3, 6};
    c.curves[0] = {{-0.004, -900}, {-0.002, -300}, {0, 0}, {0.003, 450}, {0.005, 1500}};
    c.curves[2] = {{0, 0}, {0.01, 250}};
    c.ratedLoad = std::array<double, 3>{2000, 800, 1e300};
    m.loadCases = {{"1G", {}, {0, 0, -1}},
                   {"WOT 1速", {{m.staticLoads[1].id, 12.1}, {m.staticLoads[0].id, -0.5}}, {}}};
    return m;
}

/// One table payload: one entry, at `index`, with the rows given.
std::string tablePayload(std::int32_t index, const FrequencyTable& rows) {
    std::string p = i32(1) + i32(index) + i32(static_cast<std::int32_t>(rows.size()));
    for (const FrequencyTableRow& row : rows)
        for (int c = 0; c < kTableColumns; ++c)
            p += f64(tableCell(row, c));
    return p;
}

} // namespace

TEST(ModelExtensions, TheBlockFollowsTheFormat303BytesAndJsonCarriesTheSame) {
    const AnalysisModel plainModel = fixtures::sampleModel();
    const AnalysisModel m = extendedSample();
    const Optimizer o = fixtures::sampleOptimizer();
    const std::string plain = written(plainModel, fixtures::sampleOptimizer());
    const std::string file = written(m, o);
    ASSERT_GT(file.size(), plain.size());
    EXPECT_EQ(file.substr(0, plain.size()), plain);
    EXPECT_EQ(file.substr(plain.size(), 8), kExtensionMagic);

    StudyRead r = readModelBytes(file);
    ASSERT_TRUE(r.ok()) << r.error;
    const SpringCharacteristic& c = r.model->springCharacteristics[0];
    EXPECT_EQ(std::tuple(c.frequencyTable, c.curves, c.ratedLoad),
              std::tuple(rubberTable(5), m.springCharacteristics[0].curves,
                         m.springCharacteristics[0].ratedLoad));
    EXPECT_EQ(std::tuple(r.model->modeIterations, r.model->loadCases),
              std::tuple(m.modeIterations, m.loadCases));
    EXPECT_EQ(written(*r.model, r.optimizer), file);
    const StudyRead j = modelFromJson(modelToJson(m, o));
    ASSERT_TRUE(j.ok()) << j.error;
    EXPECT_EQ(written(*j.model, j.optimizer), file);
    // Unused, the keys are absent.
    EXPECT_EQ(modelToJson(plainModel, Optimizer{}).find("loadCases"), std::string::npos);

    // A reader that stops at the model's end has the same model without its tables.
    StudyRead old = readModelBytes(std::string_view(file).substr(0, plain.size()));
    ASSERT_TRUE(old.ok()) << old.error;
    EXPECT_TRUE(old.model->springCharacteristics[0].frequencyTable.empty());
    EXPECT_EQ(written(*old.model, old.optimizer), plain);
}

TEST(ModelExtensions, TrailingBytesThatAreNoBlockAreIgnoredAsAlways) {
    const std::string plain = written(fixtures::sampleModel());
    for (const std::string& tail : {std::string("x"), std::string("QUAVEXX\0....", 12)}) {
        StudyRead r = readModelBytes(plain + tail);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(written(*r.model), plain);
    }
}

TEST(ModelExtensions, DamagedBlocksRefuseTheWholeFile) {
    const std::string plain = written(fixtures::sampleModel());
    const std::string table = tablePayload(0, rubberTable(3));
    const std::string iterations = i32(1) + i32(2) + i32(3) + i32(4) + i32(5) + i32(6);
    auto withRows = [](std::function<void(FrequencyTable&)> change) {
        FrequencyTable t = rubberTable(3);
        change(t);
        return tablePayload(0, t);
    };
    const std::string noRating = i32(1) + i32(0) + i32(0);
    auto curve = [&](const ForceCurve& points) {
        std::string p = noRating + i32(static_cast<std::int32_t>(points.size()));
        for (const ForcePoint& q : points)
            p += f64(q.deflection) + f64(q.force);
        return block(1, section("CURV", p + i32(0) + i32(0)));
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
        {"version 0", block(0, section("FTAB", table)), "版 0 が不正"},
        {"a newer version", block(2, section("FTAB", table)), "新しい版"},
        {"length beyond the file", std::string(kExtensionMagic) + i32(1) + i32(1000) + "FTAB",
         "長さ 1000"},
        {"bytes after the block", block(1, section("FTAB", table)) + "z", "合いません"},
        {"a negative section length", block(1, "FTAB" + i32(-1)), "長さ -1"},
        {"a section beyond the block", block(1, "FTAB" + i32(4) + "ab"), "長さ 4"},
        {"a cut section header", block(1, "FTA"), "途中で終わって"},
        {"a tag of other characters", block(1, section("FT-B", table)), "名前が不正"},
        {"a repeated section", block(1, section("MITR", iterations) + section("MITR", iterations)),
         "重複"},
        {"an unknown essential section", block(1, section("OBJS", "")), "\"OBJS\""},
        {"a payload longer than its data", block(1, section("MITR", iterations + "extra")),
         "読まれないデータ"},
        {"a payload shorter than its data", block(1, section("MITR", i32(1))), "途中で終わって"},
        {"a table of one row",
         block(1, section("FTAB", i32(1) + i32(0) + i32(1) + std::string(120, '\0'))), "行数 1"},
        {"a table of 65 rows",
         block(1, section("FTAB", i32(1) + i32(0) + i32(65) + std::string(120, '\0'))), "行数 65"},
        {"rows beyond the payload",
         block(1, section("FTAB", i32(1) + i32(0) + i32(64) + std::string(120, '\0'))),
         "収まりません"},
        {"no such characteristic", block(1, section("FTAB", tablePayload(1, rubberTable(3)))),
         "番号 1 が不正"},
        {"more tables than characteristics",
         block(1, section("FTAB", i32(2) + table.substr(4) + table.substr(4))), "数 2"},
        {"falling frequencies",
         block(1, section("FTAB", withRows([](FrequencyTable& t) { t[2].f = t[1].f; }))),
         "行 3、列 f"},
        {"no objectives", block(1, section("OBJV", i32(0))), "目的関数の数 0"},
        {"five objectives", block(1, section("OBJV", i32(5) + std::string(100, '\0'))),
         "目的関数の数"},
        {"an unknown objective",
         block(1, section("OBJV", i32(1) + i32(5) + i32(0) + i32(0) + i32(0) + i32(0))),
         "目的関数 1 の種類"},
        {"a sense that is neither",
         block(1, section("OBJV", i32(1) + i32(0) + i32(2) + i32(0) + i32(0) + i32(0))),
         "目的関数 1 の種類"},
        {"a loss that is no number", block(1, section("FTAB", withRows([](FrequencyTable& t) {
                                                          t[1].loss[0] = std::nan("");
                                                      }))),
         "数値ではありません"},
        // Curves, rated loads, load cases and the every-case-passes condition.
        {"a curve without the origin", curve({{0.001, 0}, {0.002, 1}}), "点 (0, 0) がありません"},
        {"a force that falls", curve({{0, 0}, {0.001, 5}, {0.002, 4}}), "点 3: 力が"},
        {"one point", curve({{0, 0}}), "点の数 1"},
        {"points beyond the file", block(1, section("CURV", noRating + i32(64))), "収まりません"},
        {"no such characteristic",
         block(1, section("CURV", i32(1) + i32(1) + i32(0) + i32(0) + i32(0) + i32(0))), "番号 1"},
        {"a rating that is no flag",
         block(1, section("CURV", i32(1) + i32(0) + i32(2) + std::string(12, '\0'))),
         "定格荷重の有無 2"},
        {"a rating of 0",
         block(1, section("CURV", i32(1) + i32(0) + i32(1) + f64(1) + f64(0) + f64(1) + i32(0) +
                                      i32(0) + i32(0))),
         "定格荷重 y"},
        {"an empty case name", block(1, section("LCAS", oneCase("", 0))), "名前は 1～255"},
        {"terms beyond the file", block(1, section("LCAS", oneCase("a", 3))), "静荷重の数"},
        {"two cases of one name",
         block(1, section("LCAS", i32(2) + oneCase("a", 0).substr(4) + oneCase("a", 0).substr(4))),
         "重複"},
        {"too many cases", block(1, section("LCAS", i32(1001) + std::string(40000, '\0'))),
         "荷重ケースの数"},
        {"a condition of 0", block(1, section("LCOK", i32(0))), "荷重ケースの条件 0 が不正です"},
        {"a condition of 2", block(1, section("LCOK", i32(2))), "荷重ケースの条件 2"},
        {"a cut condition", block(1, section("LCOK", "\1")), ""},
    };
    ASSERT_TRUE(readModelBytes(plain + block(1, section("FTAB", table))).ok());
    ASSERT_TRUE(readModelBytes(plain + curve({{-0.004, -900}, {0, 0}, {0.005, 1500}})).ok());
    for (const auto& c : cases) {
        StudyRead r = readModelBytes(plain + c.block);
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.error.rfind("ファイルが壊れています", 0), 0u) << c.what << ": " << r.error;
        EXPECT_NE(r.error.find(c.message), std::string::npos) << c.what << ": " << r.error;
        // Positions are the file's, past the model's end.
        const std::size_t at = r.error.rfind("位置 ");
        ASSERT_NE(at, std::string::npos) << r.error;
        EXPECT_GE(std::stoul(r.error.substr(at + std::strlen("位置 "))), plain.size()) << c.what;
    }
}

TEST(ModelExtensions, OptionalSectionsAReaderDoesNotKnowAreSkipped) {
    const std::string plain = written(fixtures::sampleModel());
    const std::string table = section("FTAB", tablePayload(0, rubberTable(3)));
    StudyRead r =
        readModelBytes(plain + block(1, section("view", "abc") + table + section("9abc", "")));
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.model->springCharacteristics[0].frequencyTable, rubberTable(3));
    // Dropped on the next save, as their writer allowed.
    EXPECT_EQ(written(*r.model), plain + block(1, table));
}

TEST(ModelExtensions, WhatAReaderWouldRefuseIsNotWritten) {
    const struct {
        std::function<void(AnalysisModel&)> spoil;
        const char* message;
    } cases[] = {
        {[](auto& m) { m.springCharacteristics[0].frequencyTable[1].ratio[0] = -1.0; },
         "ばね特性 ゴム1(id 4) の周波数特性: 行 2、列 ratio_x"},
        {[](auto& m) { m.springCharacteristics[0].frequencyTable.resize(1); }, "周波数特性"},
        {[](auto& m) { m.loadCases[1].name = "1G"; }, "重複"},
        {[](auto& m) {
             m.springCharacteristics[0].curves[1] = {{0, 0}};
         },
         "非線形特性 y: 点が 2 点以上"},
    };
    for (const auto& c : cases) {
        AnalysisModel m = extendedSample();
        c.spoil(m);
        const ModelBytes file = writeModelBytes(m, Optimizer{});
        EXPECT_FALSE(file.ok()) << c.message;
        EXPECT_NE(file.error.find(c.message), std::string::npos) << file.error;
        EXPECT_FALSE(checkModelFile(m, Optimizer{}).ok()) << c.message;
    }
}

// The every-case-passes condition travels in file and JSON only when set.
TEST(ModelExtensions, TheEveryCasePassesConditionTravelsOnlyWhenSet) {
    const AnalysisModel m = extendedSample();
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
