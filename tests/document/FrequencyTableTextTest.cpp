#include "document/FrequencyTableText.h"

#include "support/FrequencyTables.h"

#include <gtest/gtest.h>

using namespace quav;
using quav::testing::rubberTable;

TEST(FrequencyTableText, CsvReadsBackBitForBit) {
    FrequencyTable t = rubberTable(9);
    t[4].ratio[2] = 1.0 / 3.0;
    t[5].loss[0] = 0.1 + 0.2;
    t.back().f = 300.0;
    const std::string csv = frequencyTableCsv(t);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "f,ratio_x,ratio_y,ratio_z,loss_x,loss_y,loss_z");
    EXPECT_NE(csv.find("\n1,1.1,1.05,1.05,0.05,0.04,0.04\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n300,2,1.75,1.75,0.15000000000000002,0.12,0.12\n"), std::string::npos)
        << csv;
    EXPECT_EQ(shortestNumber(1e-5) + " " + shortestNumber(1e20) + " " + shortestNumber(-2500),
              "1e-05 1e+20 -2500");
    const TableText back = readFrequencyTable(csv, TableHeading::Required);
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(back.rows, t);
}

TEST(FrequencyTableText, SpreadsheetCellsWithOrWithoutTheHeading) {
    const std::string cells = "\xEF\xBB\xBF 10\t1.2\t1.1\t1.1\t0.08\t0.06\t0.06\r\n"
                              "\r\n"
                              "100\t1.5\t1.3\t1.3\t0.1\t0.07\t+0.07\r\n\r\n";
    const TableText pasted = readTableRows(cells, TableHeading::Optional);
    ASSERT_TRUE(pasted.ok()) << pasted.error;
    ASSERT_EQ(pasted.rows.size(), 2u);
    EXPECT_EQ(pasted.rows[1], (FrequencyTableRow{100, {1.5, 1.3, 1.3}, {0.1, 0.07, 0.07}}));
    EXPECT_EQ(pasted.lines, (std::vector<int>{1, 3}));
    const TableText headed =
        readTableRows("f\tratio_x\tratio_y\tratio_z\tloss_x\tloss_y\tloss_z\n1\t1\t1\t1\t0\t0\t0\n",
                      TableHeading::Optional);
    ASSERT_TRUE(headed.ok()) << headed.error;
    EXPECT_EQ(headed.rows.size(), 1u);
    // Rows alone are only read; a whole table also follows the rules.
    EXPECT_FALSE(readFrequencyTable("1,1,1,1,0,0,0\n", TableHeading::Optional).ok());
}

TEST(FrequencyTableText, RefusalsNameTheLineAndColumn) {
    const std::string heading = frequencyTableHeading() + "\n";
    std::string long65 = heading;
    for (int i = 1; i <= 65; ++i)
        long65 += std::to_string(i) + ",1,1,1,0,0,0\n";
    const struct {
        std::string text;
        TableHeading heading;
        const char* message;
    } cases[] = {
        {"1,1,1,1,0,0,0\n2,1,1,1,0,0,0\n", TableHeading::Required, "1 行目: 見出し f,ratio_x"},
        {"f,ratio,loss\n", TableHeading::Optional, "1 行目: 見出し"},
        {heading + "1,1,1,1,0,0\n", TableHeading::Required, "2 行目: 7 列の数値が必要です(6 列"},
        {heading + "1,1,1,1,0,0,0,\n", TableHeading::Required, "(8 列"},
        {heading + "1,1,1,1,0,0,0\n\n2,1,x,1,0,0,0\n", TableHeading::Required,
         "4 行目、列 ratio_y: 数値ではありません"},
        {heading + "1,1,1,1,0,0,0\n2,1,1,1,0,1e,0\n", TableHeading::Required, "列 loss_y"},
        {long65, TableHeading::Required, "66 行目: 行は 64 行まで"},
        {heading + "1,1,1,1,0,0,0\n", TableHeading::Required, "行が 2 行以上必要です(1 行)"},
        {heading + "1,1,1,1,0,0,0\n\n1,1,1,1,0,0,0\n", TableHeading::Required,
         "4 行目、列 f: 周波数は前の行より"},
        {heading + "1,1,1,1,0,0,0\n2,1,1,0,0,0,0\n", TableHeading::Required,
         "3 行目、列 ratio_z: 0 より大きい"},
        {heading + "1,1,1,1,0,0,0\n2,1,1,1,0,0,nan\n", TableHeading::Required,
         "3 行目、列 loss_z: 数値ではありません"},
    };
    for (const auto& c : cases) {
        const TableText t = readFrequencyTable(c.text, c.heading);
        EXPECT_FALSE(t.ok()) << c.text;
        EXPECT_NE(t.error.find(c.message), std::string::npos) << c.text << "\n" << t.error;
    }
}
