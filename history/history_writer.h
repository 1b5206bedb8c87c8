// Appending records to a channel's history file, rotating it when the link
// list changes or it grows large, and the start-up scan.
//
// Threading: GUI thread only.
#pragma once

#include <cstdio>

#include "shell/channel_table.h"

struct PlatformPort;

constexpr int kRotationPromptThreshold = 1000;  // more than this: prompt
constexpr int kRotationAttemptLimit = 1000;     // numbered names tried

// 1 = written (or rotated instead), 0 = the file could not be opened.
int AppendHistoryRecord(AppState& state, PlatformPort& port, int channel, int cycleState);
int CountChangedLinkNames(std::FILE* file, const ChannelRecord& channel);
// Renames `path` to the first free numbered name; writes the new path into
// `newPath` and returns 1, or returns 0 when no name could be taken.
int RotateHistoryFile(const char* path, char* newPath, int newPathSize);
int OfferFileRotation(AppState& state, PlatformPort& port, const char* path,
                      int recordCount, int channel);
int ScanHistoryFile(AppState& state, PlatformPort& port, int channel);
