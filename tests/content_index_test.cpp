#include "content_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "memory.h"

namespace {

// Checks every AVL invariant below `node` and returns its height.
int CheckedHeight(const IndexNode* node) {
  if (node == nullptr) return 0;
  const int lesser = CheckedHeight(node->lesser);
  const int greater = CheckedHeight(node->greater);
  EXPECT_EQ(node->balance, greater - lesser);
  EXPECT_GE(node->balance, -1);
  EXPECT_LE(node->balance, +1);
  return 1 + std::max(lesser, greater);
}

void InOrder(const IndexNode* node, std::vector<const char16_t*>* keys) {
  if (node == nullptr) return;
  InOrder(node->lesser, keys);
  keys->push_back(node->key);
  InOrder(node->greater, keys);
}

// Owns the key texts, which the index only refers to, and the index itself.
class IndexTest : public ::testing::Test {
 protected:
  ~IndexTest() override { IndexRelease(&m_index); }

  const char16_t* Key(std::u16string text) {
    m_keys.push_back(std::make_unique<std::u16string>(std::move(text)));
    return m_keys.back()->c_str();
  }
  int Insert(std::u16string text) { return IndexInsert(&m_index, Key(std::move(text))); }

  void ExpectSound() {
    CheckedHeight(m_index);
    std::vector<const char16_t*> keys;
    InOrder(m_index, &keys);
    for (std::size_t i = 1; i < keys.size(); ++i) {
      ASSERT_EQ(CompareText(keys[i - 1], keys[i]), -1) << "in-order walk not increasing at " << i;
    }
  }

  ContentIndex m_index = nullptr;
  std::vector<std::unique_ptr<std::u16string>> m_keys;
};

std::u16string NumberKey(int n) {
  std::u16string key = u"k";
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08d", n);
  for (const char* d = digits; *d != 0; ++d) key += static_cast<char16_t>(*d);
  return key;
}

}  // namespace

TEST(CompareTextTest, OrdersByUnsignedUnitsWithPrefixFirst) {
  struct Case {
    const char* name;
    std::u16string a, b;
    int order;
  };
  const Case kCases[] = {
      {"equal", u"词语", u"词语", 0},
      {"both empty", u"", u"", 0},
      {"empty sorts first", u"", u"a", -1},
      {"proper prefix sorts first", u"ab", u"abc", -1},
      {"longer after prefix", u"abc", u"ab", +1},
      {"letter case differs", u"A", u"a", -1},
      {"full-width differs from half-width", u"Ａ", u"A", +1},
      {"trailing blank differs", u"a ", u"a", +1},
      {"units are unsigned", u"\uFFFF", u"a", +1},
      {"a surrogate sorts below U+E000", u"\U00020000", u"\uE000", -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CompareText(c.a.c_str(), c.b.c_str()), c.order);
    EXPECT_EQ(CompareText(c.b.c_str(), c.a.c_str()), -c.order);
  }
}

TEST_F(IndexTest, EmptyIndexFindsNothingAndFirstKeyBecomesRoot) {
  EXPECT_EQ(IndexFind(m_index, u"a"), nullptr);
  const char16_t* key = Key(u"a");
  EXPECT_EQ(IndexInsert(&m_index, key), 1);
  ASSERT_NE(m_index, nullptr);
  EXPECT_EQ(m_index->key, key);
  EXPECT_EQ(m_index->balance, 0);
}

TEST_F(IndexTest, FindReturnsTheStoredReferenceOfTheFirstEqualKey) {
  const char16_t* first = Key(u"词");
  const char16_t* second = Key(u"词");
  EXPECT_EQ(IndexInsert(&m_index, first), 1);
  EXPECT_EQ(IndexInsert(&m_index, second), 0);
  const std::u16string probe = u"词";
  EXPECT_EQ(IndexFind(m_index, probe.c_str()), first);
  EXPECT_EQ(IndexFind(m_index, u"词语"), nullptr);
}

TEST_F(IndexTest, ThreeKeysInEveryOrderGiveTheSameBalancedTree) {
  const char* kOrders[] = {"abc", "acb", "cba", "cab"};
  for (const char* order : kOrders) {
    SCOPED_TRACE(order);
    IndexRelease(&m_index);
    for (const char* c = order; *c != 0; ++c) ASSERT_EQ(Insert(std::u16string(1, *c)), 1);
    ASSERT_NE(m_index, nullptr);
    EXPECT_EQ(m_index->key[0], u'b');
    ASSERT_NE(m_index->lesser, nullptr);
    ASSERT_NE(m_index->greater, nullptr);
    EXPECT_EQ(m_index->lesser->key[0], u'a');
    EXPECT_EQ(m_index->greater->key[0], u'c');
    EXPECT_EQ(m_index->balance, 0);
    EXPECT_EQ(m_index->lesser->balance, 0);
    EXPECT_EQ(m_index->greater->balance, 0);
  }
}

