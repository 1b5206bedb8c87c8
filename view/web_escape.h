// Escaping for the web pages: one function per context (HTML text and
// quoted attribute values, JSON strings). Every text that came from the
// radio (digipeater calls, link names, second names) reaches a page only
// through one of these, so a link named <b>x&"y shows as that text and
// never becomes markup.
//
// Bytes that do not form UTF-8 become the four characters \xNN (hex, upper
// case), as in the metrics text, so no name is dropped and every page is
// valid UTF-8. Control characters become \xNN too.
//
// Threading: none of its own.
#pragma once

#include <cstddef>
#include <string>

// Length of a well-formed UTF-8 sequence at p (shortest form, no
// surrogates, at most U+10FFFF), else 0.
std::size_t Utf8SequenceLength(const unsigned char* p, std::size_t left);

// For HTML text and for attribute values in double quotes: & < > " ' as
// character references.
void AppendHtml(std::string& out, const char* bytes, std::size_t size);
void AppendHtml(std::string& out, const char* text);

// The inside of a JSON string: quote, backslash and control characters
// escaped.
void AppendJsonString(std::string& out, const char* bytes, std::size_t size);

// Length of a fixed-size text cell up to its first NUL.
std::size_t CellTextLength(const char* cell, std::size_t max);
