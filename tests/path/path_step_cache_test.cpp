#include <gtest/gtest.h>

#include <string>
#include <thread>
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

// What a walker that refreshes its view now finds.
bool Find(const PathStepCache& cache, std::uint64_t recno, PathStep& step)
{
    PathStepCache::View view;
    cache.Refresh(view);
    return view.Find(recno, step);
}

void ExpectStep(const PathStepCache& cache, std::uint64_t recno, const PathStep& expected)
{
    PathStep found;
    ASSERT_TRUE(Find(cache, recno, found)) << recno;
    EXPECT_EQ(found.kind, expected.kind) << recno;
    EXPECT_EQ(found.root, expected.root) << recno;
    EXPECT_EQ(found.parent, expected.parent) << recno;
    EXPECT_EQ(found.name, expected.name) << recno;
}

TEST(PathStepCacheTest, KeepsEachKindOfStepAndTellsSameFromDifferent)
{
    PathStepCache cache;
    PathStep unused;
    EXPECT_FALSE(Find(cache, 16, unused));
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
    ASSERT_TRUE(Find(cache, 1000, first));
    for (int i = 1; i < 50000; ++i) {
        ASSERT_EQ(cache.Insert(1000 + 7 * static_cast<std::uint64_t>(i), NameStep(names[i], i)),
                  PathStepCache::InsertResult::kInserted);
    }
    EXPECT_EQ(first.name, names[0]);  // a view taken before the table grew
    for (int i = 0; i < 50000; i += 997) {
        ExpectStep(cache, 1000 + 7 * static_cast<std::uint64_t>(i), NameStep(names[i], i == 0 ? 5 : i));
    }
    PathStep unused;
    EXPECT_FALSE(Find(cache, 1001, unused));
}

// A full cache starts again with the step that did not fit; a walker's view
// of the old table keeps seeing it, names included, until it is refreshed.
TEST(PathStepCacheTest, EmptiesAtItsCapsAndOldViewsKeepWhatTheySaw)
{
    PathStepCache by_count(3, 1024);
    PathStepCache::View old_view;
    for (std::uint64_t recno = 20; recno < 23; ++recno) {
        EXPECT_EQ(by_count.Insert(recno, NameStep("d" + std::to_string(recno), 5)),
                  PathStepCache::InsertResult::kInserted);
    }
    by_count.Refresh(old_view);
    EXPECT_EQ(by_count.Insert(20, NameStep("d20", 5)), PathStepCache::InsertResult::kSame);
    EXPECT_EQ(by_count.Insert(23, NameStep("e", 5)), PathStepCache::InsertResult::kInserted);
    EXPECT_EQ(by_count.size(), 1u);
    PathStep step;
    EXPECT_FALSE(Find(by_count, 20, step));
    ExpectStep(by_count, 23, NameStep("e", 5));
    ASSERT_TRUE(old_view.Find(21, step));
    EXPECT_EQ(step.name, "d21");
    EXPECT_FALSE(old_view.Find(23, step));
    by_count.Refresh(old_view);
    EXPECT_TRUE(old_view.Find(23, step));
    by_count.Clear();
    EXPECT_EQ(by_count.size(), 0u);
    EXPECT_FALSE(Find(by_count, 23, step));

    PathStepCache by_bytes(1000, 10);
    EXPECT_EQ(by_bytes.Insert(1, NameStep("0123456789", 5)), PathStepCache::InsertResult::kInserted);
    EXPECT_EQ(by_bytes.Insert(2, NameStep("x", 5)), PathStepCache::InsertResult::kInserted);
    EXPECT_EQ(by_bytes.size(), 1u);
    EXPECT_FALSE(Find(by_bytes, 1, step));
    ExpectStep(by_bytes, 2, NameStep("x", 5));
}

// Workers keep and find steps at once while the table grows and, with small
// caps, empties: whatever a view finds is a whole step that was kept for
// that record (run under the thread sanitizer too).
TEST(PathStepCacheTest, ThreadsKeepAndFindAtOnce)
{
    for (const std::size_t cap : {std::size_t{500}, PathStepCache::kDefaultMaxEntries}) {
        SCOPED_TRACE(cap);
        PathStepCache cache(cap, cap * 8);
        constexpr std::uint64_t kRecords = 20000;
        auto name_of = [](std::uint64_t recno) { return "dir" + std::to_string(recno % 997) + "-" + std::to_string(recno); };
        std::vector<int> wrong(3, 0);
        auto work = [&](int worker) {
            PathStepCache::View view;
            for (std::uint64_t i = 0; i < kRecords; ++i) {
                const std::uint64_t recno = (i * 7919) % kRecords;  // all on the same records at once
                cache.Refresh(view);
                PathStep step;
                if (view.Find(recno, step)) {
                    wrong[static_cast<std::size_t>(worker)] += step.name != name_of(recno) || step.parent != recno / 2;
                    continue;
                }
                const std::string name = name_of(recno);
                if (cache.Insert(recno, NameStep(name, recno / 2)) == PathStepCache::InsertResult::kDiffers) {
                    ++wrong[static_cast<std::size_t>(worker)];
                }
            }
        };
        std::vector<std::thread> threads;
        for (int worker = 0; worker < 3; ++worker) {
            threads.emplace_back(work, worker);
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        EXPECT_EQ(wrong, std::vector<int>(3, 0));
        if (cap >= kRecords) {
            for (std::uint64_t recno = 0; recno < kRecords; recno += 101) {
                ExpectStep(cache, recno, NameStep(name_of(recno), recno / 2));
            }
        }
    }
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
    EXPECT_FALSE(Find(cache, largest + 1, unused));
    EXPECT_FALSE(Find(cache, UINT64_MAX, unused));
    EXPECT_FALSE(Find(cache, 7, unused));
    EXPECT_FALSE(Find(cache, 8, unused));
}

}  // namespace
