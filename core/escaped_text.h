// Bytes from outside (a TNC's frames, calls, names) as a message quotes
// them: printable ASCII as it is, every other byte as \xNN, so that no line
// break splits a message and no escape sequence reaches a terminal or a
// journal.
//
// Threading: none of its own; pure function on the caller's data.
#pragma once

#include <cstddef>

// Writes the escaped text of bytes[0..size) into out (at most outSize - 1
// characters and a NUL; cut before an escape that does not fit whole) and
// returns out.
const char* EscapeText(const char* bytes, std::size_t size, char* out, int outSize);
// The same for a NUL-terminated text.
const char* EscapeText(const char* text, char* out, int outSize);
