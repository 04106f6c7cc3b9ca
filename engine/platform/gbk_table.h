#pragma once

// GBK as the ANSI code page off Windows decodes it (Windows' code page 936), one table lookup a
// character. A value of 0 means "no character": such a byte becomes U+FFFD on its own.

// The unit of each byte 80..FF standing alone: only 80 (U+20AC) and FF (U+F8F5) are characters
// by themselves.
extern const char16_t kGbkSingleBytes[128];

// The unit of each pair of a lead byte 81..FE and a trail byte 40..FE, row by lead byte. Every
// pair but those with the trail byte 7F is a character, the user-defined and unassigned ones of
// GBK as Private Use Area characters; no other pair is one.
constexpr int kGbkFirstLead = 0x81;
constexpr int kGbkLeadCount = 0xFE - 0x81 + 1;
constexpr int kGbkFirstTrail = 0x40;
constexpr int kGbkTrailCount = 0xFE - 0x40 + 1;
extern const char16_t kGbkPairs[kGbkLeadCount * kGbkTrailCount];
