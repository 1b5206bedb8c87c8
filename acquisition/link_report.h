// The link report parser: cuts one stored reply line into the seven text
// cells of a link table row by fixed text columns. No line is interpreted by
// its content. A reply line is outside input and never trusted: nothing is
// read beyond its 100-byte slot and nothing written past a 16-byte cell.
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"
#include "core/link_column.h"

const char* SkipBlanks(const char* p, const char* end);
int FieldLength(const char* s, const char* end);
void NumberField(const char* line, int column, char* cell);
void NameField(const char* line, int column, char* cell);
void FixedField(const char* line, char* cell);

// Row `row` (< kLinkRows) of the link table from ReplyLines[row].
void ParseLinkRow(ChannelRecord& channel, int row);
// Rows 0..count-1; nothing for count 0.
void ParseLinkRows(ChannelRecord& channel, int count);
// Zeroes the seven cells of row ReplyLineCount (< kLinkRows).
void ClearLinkRow(ChannelRecord& channel);
