#include "optimizer/ParetoFront.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

using namespace quav;

namespace {

/// The front by definition: every vector no other dominates.
std::set<std::int64_t> bruteFront(const std::vector<std::vector<double>>& v,
                                  const std::vector<bool>& maximise) {
    std::set<std::int64_t> front;
    for (std::size_t i = 0; i < v.size(); ++i) {
        bool dominated = std::isnan(v[i][0]) || std::isnan(v[i].back());
        for (std::size_t j = 0; j < v.size() && !dominated; ++j)
            dominated = dominates(v[j].data(), v[i].data(), maximise);
        if (!dominated)
            front.insert(static_cast<std::int64_t>(i + 1));
    }
    return front;
}

} // namespace

TEST(ParetoFront, StreamingKeepsExactlyTheNonDominatedVectors) {
    std::mt19937_64 random(7);
    // Coarse values make exact ties and partial ties common.
    std::uniform_int_distribution<int> level(0, 12);
    for (const std::vector<bool>& maximise :
         {std::vector<bool>{false, false}, std::vector<bool>{true, false, true},
          std::vector<bool>{false, true, false, true}}) {
        std::vector<std::vector<double>> offered;
        ParetoFront front(maximise, 1);
        for (int i = 1; i <= 600; ++i) {
            std::vector<double> v;
            for (std::size_t k = 0; k < maximise.size(); ++k)
                v.push_back(level(random) * 0.25);
            if (i % 97 == 0)
                v[0] = std::nan("");
            if (i % 50 == 0 && !offered.empty())
                v = offered[static_cast<std::size_t>(i / 3)]; // an exact tie
            offered.push_back(v);
            const double parameter = i * 10.0;
            front.offer(i, &parameter, v.data());
        }
        const std::vector<ParetoMember> members = front.members();
        std::set<std::int64_t> kept;
        for (const ParetoMember& m : members) {
            kept.insert(m.number);
            // Values and parameters come back as offered.
            EXPECT_EQ(m.objectives, offered[static_cast<std::size_t>(m.number - 1)]);
            EXPECT_EQ(m.parameters, std::vector<double>{m.number * 10.0});
        }
        EXPECT_EQ(kept, bruteFront(offered, maximise)) << maximise.size() << " objectives";
        EXPECT_GT(kept.size(), 2u);
        for (std::size_t i = 1; i < members.size(); ++i) {
            const ParetoMember& a = members[i - 1];
            const ParetoMember& b = members[i];
            EXPECT_TRUE(a.objectives[0] < b.objectives[0] ||
                        (a.objectives[0] == b.objectives[0] && a.number < b.number));
        }
    }
}

TEST(ParetoFront, CsvReadsBackToTheSameRowsAndQuotesNames) {
    ParetoFront front({true, false}, 2);
    const double p1[] = {0.1, 3e5}, o1[] = {61.5, 0.25};
    const double p2[] = {0.30000000000000004, 2e5}, o2[] = {70.0, 1.0 / 3.0};
    front.offer(4, p1, o1);
    front.offer(17, p2, o2);
    const std::string csv =
        paretoCsv(front.members(), {"x", "前, \"後\""}, {"decouplingMin", "transmissibility:1"});
    EXPECT_EQ(csv, "file,x,\"前, \"\"後\"\"\",decouplingMin,transmissibility:1\n"
                   "No4.quav,0.10000000000000001,300000,61.5,0.25\n"
                   "No17.quav,0.30000000000000004,200000,70,0.33333333333333331\n");
    ParetoCsv back;
    std::string error;
    ASSERT_TRUE(parseParetoCsv(csv, 2, 2, back, error)) << error;
    ASSERT_EQ(back.members.size(), 2u);
    EXPECT_EQ(back.members[1].number, 17);
    EXPECT_EQ(back.members[1].objectives[1], 1.0 / 3.0);
    EXPECT_EQ(paretoCsvRows(back.members), paretoCsvRows(front.members()));
    for (const std::string& bad :
         {csv.substr(0, csv.size() - 1), csv + "No5.quav,1,2,3\n", csv + "No0.quav,1,2,3,4\n",
          csv + "N5.quav,1,2,3,4\n", csv + "No5.quav,1,2,x,4\n"})
        EXPECT_FALSE(parseParetoCsv(bad, 2, 2, back, error)) << bad;
}
