// Runs a sequence of insertions, insertions without memory and lookups on one index, and after
// every step checks it against a std::map of the same words: the AVL invariants, the order of
// the keys, the first stored reference of every word, and a tree left untouched by a refused
// allocation.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "content_index.h"
#include "memory.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

// Checks the balance of every node below `node` and returns its height.
int CheckedHeight(const IndexNode* node) {
  if (node == nullptr) return 0;
  const int lesser = CheckedHeight(node->lesser);
  const int greater = CheckedHeight(node->greater);
  Require(node->balance == greater - lesser && node->balance >= -1 && node->balance <= 1);
  return 1 + std::max(lesser, greater);
}

// The whole tree, shape and balances included, as a list to compare.
void Snapshot(const IndexNode* node, std::vector<std::uintptr_t>* out) {
  if (node == nullptr) {
    out->push_back(0);
    return;
  }
  out->push_back(reinterpret_cast<std::uintptr_t>(node->key));
  out->push_back(static_cast<std::uintptr_t>(node->balance + 2));
  Snapshot(node->lesser, out);
  Snapshot(node->greater, out);
}

void InOrder(const IndexNode* node, std::vector<const char16_t*>* keys) {
  if (node == nullptr) return;
  InOrder(node->lesser, keys);
  keys->push_back(node->key);
  InOrder(node->greater, keys);
}

// Few units, so that words often repeat, and some at the edges of the unsigned order.
char16_t Unit(std::uint8_t byte) {
  static const char16_t kEdges[] = {0x0001, 0x7FFF, 0x8000, 0xD800, 0xDC00, 0xE000, 0xFFFE, 0xFFFF};
  return byte >= 0xF8 ? kEdges[byte - 0xF8] : static_cast<char16_t>(u'a' + byte % 8);
}

bool RefuseAll(std::size_t, void*) {
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ContentIndex index = nullptr;
  std::deque<std::u16string> texts;  // a deque never moves its strings: keys stay valid
  std::map<std::u16string, const char16_t*> model;
  std::size_t at = 0;
  while (at < size) {
    const std::uint8_t op = data[at++];
    std::u16string word;
    for (int n = (op >> 2) & 7; n > 0 && at < size; --n)
      word += Unit(data[at++]);
    const auto stored = model.find(word);
    if ((op & 3) == 2) {
      const std::u16string probe = word;  // a copy: the stored reference must come back
      const char16_t* found = IndexFind(index, probe.c_str());
      Require(found == (stored == model.end() ? nullptr : stored->second));
      continue;
    }
    texts.push_back(word);
    const char16_t* key = texts.back().c_str();
    if ((op & 3) == 3) {
      std::vector<std::uintptr_t> before;
      std::vector<std::uintptr_t> after;
      Snapshot(index, &before);
      SetAllocationFilter(RefuseAll, nullptr);
      const int added = IndexInsert(&index, key);
      SetAllocationFilter(nullptr, nullptr);
      Snapshot(index, &after);
      Require(added == 0 && before == after);
      continue;
    }
    Require(IndexInsert(&index, key) == (stored == model.end() ? 1 : 0));
    model.emplace(word, key);

    CheckedHeight(index);
    std::vector<const char16_t*> keys;
    InOrder(index, &keys);
    Require(keys.size() == model.size());
    std::size_t i = 0;
    for (const auto& [text, first] : model) {
      Require(keys[i++] == first);
      const std::u16string probe = text;
      Require(IndexFind(index, probe.c_str()) == first);
    }
  }
  IndexRelease(&index);
  Require(index == nullptr);
  return 0;
}
