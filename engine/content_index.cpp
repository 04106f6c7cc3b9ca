#include "content_index.h"

#include <cstddef>

#include "memory.h"

namespace {

// Every node of every index comes from this pool: 32-byte blocks, contiguous in insertion order.
BlockPool g_nodes{sizeof(IndexNode)};

// CompareText(probe, node->key), reading the key text only when the heads are equal.
inline int CompareWithNode(const char16_t* probe, std::uint32_t probeHead, const IndexNode* node) {
  if (probeHead != node->keyHead) return probeHead < node->keyHead ? -1 : +1;
  if ((probeHead & 0xFFFF) == 0) return 0;
  return CompareText(probe + 2, node->key + 2);
}

// The link `&node->greater` when `greater` holds, else `&node->lesser`, chosen without a branch:
// which way a descent goes is a coin toss that the branch predictor cannot learn, and a wrong
// guess costs more than the step itself. The two links are neighbours, so the choice is one
// subtraction.
template <typename Node>
inline auto ChildLink(Node* node, bool greater) {
  static_assert(offsetof(IndexNode, lesser) == offsetof(IndexNode, greater) + sizeof(IndexNode*));
  const std::uintptr_t lesser = reinterpret_cast<std::uintptr_t>(&node->lesser);
  return reinterpret_cast<decltype(&node->lesser)>(lesser - static_cast<std::uintptr_t>(greater) *
                                                                sizeof(IndexNode*));
}

}  // namespace

static_assert(sizeof(IndexNode) == 32, "two nodes to a cache line");

int CompareText(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : +1;
    if (*a == 0) return 0;
  }
}

void RebalanceGreater(IndexNode** link) {
  IndexNode* n = *link;
  IndexNode* c = n->greater;
  if (c->balance == +1) {
    n->greater = c->lesser;
    c->lesser = n;
    n->balance = 0;
    c->balance = 0;
    *link = c;
    return;
  }
  IndexNode* g = c->lesser;
  n->greater = g->lesser;
  c->lesser = g->greater;
  g->lesser = n;
  g->greater = c;
  n->balance = g->balance == +1 ? -1 : 0;
  c->balance = g->balance == -1 ? +1 : 0;
  g->balance = 0;
  *link = g;
}

void RebalanceLesser(IndexNode** link) {
  IndexNode* n = *link;
  IndexNode* c = n->lesser;
  if (c->balance == -1) {
    n->lesser = c->greater;
    c->greater = n;
    n->balance = 0;
    c->balance = 0;
    *link = c;
    return;
  }
  IndexNode* g = c->greater;
  n->lesser = g->greater;
  c->greater = g->lesser;
  g->greater = n;
  g->lesser = c;
  n->balance = g->balance == -1 ? +1 : 0;
  c->balance = g->balance == +1 ? -1 : 0;
  g->balance = 0;
  *link = g;
}

int IndexInsert(ContentIndex* root, const char16_t* key) {
  IndexNode* path[kIndexPathDepth];
  int depth = 0;
  int critical = -1;  // position on the path of the deepest node whose balance was not 0
  const std::uint32_t head = KeyHead(key);
  IndexNode** link = root;
  while (*link != nullptr) {
    IndexNode* node = *link;
    // No tree that fits in memory has 49 levels; the bound only keeps the path in its array.
    if (depth == kIndexPathDepth - 1) return 0;
    path[depth] = node;
    critical = node->balance != 0 ? depth : critical;
    ++depth;
    // CompareWithNode, spelt out: the direction then comes without a branch on the common step,
    // which takes 10% fewer instructions than the three-way result.
    bool greater = head > node->keyHead;
    if (head == node->keyHead) {
      const int order = (head & 0xFFFF) == 0 ? 0 : CompareText(key + 2, node->key + 2);
      if (order == 0) return 0;
      greater = order > 0;
    }
    link = ChildLink(node, greater);
  }
  auto* added = static_cast<IndexNode*>(AllocateBlock(&g_nodes));
  if (added == nullptr) return 0;
  added->key = key;
  added->keyHead = head;
  *link = added;
  path[depth++] = added;

  const int top = critical < 0 ? 0 : critical;
  for (int i = depth - 1; i > top; --i) {
    IndexNode* parent = path[i - 1];
    parent->balance += parent->greater == path[i] ? +1 : -1;
  }
  if (critical < 0) return 1;

  IndexNode* node = path[critical];
  IndexNode** holder = root;
  if (critical > 0) holder = ChildLink(path[critical - 1], path[critical - 1]->greater == node);
  if (node->balance == +2) RebalanceGreater(holder);
  if (node->balance == -2) RebalanceLesser(holder);
  return 1;
}

