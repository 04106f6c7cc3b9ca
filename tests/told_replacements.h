#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The offsets of the replacements that MultiByteToUtf16 tells the generation observer while it
// converts `bytes` from `codePage`: a size query first, then the conversion, as the engine
// converts. Fails the test when the size query tells anything. Shared by the platform tests.
std::vector<std::int32_t> ToldReplacements(std::uint32_t codePage, const std::string& bytes);