TEST_F(IndexTest, SortedKeysGiveTheLeastPossibleHeight) {
  struct Case {
    int count;
    bool ascending;
    int height;
  };
  const Case kCases[] = {{1000, true, 10}, {1000, false, 10}, {100000, true, 17},
                         {100000, false, 17}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.count << (c.ascending ? " ascending" : " descending"));
    IndexRelease(&m_index);
    for (int i = 0; i < c.count; ++i) Insert(NumberKey(c.ascending ? i : c.count - i));
    EXPECT_EQ(CheckedHeight(m_index), c.height);
  }
}

TEST_F(IndexTest, RandomInsertionsWithDuplicatesKeepEveryInvariant) {
  std::mt19937 random(20261211);
  std::vector<std::u16string> inserted;
  for (int step = 0; step < 3000; ++step) {
    // Short keys over a small alphabet, so that duplicates and shared prefixes are common.
    std::u16string key;
    const int length = static_cast<int>(random() % 4);
    for (int i = 0; i < length; ++i) key += static_cast<char16_t>(u'a' + random() % 3);
    if (random() % 5 == 0) key = std::u16string{0xD840, 0xDC00} + key;
    const bool known = std::find(inserted.begin(), inserted.end(), key) != inserted.end();
    EXPECT_EQ(Insert(key), known ? 0 : 1);
    if (!known) inserted.push_back(key);
    if (step % 100 == 0) ExpectSound();
  }
  ExpectSound();
  for (const std::u16string& key : inserted) {
    const char16_t* found = IndexFind(m_index, key.c_str());
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(std::u16string(found), key);
  }
}

namespace {

bool RefuseAll(std::size_t, void*) { return false; }

// A picture of the tree: keys and balances in pre-order.
std::string Shape(const IndexNode* node) {
  if (node == nullptr) return ".";
  std::string out = "(";
  for (const char16_t* c = node->key; *c != 0; ++c) out += static_cast<char>(*c);
  return out + ":" + std::to_string(node->balance) + " " + Shape(node->lesser) + " " +
         Shape(node->greater) + ")";
}

}  // namespace

TEST_F(IndexTest, FailedAllocationLeavesTheTreeUnchanged) {
  SetAllocationFilter(RefuseAll, nullptr);
  EXPECT_EQ(Insert(u"m"), 0);
  EXPECT_EQ(m_index, nullptr);
  SetAllocationFilter(nullptr, nullptr);

  for (const char* key : {"m", "f", "t", "c"}) Insert(std::u16string(key, key + 1));
  const std::string before = Shape(m_index);
  SetAllocationFilter(RefuseAll, nullptr);
  // "a" would rotate the tree at "f"; "z" would change balances up to the root.
  EXPECT_EQ(Insert(u"a"), 0);
  EXPECT_EQ(Insert(u"z"), 0);
  SetAllocationFilter(nullptr, nullptr);
  EXPECT_EQ(Shape(m_index), before);
  EXPECT_EQ(IndexFind(m_index, u"a"), nullptr);
}

TEST_F(IndexTest, ReleaseFreesEveryNodeAndEmptiesTheLink) {
  for (int i = 0; i < 500; ++i) Insert(NumberKey((i * 7919) % 1000));
  IndexRelease(&m_index);
  EXPECT_EQ(m_index, nullptr);
  IndexRelease(&m_index);  // an empty index releases to nothing
  EXPECT_EQ(m_index, nullptr);
}

namespace {

// Keys of 0 to 5 units over a few units that stress the comparison of the first two units: the
// smallest and the largest unit, a surrogate, and letters that make shared prefixes common.
std::u16string RandomKey(std::mt19937* random) {
  static const char16_t kUnits[] = {u'a', u'b', u'c', 0x0001, 0xD840, 0xDC00, 0xFFFF, u'词'};
  std::u16string key;
  for (int n = static_cast<int>((*random)() % 6); n > 0; --n) {
    key += kUnits[(*random)() % std::size(kUnits)];
  }
  return key;
}

// True when both trees hold the same key references in the same places with the same balances.
bool SameTree(const IndexNode* a, const IndexNode* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return a->key == b->key && a->balance == b->balance && SameTree(a->lesser, b->lesser) &&
         SameTree(a->greater, b->greater);
}

// The obvious lookup: a descent by CompareText alone.
const char16_t* SlowFind(const IndexNode* node, const char16_t* probe) {
  while (node != nullptr) {
    const int order = CompareText(probe, node->key);
    if (order == 0) return node->key;
    node = order > 0 ? node->greater : node->lesser;
  }
  return nullptr;
}

}  // namespace

