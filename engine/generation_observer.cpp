#include "generation_observer.h"

namespace {

GenerationObserver* g_observer = nullptr;

}  // namespace

void SetGenerationObserver(GenerationObserver* observer) {
  g_observer = observer;
}

GenerationObserver* GetGenerationObserver() {
  return g_observer;
}

void NoteReplacement(std::int32_t offset) {
  if (g_observer != nullptr) g_observer->OnReplacement(offset);
}
