// The edit rules of the channel dialog: what makes an operator's call and a
// destination (a connect path of calls) valid, how a destination typed with
// stray blanks is tidied up, and how the two fields reach the channel table.
//
// An entry that fails the rules stays in its field only: memory keeps the
// last valid Mycall and CallPath, so nothing invalid is ever called or
// written to the settings file.
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"

constexpr int kMycallEditChars = 13;     // characters the Mycall field hands over
constexpr int kCallPathEditChars = 129;  // characters the destination field hands over

constexpr const char* kInvalidMycallText = "Invalid MYCALL, please repeat input!";
constexpr const char* kInvalidDestinationText = "Invalid DESTINATION CALL, please repeat input!";
constexpr const char* kNoDestinationText = "You have set no DESTINATION CALL for this channel!";
constexpr const char* kNoMycallText = "You have not set MYCALL!";

// What the dialog's two fields hold, as typed.
struct ChannelEdit {
    char Mycall[kMycallEditChars + 1];
    char CallPath[kCallPathEditChars + 1];
};

// Drops trailing blanks in place; valid when what is left holds only ASCII
// letters, digits and "-" (empty is valid).
int CheckMycall(char* text, int length);
// Trailing blanks dropped, runs of blanks shortened to one, a leading blank
// dropped; in place.
void NormaliseCallPath(char* text, int length);
// Normalises in place; valid when the text is calls of letters and digits
// separated by single blanks, each optionally followed by "-" and a number
// whose first digit is 1..9 (empty is valid; lower case stays as typed).
int CheckDestinationCall(char* text, int length);

// Takes the fields into Mycall and the CallPath of `channel`, each only when
// it is valid (Mycall first: an invalid Mycall leaves the destination unread).
// RufAktiv follows an accepted destination: 1 when it is not empty. Returns 1
// when both were accepted; otherwise 0 with the message to show in `why`.
int AcceptChannelFields(AppState& state, int channel, const ChannelEdit& edit, const char** why);

// Null when an immediate call of `channel` may be requested, else the warning
// to show (no destination, then no Mycall).
const char* ConnectRefusal(const AppState& state, int channel);
