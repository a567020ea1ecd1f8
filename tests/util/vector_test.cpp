#include "util/vector.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "util/lock.h"

namespace {

signed char CompareStrings(const VectorNode *newNode, const VectorNode *existing) {
    int r = strcmp(static_cast<const char *>(newNode->element),
                   static_cast<const char *>(existing->element));
    return static_cast<signed char>((r > 0) - (r < 0));
}

signed char CompareInts(const VectorNode *newNode, const VectorNode *existing) {
    int a = *static_cast<const int *>(newNode->element);
    int b = *static_cast<const int *>(existing->element);
    return static_cast<signed char>((a > b) - (a < b));
}

VectorNode *NewNode(void *element) {
    VectorNode *node = static_cast<VectorNode *>(malloc(sizeof(VectorNode)));
    node->element = element;
    node->next = nullptr;
    return node;
}

// Walks by links and checks that count, head and tail agree with the chain.
std::vector<std::string> Contents(const Vector &v) {
    std::vector<std::string> out;
    const VectorNode *last = nullptr;
    for (const VectorNode *n = v.head; n != nullptr; n = n->next) {
        out.push_back(n->element ? static_cast<const char *>(n->element) : "<null>");
        last = n;
    }
    EXPECT_EQ(int(out.size()), v.count);
    EXPECT_EQ(last, v.tail);
    return out;
}

using Strings = std::vector<std::string>;

class VectorTest : public ::testing::Test {
  protected:
    void SetUp() override { InitVector(&plain, nullptr); }
    void TearDown() override { FreeVector(&plain); }
    void Fill(std::initializer_list<const char *> items) {
        for (const char *item : items)
            ASSERT_EQ(1, AddElementData(&plain, const_cast<char *>(item)));
    }
    Vector plain;
};

TEST_F(VectorTest, SortedInsertionOrdersAndRefusesEqual) {
    VectorCompareFn compare = CompareStrings;
    Vector sorted;
    InitVector(&sorted, &compare);
    for (const char *s : {"b", "a", "c"})
        ASSERT_EQ(1, AddElementData(&sorted, const_cast<char *>(s)));
    EXPECT_EQ((Strings{"a", "b", "c"}), Contents(sorted));

    char again[] = "b";
    VectorNode *refused = NewNode(again);
    EXPECT_EQ(0, AddElement(&sorted, refused));  // the node stays ours
    free(refused);
    EXPECT_EQ((Strings{"a", "b", "c"}), Contents(sorted));

    // New smallest and largest elements move head and tail.
    ASSERT_EQ(1, AddElementData(&sorted, const_cast<char *>("0")));
    ASSERT_EQ(1, AddElementData(&sorted, const_cast<char *>("z")));
    EXPECT_EQ((Strings{"0", "a", "b", "c", "z"}), Contents(sorted));
    FreeVector(&sorted);
}

TEST_F(VectorTest, SortedInsertionMatchesASortedSetForManyOrders) {
    // Every size up to 40, in shuffled order with repeats, against std::set semantics.
    std::mt19937 random(7);
    std::vector<int> values(60);
    for (int size = 1; size <= 40; ++size) {
        std::vector<int> input;
        for (int i = 0; i < size; ++i) input.push_back(int(random() % 30));
        VectorCompareFn compare = CompareInts;
        Vector sorted;
        InitVector(&sorted, &compare);
        std::vector<int> expected;
        for (size_t i = 0; i < input.size(); ++i) {
            values[i] = input[i];
            bool fresh = std::find(expected.begin(), expected.end(), input[i]) == expected.end();
            EXPECT_EQ(fresh ? 1 : 0, AddElementData(&sorted, &values[i]));
            if (fresh) expected.push_back(input[i]);
        }
        std::sort(expected.begin(), expected.end());
        std::vector<int> actual;
        const VectorNode *last = nullptr;
        for (const VectorNode *n = sorted.head; n != nullptr; n = n->next) {
            actual.push_back(*static_cast<const int *>(n->element));
            last = n;
        }
        EXPECT_EQ(expected, actual) << "size " << size;
        EXPECT_EQ(int(expected.size()), sorted.count);
        EXPECT_EQ(last, sorted.tail);
        FreeVector(&sorted);
    }
}

TEST_F(VectorTest, AppendKeepsOrderAndTail) {
    Fill({"x", "y", "x"});  // no comparison function: duplicates kept
    EXPECT_EQ((Strings{"x", "y", "x"}), Contents(plain));
}

TEST_F(VectorTest, InsertElementAtPositions) {
    Fill({"b", "d"});
    struct Case {
        const char *element;
        int index;
        int result;
        Strings after;
    } cases[] = {
        {"e", 2, 1, {"b", "d", "e"}},            // index == count appends
        {"a", 0, 1, {"a", "b", "d", "e"}},       // head
        {"c", 2, 1, {"a", "b", "c", "d", "e"}},  // middle
        {"z", 6, 0, {"a", "b", "c", "d", "e"}},  // count + 1
        {"z", -1, 0, {"a", "b", "c", "d", "e"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.element);
        VectorNode *node = NewNode(const_cast<char *>(c.element));
        EXPECT_EQ(c.result, InsertElementAt(&plain, node, c.index));
        if (c.result == 0) free(node);
        EXPECT_EQ(c.after, Contents(plain));
    }
    // The appended tail is really the last node: a further append follows it.
    Fill({"f"});
    EXPECT_EQ((Strings{"a", "b", "c", "d", "e", "f"}), Contents(plain));

    Vector empty;
    InitVector(&empty, nullptr);
    VectorNode *node = NewNode(const_cast<char *>("only"));
    EXPECT_EQ(1, InsertElementAt(&empty, node, 0));
    EXPECT_EQ(node, empty.tail);
    FreeVector(&empty);
}

TEST_F(VectorTest, ElementAtBounds) {
    EXPECT_EQ(nullptr, ElementAt(&plain, 0));
    Fill({"a", "b", "c"});
    EXPECT_STREQ("c", static_cast<char *>(ElementAt(&plain, 2)->element));
    EXPECT_EQ(nullptr, ElementAt(&plain, 3));
    EXPECT_EQ(nullptr, ElementAt(&plain, -1));
    EXPECT_EQ(plain.tail, GetNthElement(&plain, 1, plain.head->next));
    EXPECT_EQ(nullptr, GetNthElement(&plain, 2, plain.head->next));  // list ends first
    EXPECT_EQ(nullptr, GetNthElement(&plain, -1, plain.head));
}

TEST_F(VectorTest, DeletionsKeepHeadTailAndCount) {
    struct Case {
        Strings start;
        int index;
        int result;
        Strings after;
    } cases[] = {
        {{"a"}, 0, 1, {}},
        {{"a", "b", "c"}, 2, 1, {"a", "b"}},  // last: the tail moves back
        {{"a", "b", "c"}, 0, 1, {"b", "c"}},
        {{"a", "b", "c"}, 1, 1, {"a", "c"}},
        {{"a", "b"}, 2, 0, {"a", "b"}},
        {{}, 0, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        Vector v;
        InitVector(&v, nullptr);
        for (const std::string &s : c.start) AddElementData(&v, const_cast<char *>(s.c_str()));
        EXPECT_EQ(c.result, DeleteElementAt(&v, c.index));
        EXPECT_EQ(c.after, Contents(v));
        if (c.after.empty()) {
            EXPECT_EQ(nullptr, v.head);
        }
        // Appending afterwards must land after the true last node.
        AddElementData(&v, const_cast<char *>("new"));
        Strings extended = c.after;
        extended.push_back("new");
        EXPECT_EQ(extended, Contents(v));
        FreeVector(&v);
    }
}

TEST_F(VectorTest, DeleteByNodeAndByElement) {
    char a[] = "a", b[] = "b", c[] = "c", missing[] = "b";
    for (char *s : {a, b, c}) AddElementData(&plain, s);
    EXPECT_EQ(0, DeleteLCDVector(&plain, missing));  // equal text, other pointer
    EXPECT_EQ((Strings{"a", "b", "c"}), Contents(plain));
    EXPECT_EQ(1, DeleteLCDVector(&plain, c));
    EXPECT_EQ((Strings{"a", "b"}), Contents(plain));

    VectorNode stranger{a, nullptr};
    EXPECT_EQ(0, DeleteElement(&plain, &stranger));
    EXPECT_EQ(1, DeleteElement(&plain, plain.tail));
    EXPECT_EQ((Strings{"a"}), Contents(plain));
    EXPECT_EQ(1, DeleteElement(&plain, plain.head));
    EXPECT_EQ(0, DeleteElement(&plain, &stranger));
    EXPECT_EQ(nullptr, plain.tail);
}

TEST_F(VectorTest, FreeLeavesElementsAndAllowsRefill) {
    char element[] = "kept";
    AddElementData(&plain, element);
    FreeVector(&plain);
    EXPECT_EQ(0, plain.count);
    EXPECT_EQ(nullptr, plain.head);
    EXPECT_EQ(nullptr, plain.tail);
    EXPECT_STREQ("kept", element);
    Fill({"again"});
    EXPECT_EQ((Strings{"again"}), Contents(plain));
}

TEST_F(VectorTest, MergeSortsAndDeduplicatesIntoSortedDestination) {
    VectorCompareFn compare = CompareStrings;
    Vector destination;
    InitVector(&destination, &compare);
    AddElementData(&destination, const_cast<char *>("b"));
    Fill({"c", "a", "b", "a"});
    EXPECT_EQ(1, MergeVector(&destination, &plain));
    EXPECT_EQ((Strings{"a", "b", "c"}), Contents(destination));
    EXPECT_EQ((Strings{}), Contents(plain));
    EXPECT_EQ(0, MergeVector(&destination, &destination));
    EXPECT_EQ(0, MergeVector(nullptr, &plain));
    FreeVector(&destination);
}

TEST_F(VectorTest, CloneCopiesStringsInOrder) {
    Vector *empty = CloneVector(&plain);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0, empty->count);
    FreeVector(empty);
    free(empty);

    VectorCompareFn compare = CompareStrings;
    Vector sorted;
    InitVector(&sorted, &compare);
    for (const char *s : {"b", "a"}) AddElementData(&sorted, const_cast<char *>(s));
    Vector *clone = CloneVector(&sorted);
    ASSERT_NE(nullptr, clone);
    EXPECT_EQ(nullptr, clone->compare);
    EXPECT_EQ((Strings{"a", "b"}), Contents(*clone));
    EXPECT_NE(sorted.head->element, clone->head->element);  // copies, not the same strings
    for (VectorNode *n = clone->head; n != nullptr; n = n->next) free(n->element);
    FreeVector(clone);
    free(clone);
    FreeVector(&sorted);

    EXPECT_EQ(nullptr, CloneVector(nullptr));
}

TEST_F(VectorTest, NullArgumentsAreRefused) {
    VectorNode node{nullptr, nullptr};
    EXPECT_EQ(0, AddElement(nullptr, &node));
    EXPECT_EQ(0, AddElement(&plain, nullptr));
    EXPECT_EQ(0, InsertElementAt(nullptr, &node, 0));
    EXPECT_EQ(0, DeleteElementAt(nullptr, 0));
    EXPECT_EQ(nullptr, ElementAt(nullptr, 0));
    FreeVector(nullptr);
}

TEST(VectorConcurrency, ParallelSortedAddsKeepEveryElementOnce) {
    VectorCompareFn compare = CompareInts;
    Vector sorted;
    InitVector(&sorted, &compare);
    constexpr int kThreads = 4, kPerThread = 200;
    std::vector<int> values(kThreads * kPerThread);
    for (size_t i = 0; i < values.size(); ++i) values[i] = int(i);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                // Each value is offered by two threads; exactly one insertion wins.
                AddElementData(&sorted, &values[(t * kPerThread + i) % values.size()]);
                AddElementData(&sorted, &values[((t + 1) * kPerThread + i) % values.size()]);
            }
        });
    }
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(int(values.size()), sorted.count);
    int expected = 0;
    for (const VectorNode *n = sorted.head; n != nullptr; n = n->next) {
        EXPECT_EQ(expected++, *static_cast<const int *>(n->element));
    }
    EXPECT_EQ(&values.back(), sorted.tail->element);
    FreeVector(&sorted);
}

}  // namespace
