#pragma once

#include <cstddef>

// Tells the system that the `bytes` from `block` on are large and used all over, so that it may
// map them with large pages: fewer page faults while they are filled, and fewer translation
// misses when an index is searched at random. Only a hint; nothing changes for the caller.
// One source file per operating system.
void AdviseLargePages(void* block, std::size_t bytes);
