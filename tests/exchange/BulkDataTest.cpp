#include "exchange/BulkDataReader.h"
#include "exchange/BulkDataWriter.h"
#include "support/TestSupport.h"

#include "analysis/SystemAssembly.h"
#include "exchange/ModelJson.h"
#include "model/TextFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

using namespace quav;
using namespace quav::testing;

namespace {

/// The deck's numbers hold 12 to 17 significant digits.
constexpr double kDeckPrecision = 1e-12;

double relative(double a, double b) {
    const double scale = std::max({std::abs(a), std::abs(b), 1e-300});
    return std::abs(a - b) / scale;
}

void expectClose(const Matrix& a, const Matrix& b, double tolerance, const std::string& what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    double scale = 0.0;
    for (int i = 0; i < a.size(); ++i)
        scale = std::max(scale, std::abs(a[i]));
    for (int i = 0; i < a.size(); ++i)
        EXPECT_LE(std::abs(a[i] - b[i]), tolerance * std::max(scale, 1e-300))
            << what << " element " << i << ": " << a[i] << " vs " << b[i];
}

/// Angles compared as the directions they give: equal modulo 360 degrees.
double angleGap(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

AnalysisModel roundTrip(const AnalysisModel& model, bool keepNotes = true) {
    const BulkDataDeck deck = writeBulkData(model);
    EXPECT_TRUE(deck.ok()) << deck.error;
    std::string text = deck.text;
    if (!keepNotes)
        text = std::regex_replace(text, std::regex("\\$ QUAV[^\n]*\n"), "");
    BulkDataImport back = readBulkData(text);
    EXPECT_TRUE(back.ok()) << back.error;
    return back.ok() ? *back.model : AnalysisModel();
}

void expectSameBody(const AnalysisModel& a, const AnalysisModel& b) {
    EXPECT_LE(relative(a.mass, b.mass), kDeckPrecision);
    expectClose(a.centreOfGravity, b.centreOfGravity, kDeckPrecision, "centre of gravity");
    expectClose(a.inertia, b.inertia, kDeckPrecision, "inertia");
    ASSERT_EQ(a.springs.size(), b.springs.size());
    for (std::size_t i = 0; i < a.springs.size(); ++i)
        expectClose(a.springs[i].position, b.springs[i].position, kDeckPrecision, "position");
    // What the springs do together: stiffness and damping about the centre of gravity.
    const Matrix I = Matrix::identity(3);
    expectClose(systemStiffness(a, a.centreOfGravity, I, true),
                systemStiffness(b, b.centreOfGravity, I, true), 1e-11, "stiffness");
    expectClose(systemDamping(a, a.centreOfGravity, I), systemDamping(b, b.centreOfGravity, I),
                1e-11, "damping");
}

} // namespace

// The deck's large-field layout is read from outside by deck_frequencies.py (end to end).
TEST(BulkData, ModelsComeBackFromTheirDecks) {
    std::vector<AnalysisModel> models;
    StudyRead example = readJsonModelFile(QUAV_EXAMPLES "/power_unit.json");
    ASSERT_TRUE(example.ok()) << example.error;
    models.push_back(*example.model);
    Lcg rng{33};
    for (int k = 0; k < 40; ++k) {
        AnalysisModel m = randomMountModel(rng, 2 + k % 7);
        // Scales far from 1, angles all round, damping and a zero dynamic factor.
        m.mass *= std::pow(10.0, 4 * rng.next());
        for (auto& s : m.springs) {
            s.position = s.position * std::pow(10.0, 2 * rng.next());
            s.angles[1] = 720 * rng.next();
            s.angles[2] = 720 * rng.next();
        }
        for (auto& c : m.springCharacteristics)
            c.damping = v3(1e3 * std::abs(rng.next()), 1e2 * std::abs(rng.next()), 0.0);
        if (k % 5 == 0)
            m.springCharacteristics.front().dynamicFactor = 0.0;
        models.push_back(m);
    }
    for (std::size_t k = 0; k < models.size(); ++k) {
        SCOPED_TRACE("model " + std::to_string(k));
        const AnalysisModel& a = models[k];
        const AnalysisModel b = roundTrip(a);
        expectSameBody(a, b);
        for (std::size_t i = 0; i < a.springs.size(); ++i) {
            EXPECT_EQ(a.springs[i].name, b.springs[i].name);
            EXPECT_LE(angleGap(a.springs[i].angles[1], b.springs[i].angles[1]), 1e-12);
            EXPECT_LE(angleGap(a.springs[i].angles[2], b.springs[i].angles[2]), 1e-12);
            const SpringCharacteristic& ca = *a.findCharacteristic(a.springs[i].characteristicId);
            const SpringCharacteristic& cb = *b.findCharacteristic(b.springs[i].characteristicId);
            EXPECT_EQ(ca.name, cb.name);
            EXPECT_EQ(ca.dynamicFactor, cb.dynamicFactor);
            expectClose(ca.stiffness, cb.stiffness, kDeckPrecision, "rates");
            expectClose(ca.damping, cb.damping, kDeckPrecision, "damping");
        }
        // Without the comments the deck's own numbers carry the same system.
        expectSameBody(a, roundTrip(a, false));
    }
}

TEST(BulkData, RealsFitSixteenCharactersAndReadBack) {
    const struct {
        double value;
        const char* text; // nullptr: only the width and the closeness are checked
        double tolerance; // relative, as read back
    } cases[] = {
        {0.0, "0.", 0.0},
        {1.0, "1.", 0.0},
        {0.1, ".1", 0.0},
        {-0.45, "-.45", 0.0},
        {185.0, "185.", 0.0},
        {1e20, "1.+20", 0.0},
        {-2.5e-7, "-2.5-7", 0.0},
        {6.02214076e23, "6.02214076+23", 0.0},
        {1.0 / 3.0, ".333333333333333", 1e-15},
        {-2.0 / 3.0 * 1e-7, nullptr, 1e-12},
        {-1.2345678901234567e-100, nullptr, 1e-9},
    };
    for (const auto& c : cases) {
        const std::string s = bulkDataReal(c.value);
        EXPECT_LE(s.size(), 16u) << s;
        EXPECT_NE(s.find('.'), std::string::npos) << s;
        if (c.text) {
            EXPECT_EQ(s, c.text);
        }
        // Read back through a deck of one GRID.
        const BulkDataImport r = readBulkData("GRID,1,," + s + "\nCONM2,2,1,,1.\n");
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_LE(relative(r.model->centreOfGravity[0], c.value), c.tolerance) << s;
    }
}

TEST(BulkData, HandWrittenDeckInAllThreeFormats) {
    // Two masses on one RBE2 body (by offset, by CID -1), a spring in a rotated system (the
    // engine's axes at angles (0, 0)), a grounded spring (GB blank) in the basic axes.
    const char* deck = "SOL 103\n"
                       "CEND\n"
                       "BEGIN BULK\n"
                       "$ small field\n"
                       "GRID           1              0.      0.      0.\n"
                       "GRID           2              2.      0.      0.\n"
                       "CORD2R         5       0      1.      1.      1.      1.      1.      2.\n"
                       "+             1.      2.      1.\n"
                       "GRID           3       5      1.      0.      0.\n"
                       "GRID,4,,1.,2.,1.\n"
                       "CONM2,10,1,,1.\n"
                       "CONM2*                11               1              -1              3.\n"
                       "*                     2.              0.              0.\n"
                       "*                     .5              .1              .5              0.\n"
                       "*                     0.              .5\n"
                       "RBE2,50,1,123456,2,3\n"
                       "CBUSH,20,30,3,4,,,,5\n"
                       "PBUSH,30,K,1000.,2.D3,3.+3\n"
                       ",,B,10.,20.,30.\n"
                       "CBUSH,21,31,2,,,,,0\n"
                       "PBUSH,31,K,1.,1.,1.\n"
                       "SPC1,1,123456,4\n"
                       "MAT1,1,2.1+11,,.3\n"
                       "ENDDATA\n"
                       "GRID,99,,oops\n";
    const BulkDataImport r = readBulkData(deck);
    ASSERT_TRUE(r.ok()) << r.error;
    const AnalysisModel& m = *r.model;
    EXPECT_EQ(m.mass, 4.0);
    expectNear(m.centreOfGravity, v3(1.5, 0, 0), 1e-15);
    // The second mass's own inertia (I21 = .1: term -.1), 1 kg at 1.5 m and 3 kg at 0.5 m.
    expectNear(m.inertia, Matrix(3, 3, {0.5, -0.1, 0, -0.1, 3.5, 0, 0, 0, 3.5}), 1e-15);
    ASSERT_EQ(m.springs.size(), 2u);
    const SpringElement& s = m.springs[0];
    EXPECT_EQ(s.name, "CBUSH 20");
    expectNear(s.position, v3(1, 2, 1), 1e-15);
    // The angles give the deck's axes exactly: a Z angle a little off 0 (the circle constant).
    expectNear(springOrientation(s), Matrix(3, 3, {0, -1, 0, 1, 0, 0, 0, 0, 1}), 1e-15);
    EXPECT_NEAR(s.angles[2], 0.0, 1e-4);
    const SpringCharacteristic& c = *m.findCharacteristic(s.characteristicId);
    expectNear(c.stiffness, v3(1000, 2000, 3000), 0);
    expectNear(c.damping, v3(10, 20, 30), 0);
    EXPECT_EQ(c.dynamicFactor, 1.0);
    // The basic axes: local x along global x is the engine's Z angle -90.
    expectNear(m.springs[1].position, v3(2, 0, 0), 0);
    expectNear(springOrientation(m.springs[1]), Matrix::identity(3), 1e-15);
    EXPECT_NEAR(m.springs[1].angles[2], -90.0, 1e-4);
    EXPECT_EQ(r.warnings, std::vector<std::string>{"MAT1: 1 entry ignored"});
}

TEST(BulkData, BadDecksAreRefusedWithTheirLine) {
    const std::string body = "GRID,1,,0.,0.,0.\nCONM2,1,1,,10.\n";
    struct Case {
        std::string deck;
        const char* message;
    };
    std::vector<Case> cases = {
        {body + "GRID,2,,abc\n", "line 3: GRID 2: X1 is not a real number"},
        {body + "GRID,2,,1\n", "line 3: GRID 2: X1 is not a real number: \"1\" (a real needs"},
        {body + "GRID,1,,1.\n", "line 3: GRID 1 is defined twice (also on line 1)"},
        {"+,1.\n", "line 1: a continuation line without an entry"},
        {body + "INCLUDE 'more.bdf'\n", "line 3: INCLUDE is not followed"},
        {body + "GRID,2,,1.,2.,3.,,,,,9\n", "line 3: more than 9 fields on a free-field line"},
        {body + std::string(1100, 'x') + "\n", "line 3: longer than 1024 characters"},
        {"GRID,1,,0.\n", "no CONM2"},
        {body + "GRID,2,7,1.\n", "line 3: coordinate system 7 is not a CORD2R"},
        {body +
             "CORD2R,3,4,0.,0.,0.,0.,0.,1.\n,1.,0.,0.\nCORD2R,4,3,0.,0.,0.,0.,0.,1.\n,1.,0.,0.\n",
         "line 3: CORD2R 3 refers to itself"},
        {body + "CORD2R,3,,0.,0.,0.,0.,0.,1.\n,0.,0.,2.\n", "line 3: CORD2R 3: A, B and C"},
        {body + "GRID,2,,0.,0.,0.\nRBE2,9,1,123,2\n", "line 4: RBE2 9: CM must be 123456"},
        {body + "GRID,2,,0.,0.,0.\nGRID,3,,0.,0.,0.\nRBE2,9,1,123456,2\nRBE2,8,3,123456,4\n",
         "line 6: RBE2 8: GMi: GRID 4 is not in the deck"},
        {body + "GRID,2,,0.,0.,0.\nGRID,3,,0.,0.,0.\nGRID,4,,0.,0.,0.\nRBE2,9,1,123456,2\n"
                "RBE2,8,3,123456,4\n",
         "line 4: GRID 3 belongs to a second rigid body"},
        {body + "GRID,2,,0.,0.,0.\nCBUSH,5,6,1,2,,,,0\nPBUSH,6,K,1.\n",
         "line 4: CBUSH 5: GRID 2 is neither on the rigid body nor fixed"},
        {body + "GRID,2,,1.,0.,0.\nSPC1,1,123456,2\nCBUSH,5,6,1,2,,,,0\nPBUSH,6,K,1.\n",
         "line 5: CBUSH 5: its GRIDs are apart"},
        {body + "CBUSH,5,6,1,,1.,0.,0.\nPBUSH,6,K,1.\n", "line 3: CBUSH 5: orientation by GO"},
        {body + "CBUSH,5,6,1\nPBUSH,6,K,1.\n", "line 3: CBUSH 5: CID is missing"},
        {body + "CBUSH,5,6,1,,,,,0\n", "line 3: CBUSH 5: PID 6 has no PBUSH"},
        {body + "CBUSH,5,6,1,,,,,0\nPBUSH,6,K,1.,1.,1.,0.,2.\n",
         "line 4: PBUSH 6: K5 is a rotational rate; QUAV's springs have none"},
        {body + "CBUSH,5,6,1,,,,,0\nPBUSH,6,K,1.\n,,B,0.,0.,0.,0.,0.,3.\n",
         "line 5: PBUSH 6: B6 is a rotational damping"},
        {body + "CBUSH,5,6,1,,,,,0\nPBUSH,6,K,-1.\n", "line 4: PBUSH 6: K1 is negative"},
        {body + "CORD2R,3,,0.,0.,0.,1.,0.,1.\n,1.,0.,0.\nCBUSH,5,6,1,,,,,3\nPBUSH,6,K,1.\n",
         "line 5: CBUSH 5: CID 3: its z axis leaves the global y-z plane"},
        {body + "GRID,2,,0.,0.,0.\nSPC1,1,123456,1\n", "line 4: SPC1 fixes GRID 1 of the rigid"},
        {"GRID,1,,0.,0.,0.\nCONM2,1,1,,-10.\n", "line 2: CONM2 1: M is negative"},
    };
    // A chain of systems each on the next, resolved from its deepest end.
    std::string chain = body;
    for (int i = 1; i <= 100; ++i)
        chain += format("CORD2R,%d,%d,0.,0.,0.,0.,0.,1.\n,1.,0.,0.\n", i, i + 1);
    chain += "CORD2R,101,,0.,0.,0.,0.,0.,1.\n,1.,0.,0.\n";
    cases.push_back({chain, "more than 64 systems nested through RID"});
    for (const auto& c : cases) {
        const BulkDataImport r = readBulkData(c.deck);
        EXPECT_FALSE(r.ok()) << c.deck;
        EXPECT_NE(r.error.find(c.message), std::string::npos)
            << "deck:\n"
            << c.deck << "error: " << r.error << "\nexpected: " << c.message;
    }
}

// A line break in a name (written in a comment line) must not turn its rest into an entry.
TEST(BulkData, NamesWithLineBreaksStayInTheirComments) {
    AnalysisModel m = fourMountModel(0.3, 0.2, 0.1, v3(1e5, 2e5, 3e5), 1.2, Matrix::column(3));
    m.springs[0].name = "a\nCONM2,99,2,,5.";
    m.springCharacteristics[0].name = "b\r\nENDDATA";
    const AnalysisModel back = roundTrip(m);
    EXPECT_EQ(back.mass, m.mass);
    EXPECT_EQ(back.springs.size(), 4u);
    EXPECT_EQ(back.springs[0].name, "a CONM2,99,2,,5.");
}

TEST(BulkData, ModelsADeckCannotHoldAreRefused) {
    AnalysisModel m = fourMountModel(0.3, 0.2, 0.1, v3(1e5, 2e5, 3e5), 1.2, Matrix::column(3));
    AnalysisModel nan = m;
    nan.mass = std::nan("");
    EXPECT_EQ(writeBulkData(nan).error, "the model holds a number that is not finite");
    AnalysisModel huge = m;
    huge.springs[0].id = 80000000;
    EXPECT_EQ(writeBulkData(huge).error, "ids too large for a bulk-data deck (at most 8 digits)");
    AnalysisModel shared = m;
    shared.springs[1].id = shared.springs[0].id;
    EXPECT_EQ(writeBulkData(shared).error,
              "two elements share an id; each needs a GRID of its own");
}
