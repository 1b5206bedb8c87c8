// The seven columns of a channel's link table (ChannelRecord::LinkTable):
// the link report parser fills them, the history store writes and reads
// them, the diagram draws them.
#pragma once

// Link table columns and the text column each is cut from.
enum LinkColumn : int {
    kColQty = 0,    // text column 37, number, default "0"
    kColTime = 1,   // text column 66, fixed 12 bytes, default 12 blanks
    kColName = 2,   // text column 54, name, default "???"
    kColTkby = 3,   // text column 27, number
    kColPort = 4,   // text column 9, number (kept in the file only)
    kColIdent = 5,  // text column 61, name (second identifier)
    kColRkby = 6,   // text column 32, number
};
