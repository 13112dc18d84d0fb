#pragma once

namespace codepage {

inline constexpr int kFirstPage = 1250;
inline constexpr int kPageCount = 9;  // 1250 to 1258

// The characters of the bytes 0x80 to 0xFF of an ANSI code page from 1250 to 1258 (128
// entries); nullptr for any other page, whose upper half is read as Latin-1.
const char16_t* UpperHalf(int codePage);

}  // namespace codepage
