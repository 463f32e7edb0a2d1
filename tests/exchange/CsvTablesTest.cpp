#include "exchange/CsvTables.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace quav;

TEST(CsvTables, TabSeparatedRowsBecomeCsvWhateverThePieces) {
    const std::string tsv = "name\tvalue\r\nfront, left\t1.5\nsay \"hi\"\t\r\nlast\t2";
    const std::string expected =
        "name,value\r\n\"front, left\",1.5\r\n\"say \"\"hi\"\"\",\r\nlast,2\r\n";
    // Whole, and cut at every place (a CR LF split between pieces included).
    for (std::size_t cut = 0; cut <= tsv.size(); ++cut) {
        std::string out;
        TabsToCsv csv([&out](std::string_view piece) {
            out += piece;
            return true;
        });
        csv(std::string_view(tsv).substr(0, cut));
        csv(std::string_view(tsv).substr(cut));
        csv.finish();
        EXPECT_EQ(out, expected) << "cut at " << cut;
    }
}

// The rows carry the analysis's forces load after load; a refused piece stops the writing.
TEST(CsvTables, MountForcesHaveARowPerSpringAndQuantity) {
    AnalysisModel m = quav::testing::fourMountModel(0.3, 0.2, -0.1, Matrix(3, 1, {2e5, 3e5, 4e5}),
                                                    1.2, Matrix(3, 1, {100.0, 100.0, 200.0}));
    m.addStaticLoad("weight", 1177.0, quav::testing::v3(0.1, -0.2, 0.3),
                    quav::testing::v3(0, 0, -1), Translational);
    m.addDynamicLoad("shake", 50.0, quav::testing::v3(0.2, -0.2, 0.3), quav::testing::v3(0, 1, 0),
                     Translational, 12.5);
    const MountForces forces = mountForces(m);
    std::vector<std::string> pieces;
    ASSERT_TRUE(writeMountForcesCsv(MountForceLoads(m), [&](std::string_view piece) {
        pieces.emplace_back(piece);
        return true;
    }));
    ASSERT_EQ(pieces.size(), 3u); // the header, then one piece a load
    EXPECT_EQ(pieces[0], "load_kind,load,frequency,spring,quantity,x,y,z\r\n");
    const StaticSpringForce& s = forces.staticLoads[0].springs[1];
    EXPECT_NE(pieces[1].find(format("static,1,,%d,global,%.17g,%.17g,%.17g\r\n", s.id, s.global[0],
                                    s.global[1], s.global[2])),
              std::string::npos)
        << pieces[1];
    const DynamicSpringForce& d = forces.dynamicLoads[0].springs[3];
    EXPECT_NE(pieces[2].find(format("dynamic,1,12.5,%d,globalPhase,%.17g,%.17g,%.17g\r\n", d.id,
                                    d.globalPhase[0], d.globalPhase[1], d.globalPhase[2])),
              std::string::npos)
        << pieces[2];
    EXPECT_NE(pieces[2].find(format("dynamic,1,12.5,%d,total,%.17g,,\r\n", d.id, d.total)),
              std::string::npos);
    EXPECT_EQ(std::count(pieces[2].begin(), pieces[2].end(), '\n'), 4 * 5);

    int calls = 0;
    EXPECT_FALSE(
        writeMountForcesCsv(MountForceLoads(m), [&](std::string_view) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

// A row per spring per case, as wide as the header; what is missing is an empty field.
TEST(CsvTables, LoadCasesHaveARowPerSpringPerCase) {
    LoadCaseResult bump;
    bump.name = "3g, bump";
    bump.converged = true;
    CaseSpring s;
    s.id = 4;
    s.deflection = {0.001, -0.25, 1.0 / 3.0};
    s.local = {10, 20, 30};
    s.global = {-1, std::nan(""), 2};
    s.travelMargin = {0.002, std::nullopt, -0.5};
    s.loadMargin = {std::nullopt, 1500, std::nullopt};
    s.pass = false;
    bump.springs = {s};
    LoadCaseResult unknown;
    unknown.name = "WOT";
    const std::string csv = loadCasesCsv({bump, unknown});
    const std::string header =
        "case,converged,spring,deflection_x,deflection_y,deflection_z,local_x,local_y,local_z,"
        "global_x,global_y,global_z,travel_margin_x,travel_margin_y,travel_margin_z,"
        "load_margin_x,load_margin_y,load_margin_z,pass\r\n";
    EXPECT_EQ(csv, header + "\"3g, bump\",1,4,0.001,-0.25," + format("%.17g", 1.0 / 3.0) +
                       ",10,20,30,-1,,2,0.002,,-0.5,,1500,,0\r\n" + "WOT,0," +
                       std::string(15, ',') + ",0\r\n");
    // The case with no springs has as many fields as the header.
    const std::string last = csv.substr(csv.rfind("WOT"));
    EXPECT_EQ(std::count(last.begin(), last.end(), ','),
              std::count(header.begin(), header.end(), ','));
}
