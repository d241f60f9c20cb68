#include "core/out_doms.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace ddinfer::test {
namespace {

class OutDomsTest : public TempDirTest {};

TEST_F(OutDomsTest, ListsValuesFromOneHalfInRecordOrder) {
    // Records: 0 = (1, 2), 1 = (0, 0).
    Net net = make_net("3\nP0 P1\nP2 P3\nP1 P3\n", "3\nD0: P2 P3\nD1: P1\nD2: P0\n");
    ASSERT_EQ(net.dint.n, 3);  // 2 = (0, 1)
    net.dint.list[0].value = 1.0;
    net.dint.list[1].value = 0.5;
    net.dint.list[2].value = 0.49999999;
    write_file(path("x.dint"), "old content\n");
    ASSERT_EQ(out_doms(net.network, net.dint, path("x.dint").string()), 0);
    EXPECT_EQ(read_file(path("x.dint")), "D1\tD2\nD0\tD0\n");

    for (inter& record : net.dint.list) record.value = 0.0;
    ASSERT_EQ(out_doms(net.network, net.dint, path("x.dint").string()), 0);
    EXPECT_EQ(read_file(path("x.dint")), "");
    EXPECT_EQ(out_doms(net.network, net.dint, path("no/x.dint").string()), 1);
}

}  // namespace
}  // namespace ddinfer::test
