#include "page_advice.h"

// Large pages on Windows need a privilege that users do not hold: the advice is dropped.
void AdviseLargePages(void*, std::size_t) {}
