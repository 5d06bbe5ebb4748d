#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "path/path_step_cache.h"

namespace {

PathStep NameStep(std::string_view name, std::uint64_t parent, bool root = false)
{
    PathStep step;
    step.kind = PathStep::Kind::kName;
    step.name = name;
    step.parent = parent;
    step.root = root;
    return step;
}

PathStep KindStep(PathStep::Kind kind)
{
    PathStep step;
    step.kind = kind;
    return step;
}

void ExpectStep(const PathStepCache& cache, std::uint64_t recno, const PathStep& expected)
{
    PathStep found;
    ASSERT_TRUE(cache.Find(recno, found)) << recno;
    EXPECT_EQ(found.kind, expected.kind) << recno;
    EXPECT_EQ(found.root, expected.root) << recno;
    EXPECT_EQ(found.parent, expected.parent) << recno;
    EXPECT_EQ(found.name, expected.name) << recno;
}

TEST(PathStepCacheTest, KeepsEachKindOfStepAndTellsSameFromDifferent)
{
    PathStepCache cache;
    PathStep unused;
    EXPECT_FALSE(cache.Find(16, unused));
    EXPECT_EQ(cache.Insert(16, NameStep("Windows", 5)), PathStepCache::InsertResult::kInserted);
    EXPECT_EQ(cache.Insert(5, NameStep(".", 5, true)), PathStepCache::InsertResult::kInserted);
    EXPECT_EQ(cache.Insert(22, KindStep(PathStep::Kind::kNoUsableName)), PathStepCache::InsertResult::kInserted);
    EXPECT_EQ(cache.Insert(12, KindStep(PathStep::Kind::kNoFileNames)), PathStepCache::InsertResult::kInserted);
    EXPECT_EQ(cache.Insert(0, NameStep("\xD0\x9F\xF0\x9F\x98\x80", 16)), PathStepCache::InsertResult::kInserted);
    ExpectStep(cache, 16, NameStep("Windows", 5));
    ExpectStep(cache, 5, NameStep(".", 5, true));
    ExpectStep(cache, 22, KindStep(PathStep::Kind::kNoUsableName));
    ExpectStep(cache, 12, KindStep(PathStep::Kind::kNoFileNames));
    ExpectStep(cache, 0, NameStep("\xD0\x9F\xF0\x9F\x98\x80", 16));
    EXPECT_EQ(cache.size(), 5u);

    EXPECT_EQ(cache.Insert(16, NameStep("Windows", 5)), PathStepCache::InsertResult::kSame);
    EXPECT_EQ(cache.Check(16, NameStep("Windows", 5)), PathStepCache::InsertResult::kSame);
    EXPECT_EQ(cache.Insert(16, NameStep("Windows", 6)), PathStepCache::InsertResult::kDiffers);
    EXPECT_EQ(cache.Insert(16, NameStep("windows", 5)), PathStepCache::InsertResult::kDiffers);
    EXPECT_EQ(cache.Check(16, NameStep("Windows", 5, true)), PathStepCache::InsertResult::kDiffers);
    EXPECT_EQ(cache.Check(16, KindStep(PathStep::Kind::kNoUsableName)), PathStepCache::InsertResult::kDiffers);
    EXPECT_EQ(cache.Check(17, NameStep("Windows", 5)), PathStepCache::InsertResult::kNotKept);
    ExpectStep(cache, 16, NameStep("Windows", 5));  // a different step leaves the kept one as it is
    EXPECT_EQ(cache.size(), 5u);
}

TEST(PathStepCacheTest, GrowsAndKeepsNamesWhereTheyWere)
{
    PathStepCache cache;
    std::vector<std::string> names;
    for (int i = 0; i < 50000; ++i) {
        names.push_back("directory " + std::to_string(i));
    }
    PathStep first;
    ASSERT_EQ(cache.Insert(1000, NameStep(names[0], 5)), PathStepCache::InsertResult::kInserted);
    ASSERT_TRUE(cache.Find(1000, first));
    for (int i = 1; i < 50000; ++i) {
        ASSERT_EQ(cache.Insert(1000 + 7 * static_cast<std::uint64_t>(i), NameStep(names[i], i)),
                  PathStepCache::InsertResult::kInserted);
    }
    EXPECT_EQ(first.name, names[0]);  // a view taken before the table grew
    for (int i = 0; i < 50000; i += 997) {
        ExpectStep(cache, 1000 + 7 * static_cast<std::uint64_t>(i), NameStep(names[i], i == 0 ? 5 : i));
    }
    PathStep unused;
    EXPECT_FALSE(cache.Find(1001, unused));
}

TEST(PathStepCacheTest, StopsAtItsCapsAndStartsAgainWhenCleared)
{
    PathStepCache by_count(3, 1024);
    for (std::uint64_t recno = 20; recno < 23; ++recno) {
        EXPECT_FALSE(by_count.Full());
        EXPECT_EQ(by_count.Insert(recno, NameStep("d", 5)), PathStepCache::InsertResult::kInserted);
    }
    EXPECT_TRUE(by_count.Full());
    EXPECT_EQ(by_count.Insert(23, NameStep("d", 5)), PathStepCache::InsertResult::kNotKept);
    EXPECT_EQ(by_count.Insert(20, NameStep("d", 5)), PathStepCache::InsertResult::kSame);
    by_count.Clear();
    PathStep unused;
    EXPECT_FALSE(by_count.Find(20, unused));
    EXPECT_FALSE(by_count.Full());
    EXPECT_EQ(by_count.Insert(23, NameStep("e", 5)), PathStepCache::InsertResult::kInserted);
    ExpectStep(by_count, 23, NameStep("e", 5));

    PathStepCache by_bytes(1000, 10);
    EXPECT_EQ(by_bytes.Insert(1, NameStep("0123456789", 5)), PathStepCache::InsertResult::kInserted);
    EXPECT_TRUE(by_bytes.Full());
    EXPECT_EQ(by_bytes.Insert(2, NameStep("x", 5)), PathStepCache::InsertResult::kNotKept);
}

TEST(PathStepCacheTest, NumbersTooLargeToKeepAreNotKept)
{
    PathStepCache cache;
    const std::uint64_t largest = 0xFFFFFFFEULL;
    PathStep unused;
    EXPECT_EQ(cache.Insert(largest, NameStep("a", 5)), PathStepCache::InsertResult::kInserted);
    EXPECT_EQ(cache.Insert(largest + 1, NameStep("b", 5)), PathStepCache::InsertResult::kNotKept);
    EXPECT_EQ(cache.Insert(7, NameStep("c", 0x100000000ULL)), PathStepCache::InsertResult::kNotKept);
    EXPECT_EQ(cache.Insert(8, NameStep(std::string(766, 'n'), 5)), PathStepCache::InsertResult::kNotKept);
    EXPECT_EQ(cache.Insert(9, NameStep(std::string(765, 'n'), 5)), PathStepCache::InsertResult::kInserted);
    ExpectStep(cache, largest, NameStep("a", 5));
    EXPECT_FALSE(cache.Find(largest + 1, unused));
    EXPECT_FALSE(cache.Find(UINT64_MAX, unused));
    EXPECT_FALSE(cache.Find(7, unused));
    EXPECT_FALSE(cache.Find(8, unused));
}

}  // namespace