void IndexInsertBatch(ContentIndex* root, const char16_t* const* keys, int count, int* added) {
  const char16_t* ignored[kIndexBatch];
  for (int first = 0; first < count; first += kIndexBatch) {
    const int n = count - first < kIndexBatch ? count - first : kIndexBatch;
    IndexFindBatch(*root, keys + first, n, ignored);
    for (int i = first; i < first + n; ++i) {
      const int result = IndexInsert(root, keys[i]);
      if (added != nullptr) added[i] = result;
    }
  }
}

const char16_t* IndexFind(ContentIndex root, const char16_t* probe) {
  const std::uint32_t head = KeyHead(probe);
  const IndexNode* node = root;
  while (node != nullptr) {
    const int order = CompareWithNode(probe, head, node);
    if (order == 0) return node->key;
    node = *ChildLink(node, order > 0);
  }
  return nullptr;
}

void IndexFindBatch(ContentIndex root, const char16_t* const* probes, int count,
                    const char16_t** found) {
  for (int i = 0; i < count; ++i)
    found[i] = nullptr;
  if (root == nullptr) return;
  // The descents under way, a field to an array, so that the common step, decided by the heads
  // alone, touches two small arrays. A node whose head equals the probe's takes two steps: the
  // first prefetches its key text, the second compares it.
  const IndexNode* nodes[kIndexBatch];
  std::uint32_t heads[kIndexBatch];
  int probeOf[kIndexBatch];
  bool keyFetched[kIndexBatch];
  int next = 0;
  auto start = [&](int slot) {
    nodes[slot] = root;
    heads[slot] = KeyHead(probes[next]);
    probeOf[slot] = next;
    keyFetched[slot] = false;
    ++next;
  };
  int live = 0;
  while (live < kIndexBatch && next < count)
    start(live++);
  while (live > 0) {
    for (int i = 0; i < live;) {
      const IndexNode* node = nodes[i];
      const std::uint32_t head = heads[i];
      const IndexNode* child;
      if (head != node->keyHead) {
        child = *ChildLink(node, head > node->keyHead);
      } else if (!keyFetched[i] && (head & 0xFFFF) != 0) {
        Prefetch(node->key + 2);
        keyFetched[i] = true;
        ++i;
        continue;
      } else {
        const int order = keyFetched[i] ? CompareText(probes[probeOf[i]] + 2, node->key + 2) : 0;
        keyFetched[i] = false;
        if (order == 0) found[probeOf[i]] = node->key;
        child = order == 0 ? nullptr : order > 0 ? node->greater : node->lesser;
      }
      if (child != nullptr) {
        Prefetch(child);
        nodes[i] = child;
        ++i;
      } else if (next < count) {
        start(i++);
      } else {
        // The last descent under way takes this one's place.
        --live;
        nodes[i] = nodes[live];
        heads[i] = heads[live];
        probeOf[i] = probeOf[live];
        keyFetched[i] = keyFetched[live];
      }
    }
  }
}

void IndexRelease(ContentIndex* root) {
  // Depth first, the lesser child next: the stack then holds at most one greater child for each
  // node on the current path, and a tree has fewer than kIndexPathDepth levels. Each child is
  // prefetched as it is stacked, so a greater child is in the cache by the time its turn comes.
  IndexNode* stack[kIndexPathDepth];
  int size = 0;
  if (*root != nullptr) stack[size++] = *root;
  while (size > 0) {
    IndexNode* node = stack[--size];
    if (node->greater != nullptr) {
      Prefetch(node->greater);
      stack[size++] = node->greater;
    }
    if (node->lesser != nullptr) {
      Prefetch(node->lesser);
      stack[size++] = node->lesser;
    }
    ReleaseBlock(&g_nodes, node);
  }
  *root = nullptr;
}
