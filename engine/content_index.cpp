#include "content_index.h"

#include "memory.h"

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
  IndexNode** link = root;
  while (*link != nullptr) {
    IndexNode* node = *link;
    // No tree that fits in memory has 49 levels; the bound only keeps the path in its array.
    if (depth == kIndexPathDepth - 1) return 0;
    path[depth] = node;
    if (node->balance != 0) critical = depth;
    ++depth;
    const int order = CompareText(key, node->key);
    if (order == 0) return 0;
    link = order > 0 ? &node->greater : &node->lesser;
  }
  auto* added = static_cast<IndexNode*>(AllocateZeroed(sizeof(IndexNode)));
  if (added == nullptr) return 0;
  added->key = key;
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
  if (critical > 0) {
    IndexNode* above = path[critical - 1];
    holder = above->greater == node ? &above->greater : &above->lesser;
  }
  if (node->balance == +2) RebalanceGreater(holder);
  if (node->balance == -2) RebalanceLesser(holder);
  return 1;
}

const char16_t* IndexFind(ContentIndex root, const char16_t* probe) {
  const IndexNode* node = root;
  while (node != nullptr) {
    const int order = CompareText(probe, node->key);
    if (order == 0) return node->key;
    node = order > 0 ? node->greater : node->lesser;
  }
  return nullptr;
}

void IndexRelease(ContentIndex* root) {
  // Frees without recursion or a stack: each node's lesser subtree is rotated up until it has
  // none, then the node goes and the walk continues with its greater subtree.
  IndexNode* node = *root;
  while (node != nullptr) {
    if (node->lesser != nullptr) {
      IndexNode* lesser = node->lesser;
      node->lesser = lesser->greater;
      lesser->greater = node;
      node = lesser;
    } else {
      IndexNode* greater = node->greater;
      ReleaseMemory(node);
      node = greater;
    }
  }
  *root = nullptr;
}
