#include <gtest/gtest.h>

#include <vector>

#include "core/chain_list.h"

namespace kadrel {
namespace {

struct Tracked {
    explicit Tracked(int id, int* alive) : id(id), alive(alive) { ++*alive; }
    ~Tracked() { --*alive; }
    int id;
    int* alive;
};

TEST(ChainList, AppendKeepsOrderAndClearFreesEverything) {
    int alive = 0;
    ChainList<Tracked> list;
    list.clear();
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.head, nullptr);

    for (int id = 1; id <= 3; ++id) list.append(new Tracked(id, &alive));
    EXPECT_EQ(alive, 3);
    ASSERT_EQ(list.count, 3u);

    std::vector<int> order;
    for (Tracked& item : list) order.push_back(item.id);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    list.clear();
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);

    list.append(new Tracked(4, &alive));
    EXPECT_EQ(list.head, list.tail);
}

TEST(ChainList, DestructionFreesElements) {
    int alive = 0;
    {
        ChainList<Tracked> list;
        list.append(new Tracked(1, &alive));
        list.append(new Tracked(2, &alive));
    }
    EXPECT_EQ(alive, 0);
}

}  // namespace
}  // namespace kadrel