TEST(KeyHeadTest, UnequalHeadsOrderAsTheTextsAndEqualShortHeadsMeanEqualTexts) {
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    const std::u16string a = RandomKey(&random);
    const std::u16string b = RandomKey(&random);
    SCOPED_TRACE(testing::Message() << "keys of " << a.size() << " and " << b.size() << " units");
    const int order = CompareText(a.c_str(), b.c_str());
    const std::uint32_t headA = KeyHead(a.c_str());
    const std::uint32_t headB = KeyHead(b.c_str());
    if (headA != headB) {
      EXPECT_EQ(headA < headB ? -1 : +1, order);
    } else if ((headA & 0xFFFF) == 0) {
      EXPECT_EQ(order, 0);
    }
  }
}

TEST_F(IndexTest, BatchLookupsFindWhatTheObviousLookupFinds) {
  std::mt19937 random(20261212);
  for (int i = 0; i < 3000; ++i)
    Insert(RandomKey(&random));
  ExpectSound();
  std::vector<std::u16string> probes;
  for (int i = 0; i < 3000; ++i)
    probes.push_back(RandomKey(&random));
  std::vector<const char16_t*> texts;
  for (const std::u16string& probe : probes)
    texts.push_back(probe.c_str());

  // Batches smaller, equal to and larger than the descents kept in flight.
  for (const int batch : {1, 5, kIndexBatch - 1, kIndexBatch, kIndexBatch + 1, 1000}) {
    SCOPED_TRACE(testing::Message() << "batches of " << batch);
    std::vector<const char16_t*> found(texts.size(), u"stale");
    for (std::size_t first = 0; first < texts.size(); first += batch) {
      const int n = static_cast<int>(std::min<std::size_t>(batch, texts.size() - first));
      IndexFindBatch(m_index, texts.data() + first, n, found.data() + first);
    }
    int hits = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      ASSERT_EQ(found[i], SlowFind(m_index, texts[i])) << "probe " << i;
      ASSERT_EQ(found[i], IndexFind(m_index, texts[i])) << "probe " << i;
      hits += found[i] != nullptr ? 1 : 0;
    }
    EXPECT_GT(hits, 100);
    EXPECT_LT(hits, 2900);
  }
}

TEST_F(IndexTest, BatchLookupsInAnEmptyIndexFindNothing) {
  const char16_t* probes[] = {u"", u"a"};
  const char16_t* found[] = {u"stale", u"stale"};
  IndexFindBatch(nullptr, probes, 2, found);
  EXPECT_EQ(found[0], nullptr);
  EXPECT_EQ(found[1], nullptr);
  IndexFindBatch(nullptr, probes, 0, found);  // nothing to look up: nothing happens
}

TEST_F(IndexTest, BatchInsertionBuildsTheTreeOfSingleInsertions) {
  std::mt19937 random(99);
  std::vector<const char16_t*> keys;
  for (int i = 0; i < 4000; ++i)
    keys.push_back(Key(RandomKey(&random)));

  ContentIndex single = nullptr;
  std::vector<int> expected;
  for (const char16_t* key : keys)
    expected.push_back(IndexInsert(&single, key));

  std::vector<int> added(keys.size(), -1);
  for (std::size_t first = 0; first < keys.size();) {
    const int n = static_cast<int>(std::min<std::size_t>(1 + random() % (2 * kIndexBatch + 10), keys.size() - first));
    IndexInsertBatch(&m_index, keys.data() + first, n, added.data() + first);
    first += static_cast<std::size_t>(n);
  }
  EXPECT_EQ(added, expected);
  EXPECT_TRUE(SameTree(m_index, single));
  ExpectSound();
  IndexRelease(&single);

  // Without room for the results it inserts all the same.
  IndexRelease(&m_index);
  IndexInsertBatch(&m_index, keys.data(), static_cast<int>(keys.size()), nullptr);
  EXPECT_EQ(IndexFind(m_index, keys.back()), SlowFind(m_index, keys.back()));
  ExpectSound();
}
