#pragma once

// Small helpers shared by the whole program: waiting without freezing the window, asking
// about files, the program's own version, and a few text operations whose exact behaviour
// callers rely on. Texts are byte strings, one byte per character, in the ANSI code page.

#include <cstdint>
#include <string>

// Waits about `Milliseconds` while dispatching the window's pending events: the wait is
// counted in passes of the shortest sleep, and only the last `Milliseconds % 10` are measured.
void Delay(std::uint32_t Milliseconds);

// Milliseconds of a monotonic clock, cut to 32 bits (wraps after about 49.7 days).
std::uint32_t TickCount32();

// True when a directory search for Path finds any entry (directories count). The last path
// component may hold the wildcards '*' and '?'.
bool FileExistsAny(const std::string& Path);

// Size of the first entry that a search for Path finds, its low 32 bits read as signed;
// 0 when nothing is found or the entry is a directory.
std::int32_t FileSizeOf(const std::string& Path);

// The program's own four-part version ("1.0.2.200") from the version record linked into the
// executable, or "<Unknown>" when there is none.
std::string GetExeVersion();

// The version text of a version block laid out like the executable's record (a 16-bit total
// length, then 32-bit words holding the signature 0xFEEF04BD and, 16 and 20 bytes after it,
// the two product-version words); "<Unknown>" when the block is missing or malformed.
std::string VersionFromRecord(const std::uint32_t* block);

// The folder separator of this platform; AddBackslash appends it.
inline constexpr char kPathSeparator = '/';

// Path with one closing separator added unless it is empty or already ends with one.
std::string AddBackslash(std::string Path);

// Replaces every occurrence of Find, searching again from the start after each replacement,
// so occurrences that form when the text closes up around a removed one, or where an inserted
// Replacement meets the text beside it, are replaced too. An empty Find, and a Replacement
// equal to Find, change nothing.
//
// A Replacement longer than Find lengthens the text with every replacement, and searching
// again may then never end ("baa", "ba" -> "aabb" forms a new occurrence every time; so does
// any Replacement that contains Find) or grow the text out of all proportion ("ab" -> "bba"
// doubles the b's for every "a" in front of them). So at most as many replacements as Text
// has bytes may lengthen it; a call that would need more replaces each occurrence of Find in
// Text once instead, from left to right, without searching the inserted text again.
// Replacements that do not lengthen the text always come to an end and are never cut short.
std::string ReplaceAll(std::string Text, const std::string& Find, const std::string& Replacement);

// What follows the first occurrence of Token; a one-byte Token is also stripped from the
// start of the rest. Text unchanged when Token is empty or absent.
std::string TextAfter(std::string Text, const std::string& Token);

// Removes the space character (and only it) from both ends.
std::string TrimSpaces(std::string Text);

// Lowers A-Z and the code-page-1251 capitals (0xC0-0xDF); every other byte stays.
std::string LowerCaseCyr(std::string Text);
