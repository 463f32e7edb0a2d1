#include "exchange/AnalysisJson.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <string>

namespace quav {
namespace {

using Json = nlohmann::ordered_json;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

/// Two parameters, one static load; output o of parameter p is 10 p + o, some not numbers.
Sensitivities twoParameters() {
    Sensitivities s;
    s.parameters = {{ParameterKind::Rate, 3, 1, 2e5}, {ParameterKind::Angle, 7, 0, kNaN}};
    s.outputs = kStaticColumn + 6;
    for (int o = 0; o < s.outputs; ++o)
        s.values.push_back(o);
    s.values[kDecouplingColumn + 2] = kInf;
    for (int p = 0; p < 2; ++p)
        for (int o = 0; o < s.outputs; ++o) {
            s.derivative.push_back(10 * p + o);
            s.elasticity.push_back(-(10 * p + o));
        }
    s.derivative[static_cast<std::size_t>(s.outputs) + kStaticColumn + 4] = kNaN;
    s.dominant = {0, 1, 2, 3, 4, 5};
    return s;
}

// Streamed row by row and read back: every value in place, non-finite ones null.
TEST(AnalysisJson, SensitivitiesStreamedReadBackInPlace) {
    const Sensitivities s = twoParameters();
    const std::array<double, 6> sigma{1, 2, 3, kNaN, 5, 6};
    for (const std::array<double, 6>* spread :
         {static_cast<const std::array<double, 6>*>(nullptr), &sigma}) {
        std::string text;
        int rows = 0;
        ASSERT_TRUE(writeSensitivityJson(
            s, spread,
            [&](std::string_view piece) {
                text += piece;
                return true;
            },
            [&] { ++rows; }));
        EXPECT_EQ(rows, 2 + 2 * 2 * 3); // parameters, then two matrices of three outputs
        ASSERT_EQ(text.back(), '\n');
        const Json j = Json::parse(text);
        EXPECT_EQ(j["parameters"][0],
                  Json::parse(R"({"kind":"rate","characteristic":3,"direction":"y",)"
                              R"("value":200000.0})"));
        const std::pair<const char*, Json> places[] = {
            {"/parameters/1/value", nullptr},     {"/parameters/1/spring", 7},
            {"/frequency/value/5", 5.0},          {"/frequency/derivative/1/2", 12.0},
            {"/decoupling/value/2", nullptr},     {"/decoupling/dominant/3", "Rx"},
            {"/decoupling/elasticity/0/1", -7.0}, {"/static/0/load", 1},
            {"/static/0/value/0", 12.0},          {"/static/0/derivative/1/4", nullptr},
            {"/static/0/derivative/0/4", 16.0},
        };
        for (const auto& [path, value] : places)
            EXPECT_EQ(j.at(Json::json_pointer(path)), value) << path;
        if (spread) {
            EXPECT_EQ(j["spread"]["frequencyStd"][1], 2.0);
            EXPECT_TRUE(j["spread"]["frequencyStd"][3].is_null());
        } else {
            EXPECT_TRUE(j["spread"].is_null());
        }
    }
}

// The whole-text writers: non-finite numbers are null, the layout two spaces and a line end.
TEST(AnalysisJson, NumbersThatAreNotFiniteAreNull) {
    EnergyDistribution ked;
    ked.frame = EnergyFrame::Principal;
    ked.modes[0] = {1, kNaN, {50, 50, 0, 0, 0, 0}, 0, kNaN};
    ked.modes[1] = {2, 12.5, {0, 0, 100, 0, 0, 0}, 2, 100};
    TorqueRollAxis tra;
    tra.axis = {0, 0, 1};
    tra.tra = {0, kInf, 1};
    tra.modes[0].angleDeg = 30.0;
    RobustnessSettings settings;
    settings.vary = RateVariation::PerCharacteristic;
    RobustnessResult robust;
    robust.samples = 4;
    robust.unconverged = 1;
    robust.modes[0].frequency.std = kNaN;
    const struct {
        std::string text;
        std::vector<std::string> nulls, present;
    } cases[] = {
        {energyDistributionJson(ked),
         {"/modes/0/frequency", "/modes/0/dominant", "/modes/0/decoupling"},
         {"/frame", "/modes/1/dominant"}},
        {torqueRollAxisJson(tra), {"/tra/1", "/modes/1/angleDeg"}, {"/modes/0/angleDeg"}},
        {transmissibilityJson(2, {{10, kInf, -kInf}, {20, 0.5, 50}}),
         {"/steps/0/transmissibility", "/steps/0/isolationPercent"},
         {"/load", "/steps/1/isolationPercent"}},
        {robustnessJson(settings, robust),
         {"/modes/0/frequency/std", "/windowShare"},
         {"/vary", "/unconverged"}},
    };
    for (const auto& c : cases) {
        const Json j = Json::parse(c.text);
        EXPECT_EQ(c.text, j.dump(2) + "\n");
        for (const std::string& path : c.nulls)
            EXPECT_TRUE(j.at(Json::json_pointer(path)).is_null()) << path << "\n" << c.text;
        for (const std::string& path : c.present)
            EXPECT_FALSE(j.at(Json::json_pointer(path)).is_null()) << path << "\n" << c.text;
    }
    EXPECT_EQ(Json::parse(energyDistributionJson(ked))["frame"], "principal");
    EXPECT_EQ(Json::parse(robustnessJson(settings, robust))["vary"], "characteristic");
}

} // namespace
} // namespace quav
