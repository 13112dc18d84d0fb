#pragma once

// Single-byte text files as the program keeps them (log, search history, language files):
// lines written with CR LF; on reading a line ends at LF, a CR right before the LF belongs
// to the line end, a CR anywhere else is dropped, and Ctrl+Z (26) ends the file.
// No handle stays open between calls. Only regular files are read or appended to: a pipe or
// a device of the name counts as a file that cannot be opened.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace textfile {

inline constexpr std::string_view kLineEnd = "\r\n";

// Splits file content into lines by the reading rules above. A last line without line end
// counts; a file that ends with a line end has no empty line after it.
std::vector<std::string> SplitLines(std::string_view bytes);

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadAll(const std::string& path);

// The file's lines (SplitLines of ReadAll), or nothing when it cannot be read.
std::optional<std::vector<std::string>> ReadLines(const std::string& path);

// Appends bytes at the end of the file, creating it when missing, while holding an
// exclusive lock so that no other writer interleaves. All or nothing: bytes the disk took
// of an append it could not complete are cut off again. False when the file cannot be
// opened, locked or fully written.
bool Append(const std::string& path, std::string_view bytes);

// Replaces the file with the bytes: written to a temporary file of a unique name, then
// renamed over it, so a failed write never leaves a half file. A symbolic link stays a link
// and its target is replaced. In a folder that takes no new file, a writable file is
// written in place instead. False on any failure.
bool WriteReplacing(const std::string& path, std::string_view bytes);

}  // namespace textfile
