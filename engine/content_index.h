#pragma once

#include <cstdint>

// One word of the content index. Keys refer into the content table's text, which must stay
// allocated and unchanged while the index is used; the index never copies nor frees them.
// A node takes 32 bytes and never crosses a cache line.
struct IndexNode {
  const char16_t* key;
  IndexNode* greater;   // keys that compare greater than `key`
  IndexNode* lesser;    // keys that compare less than `key`
  std::int32_t balance; // height of `greater` minus height of `lesser`: -1, 0 or +1 at rest
  // The first two units of `key` (see KeyHead), kept in what would be padding, so that most
  // comparisons on the way down never read the key text.
  std::uint32_t keyHead;
};

// The root link of an AVL tree of IndexNode; null is the empty index.
using ContentIndex = IndexNode*;

// Room for the nodes on one insertion's path, the new node included: enough for a tree of 49
// levels, which needs more than 32 billion nodes.
constexpr int kIndexPathDepth = 50;

// Compares unsigned 16-bit units up to the zero unit: -1, 0 or +1. A proper prefix sorts first.
int CompareText(const char16_t* a, const char16_t* b);

// The first two units of `text` as one number, the second taken as 0 when the text ends at the
// first. Heads order as CompareText orders their texts: unequal heads decide the comparison, and
// equal heads whose second unit is 0 mean equal texts.
inline std::uint32_t KeyHead(const char16_t* text) {
  return static_cast<std::uint32_t>(text[0]) << 16 | (text[0] == 0 ? 0u : text[1]);
}

// Adds `key` to the index whose root link is `*root`, rewriting the link when the root changes.
// Returns 1 when a node was added; 0 when an equal key is present (the first one stays) or no
// node could be allocated. On 0 the tree, balances included, is exactly as it was.
int IndexInsert(ContentIndex* root, const char16_t* key);

// Inserts `count` keys one after the other, exactly as as many IndexInsert calls in the same
// order would, and stores each call's result in `added[i]` when `added` is not null. The keys
// are first looked up side by side (IndexFindBatch), which brings the nodes on their paths into
// the cache together instead of one miss after the other during the insertions.
void IndexInsertBatch(ContentIndex* root, const char16_t* const* keys, int count, int* added);

// Returns the key stored for the word equal to `probe`, never `probe` itself, or null.
const char16_t* IndexFind(ContentIndex root, const char16_t* probe);

// How many descents IndexFindBatch keeps under way at a time: enough to hide the memory latency
// behind the work of the others, few enough for the processor's outstanding misses. Batches of
// this many probes use it fully.
constexpr int kIndexBatch = 64;

// Looks up `count` probes as IndexFind does and stores the result for `probes[i]` in `found[i]`.
// The descents run side by side, one level at a time, each prefetching its next node, so that
// the memory latency of one is spent on the others' work: several times faster than as many
// IndexFind calls on a tree that does not fit in the cache.
void IndexFindBatch(ContentIndex root, const char16_t* const* probes, int count,
                    const char16_t** found);

// Frees every node; reads and frees no key. Leaves `*root` null.
void IndexRelease(ContentIndex* root);

// Restore the balance of the node in `*link`, whose balance is +2 (RebalanceGreater) or -2
// (RebalanceLesser), by a single or double rotation. Used by IndexInsert only.
void RebalanceGreater(IndexNode** link);
void RebalanceLesser(IndexNode** link);
