// The engine's name index: names looked up whole or in two pieces, names that share a hash, and a
// table that grows while items are added.

#include "engine/src/NameTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using zipengine::hashName;
using zipengine::NameTable;

namespace {

struct Names
{
    std::vector<std::string> names;
    NameTable table;

    void add(const std::string& name)
    {
        table.insert(hashName(name), static_cast<std::uint32_t>(names.size()));
        names.push_back(name);
    }
    std::uint32_t find(const std::string& head, const std::string& tail) const
    {
        return table.find(hashName(tail, hashName(head)),
                          [&](std::uint32_t item) { return names[item] == head + tail; });
    }
};

} // namespace

TEST(NameTable, a_name_is_found_whole_or_in_pieces_and_nothing_else_is)
{
    Names n;
    for (const char* name : {"a/b.txt", "a/", "b.txt", "ab.txt", ""}) {
        n.add(name);
    }
    EXPECT_EQ(n.find("", "a/b.txt"), 0u);
    EXPECT_EQ(n.find("a/", "b.txt"), 0u);
    EXPECT_EQ(n.find("a/b", ".txt"), 0u);
    EXPECT_EQ(n.find("a/", ""), 1u);
    EXPECT_EQ(n.find("", "b.txt"), 2u);
    EXPECT_EQ(n.find("a", "b.txt"), 3u);
    EXPECT_EQ(n.find("", ""), 4u);
    EXPECT_EQ(n.find("a/", "c.txt"), NameTable::kNone);
    EXPECT_EQ(n.find("A/", "b.txt"), NameTable::kNone) << "names are compared exactly";
    EXPECT_EQ(NameTable().find(hashName("x"), [](std::uint32_t) { return true; }), NameTable::kNone);
}

TEST(NameTable, every_item_stays_reachable_while_the_table_grows_and_hashes_collide)
{
    Names n;
    for (int i = 0; i < 100000; ++i) {
        n.add("folder" + std::to_string(i % 97) + "/file" + std::to_string(i));
    }
    EXPECT_EQ(n.table.size(), 100000u);
    for (int i = 0; i < 100000; i += 7) {
        EXPECT_EQ(n.find("folder" + std::to_string(i % 97) + "/", "file" + std::to_string(i)),
                  static_cast<std::uint32_t>(i));
    }
    EXPECT_EQ(n.find("folder1/", "file2"), NameTable::kNone);

    // Items under one hash: the predicate tells them apart.
    NameTable same;
    for (std::uint32_t i = 0; i < 50; ++i) {
        same.insert(42, i);
    }
    for (std::uint32_t i = 0; i < 50; ++i) {
        EXPECT_EQ(same.find(42, [i](std::uint32_t item) { return item == i; }), i);
    }
    EXPECT_EQ(same.find(42, [](std::uint32_t item) { return item == 50; }), NameTable::kNone);
}
