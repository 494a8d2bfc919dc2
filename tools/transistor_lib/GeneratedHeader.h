#pragma once

// What the build-time generators share: the C++ text of a value read from a
// committed data file, and the replacement of the generated header that
// leaves the old one untouched on failure (so that the build stops rather
// than compiling stale data).

#include <string>

namespace norvane::tools {

// A plain decimal as a C++ floating literal with the same value ("3" ->
// "3.0"): the compiler then produces exactly the double the text means.
std::string DoubleLiteral(const std::string& text);

// A C++ string literal holding text (quotes and backslashes escaped).
std::string StringLiteral(const std::string& text);

// The last component of a path, for the "Generated from" line.
std::string FileNameOf(const std::string& path);

// Writes content to path through a temporary file and a rename. On failure
// prints "<path>: error: ..." and returns false.
bool ReplaceFile(const std::string& path, const std::string& content);

} // namespace norvane::tools
