#include "exchange/CsvTables.h"

#include <gtest/gtest.h>

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

TEST(CsvTables, MountForcesHaveARowPerSpringAndQuantity) {
    MountForces forces;
    forces.staticLoads.push_back({1, {{7, {1, 2, 3}, {4, 5, 6}}}});
    forces.dynamicLoads.push_back({2, 12.5, {{7, {0.5, 0.25, 0.125}, {0, -1, std::nan("")}}}});
    EXPECT_EQ(mountForcesCsv(forces), "load_kind,load,frequency,spring,quantity,x,y,z\r\n"
                                      "static,1,,7,local,1,2,3\r\n"
                                      "static,1,,7,global,4,5,6\r\n"
                                      "dynamic,2,12.5,7,amplitude,0.5,0.25,0.125\r\n"
                                      "dynamic,2,12.5,7,phase,0,-1,\r\n");
}
