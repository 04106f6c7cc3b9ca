#pragma once

#include <cstdint>

// One word of the content index. Keys refer into the content table's text, which must stay
// allocated and unchanged while the index is used; the index never copies nor frees them.
struct IndexNode {
  const char16_t* key;
  IndexNode* greater;   // keys that compare greater than `key`
  IndexNode* lesser;    // keys that compare less than `key`
  std::int32_t balance; // height of `greater` minus height of `lesser`: -1, 0 or +1 at rest
};

// The root link of an AVL tree of IndexNode; null is the empty index.
using ContentIndex = IndexNode*;

// Room for the nodes on one insertion's path, the new node included: enough for a tree of 49
// levels, which needs more than 32 billion nodes.
constexpr int kIndexPathDepth = 50;

// Compares unsigned 16-bit units up to the zero unit: -1, 0 or +1. A proper prefix sorts first.
int CompareText(const char16_t* a, const char16_t* b);

// Adds `key` to the index whose root link is `*root`, rewriting the link when the root changes.
// Returns 1 when a node was added; 0 when an equal key is present (the first one stays) or no
// node could be allocated. On 0 the tree, balances included, is exactly as it was.
int IndexInsert(ContentIndex* root, const char16_t* key);

// Returns the key stored for the word equal to `probe`, never `probe` itself, or null.
const char16_t* IndexFind(ContentIndex root, const char16_t* probe);

// Frees every node; reads and frees no key. Leaves `*root` null.
void IndexRelease(ContentIndex* root);

// Restore the balance of the node in `*link`, whose balance is +2 (RebalanceGreater) or -2
// (RebalanceLesser), by a single or double rotation. Used by IndexInsert only.
void RebalanceGreater(IndexNode** link);
void RebalanceLesser(IndexNode** link);
