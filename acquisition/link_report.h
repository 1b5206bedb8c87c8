// The link report parser: cuts one stored reply line into the seven text
// cells of a link table row by fixed text columns. No line is interpreted by
// its content. A reply line is outside input and never trusted: nothing is
// read beyond its 100-byte slot and nothing written past a 16-byte cell.
//
// Threading: GUI thread only.
#pragma once

#include "shell/channel_table.h"

// Link table columns and the text column each is cut from.
enum LinkColumn : int {
    kColQty = 0,        // text column 37, number, default "0"
    kColTime = 1,       // text column 66, fixed 12 bytes, default 12 blanks
    kColName = 2,       // text column 54, name, default "???"
    kColTkby = 3,       // text column 27, number
    kColPort = 4,       // text column 9, number (kept in the file only)
    kColIdent = 5,      // text column 61, name (second identifier)
    kColRkby = 6,       // text column 32, number
};

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
