// The history writer: one record appended per recorded connect, and the file
// moved to a free numbered name when the link list changes.
//
// A file is opened for one operation and closed at its end, so other
// programs may read it between connects. A record (and, for a new file, the
// header in front of it) is formatted into one buffer and handed to the
// system with one write; a new file is written under a temporary name and
// moved into place (WriteFileAtomically), so it appears only with its
// header and first record.
#include "history/history_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/atomic_file.h"
#include "core/link_column.h"
#include "core/log_sink.h"
#include "core/platform_port.h"
#include "core/text_scan.h"
#include "history/history_format.h"
#include "history/history_reader.h"
#include "history/history_rotation.h"
#include "history/history_series.h"

namespace {

constexpr const char* kLinksChangedText =
    "The number or the name of links of the digipeater has changed.\n"
    "The file %s has been renamed by Hopwatch to %s .\nHopwatch will then open a new file!";
constexpr const char* kLinksChangedNoRenameText =
    "The number or the name of links of the digipeater has changed,\n"
    "but the file %s could not be renamed: %s.\n"
    "This connect has not been saved to the file.";
constexpr const char* kDamagedText =
    "The file %s cannot be read to its end (%s).\n"
    "It has been renamed by Hopwatch to %s .\nHopwatch will then open a new file!";
constexpr const char* kDamagedNoRenameText =
    "The file %s cannot be read to its end (%s),\n"
    "but it could not be renamed: %s.\nThis connect has not been saved to the file.";
constexpr long kTailWindow = 8192;  // bytes read back to check the last record
constexpr int kNoticeSize = 3 * kHistoryPathSize + 1024;

// What the read-open of the existing file found. Blank: empty, only
// whitespace, or a header and nothing behind it; no record to keep.
// Unusable: the name holds something that is no regular file.
enum class Existing { None, Same, Changed, Damaged, Blank, Unusable };

// How a record reaches the file.
enum class WriteMode { Append, Create, Replace };

// Does the file end in a whole record? Looks at the last line only (the
// writer starts every record on a line of its own); 1 when it reads as whole
// records or the file holds no more than its header line, or when the file
// cannot be looked at this way.
int TailIsWhole(int fd, int links) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size <= 0) {
        return 1;
    }
    const off_t size = st.st_size;
    const off_t from = size > kTailWindow ? size - kTailWindow : 0;
    char tail[kTailWindow];
    const ssize_t got = pread(fd, tail, static_cast<std::size_t>(size - from), from);
    if (got <= 0) {
        return 1;
    }
    const std::size_t n = static_cast<std::size_t>(got);
    std::size_t e = n;
    while (e > 0 && IsTextSpace(tail[e - 1])) {
        --e;
    }
    std::size_t s = e;
    while (s > 0 && tail[s - 1] != '\n') {
        --s;
    }
    if (e > 0 && s > 0) {
        HistoryReader reader;
        StartHistoryReader(reader, tail + s, n - s);
        HistoryRecordText record;
        while (ReadHistoryRecord(reader, links, record)) {}
        return reader.Fault == HistoryFault::None && reader.Records > 0;
    }
    return from == 0;  // the header line alone: no record yet
}

// Does the header match the channel's link list? The count as an integer
// of at most 15 characters, equal to the report's; each name as the writer
// puts it (CellToken), compared up to its first NUL byte as a cell would
// hold it. The second identifiers are not compared.
bool SameLinkList(const HistoryHeader& header, const ChannelRecord& c) {
    if (header.Count.Length > kMaxTokenLength || header.LinkCount != StoredLinkCount(c)) {
        return false;
    }
    for (int r = 1; r <= header.LinkCount; ++r) {
        const HistoryToken& name = header.Names[r - 1];
        char expected[kCellSize];
        CellToken(c.LinkTable[kColName][r], expected);
        const std::size_t length = strnlen(name.Text, static_cast<std::size_t>(name.Length));
        if (length != std::strlen(expected) || std::memcmp(name.Text, expected, length) != 0) {
            return false;
        }
    }
    return true;
}

// An empty file, or one with a header and no record (left by a crash or
// another program), holds nothing to keep and is no changed link list: it
// is replaced by a complete new file rather than moved away.
// A header that cannot be read, or that names other links, is a changed
// link list, so the file is kept aside rather than appended to. With the
// channel's link list, `fault` is what would keep the reader from a record
// appended now: when the last line is not whole the rest of the file is
// read to be sure, since line ends carry no meaning to the reader; so it is
// on the first look after the series was loaded (readAll), because damage
// before the last line, which the start-up scan reports, would hide every
// record appended behind it just as a torn last record would. The file is
// read in pieces and never blocks (see OpenHistoryFile); for an Unusable
// one `error` says why.
Existing CheckExistingFile(const char* path, const ChannelRecord& c, int readAll, HistoryFault& fault,
                           int& error) {
    fault = HistoryFault::None;
    HistorySource source;
    const HistoryOpen opened = OpenHistorySource(path, source);
    if (opened == HistoryOpen::Missing) {
        return Existing::None;
    }
    if (opened != HistoryOpen::Read) {
        error = opened == HistoryOpen::Unreadable ? ENOMEM : source.Error;
        return Existing::Unusable;
    }
    HistoryReader reader;
    StartHistoryReader(reader, source);
    HistoryHeader header;
    HistoryRecordText record;
    if (!ReadHistoryHeader(reader, header)) {
        return reader.Fault == HistoryFault::Empty ? Existing::Blank : Existing::Changed;
    }
    if (!SameLinkList(header, c)) {
        const int more = ReadHistoryRecord(reader, header.LinkCount, record);
        return !more && reader.Fault == HistoryFault::None ? Existing::Blank : Existing::Changed;
    }
    if (readAll || !TailIsWhole(source.Fd, header.LinkCount)) {
        while (ReadHistoryRecord(reader, header.LinkCount, record)) {}
        fault = reader.Fault;
    }
    return fault == HistoryFault::None ? Existing::Same : Existing::Damaged;
}

// Writes all of `data` to the end of the open file fd (opened for
// appending). 0 written, else the system's reason.
int WriteWhole(int fd, const char* data, int size) {
    struct stat before {};
    const bool sized = fstat(fd, &before) == 0;
    // The room is taken before any byte is written, so that on a full disk
    // the append fails whole: neither a program reading the file nor a
    // crash before the take-back below meets a torn record. Where room
    // cannot be reserved (not supported) the write goes ahead as before.
    if (sized && fallocate(fd, FALLOC_FL_KEEP_SIZE, before.st_size, size) != 0 &&
        (errno == ENOSPC || errno == EDQUOT)) {
        return errno;
    }
    std::size_t done = 0;
    int error = WriteAll(fd, data, static_cast<std::size_t>(size), &done);
    // A write cut short (disk full, size limit) would leave a torn record
    // that hides every later one from the reader: take back what was
    // written of it, so the file stays as it was.
    if (error != 0 && done > 0 && sized && ftruncate(fd, before.st_size) != 0) {
        error = errno;
    }
    return error;
}

// Closes fd; a failed close fails a write that had succeeded. Keeps the
// reason of a write that had failed.
int CloseWritten(int fd, int error) {
    if (close(fd) != 0 && error == 0) {
        return errno;
    }
    return error;
}

// Writes all of `data` to the end of the existing `path`. 0 written, else
// the reason.
int AppendBytes(const char* path, const char* data, int size) {
    int error = 0;
    const int fd = OpenHistoryFile(path, O_WRONLY | O_APPEND, &error);
    if (fd < 0) {
        return error;
    }
    return CloseWritten(fd, WriteWhole(fd, data, size));
}

// A new file appears only complete (WriteFileAtomically), never over an
// existing file unless `replace` (a blank one). Its temporary is named
// after it (HistoryTempName), a name that is no history file's and that the
// start-up scan removes after a crash. 0 written, else the reason (EEXIST
// when the file appeared meanwhile).
int CreateBytes(const char* path, const char* data, int size, bool replace) {
    char temp[kHistoryPathSize + 8];
    if (!HistoryTempName(path, temp, sizeof temp)) {
        return ENAMETOOLONG;
    }
    AtomicWrite how;
    how.KeepExisting = !replace;
    how.TempName = temp;
    int error = 0;
    return WriteFileAtomically(path, data, static_cast<std::size_t>(size), how, &error) ? 0 : error;
}

// Header (for a new file) and record in one buffer, then one write. 0
// written, else the reason.
int WriteRecord(const char* path, const ChannelRecord& c, int failed, WriteMode mode) {
    char buffer[2 * kHistoryChunkMax];
    int length = 0;
    if (mode != WriteMode::Append) {
        length = FormatHistoryHeader(c, buffer, kHistoryChunkMax);
        if (length == 0) {
            return EIO;
        }
    }
    const int record = FormatHistoryRecord(c, failed, buffer + length, kHistoryChunkMax);
    if (record == 0) {
        return EIO;
    }
    if (mode == WriteMode::Append) {
        return AppendBytes(path, buffer, length + record);
    }
    return CreateBytes(path, buffer, length + record, mode == WriteMode::Replace);
}

}  // namespace

namespace {

// AppendHistoryRecord's work: 0 written, else the reason.
int AppendRecord(AppState& state, PlatformPort& port, int channel, int failed) {
    ChannelRecord& c = state.ChannelTable[channel];
    char path[kHistoryPathSize];
    if (!HistoryFileName(state, channel, path, sizeof path)) {
        return ENAMETOOLONG;
    }
    // Two rounds at most: the file may appear or vanish between the look at
    // its header and the append (another program); the second round sees
    // the new situation. A header is only ever written into a new file.
    int error = 0;
    for (int round = 0; round < 2; ++round) {
        HistoryFault fault;
        const Existing existing = CheckExistingFile(path, c, !state.FileCheckedWhole[channel], fault, error);
        if (existing == Existing::Unusable) {
            return error;  // the kind of file, or why it could not be read
        }
        state.FileCheckedWhole[channel] = 1;
        if (existing == Existing::Changed || existing == Existing::Damaged) {
            const bool damaged = existing == Existing::Damaged;
            char newPath[kHistoryPathSize];
            char notice[kNoticeSize];
            if (!RotateHistoryFile(path, newPath, sizeof newPath, &error)) {
                if (damaged) {
                    std::snprintf(notice, sizeof notice, kDamagedNoRenameText, path, HistoryFaultText(fault),
                                  RotationFailureText(error));
                } else {
                    std::snprintf(notice, sizeof notice, kLinksChangedNoRenameText, path,
                                  RotationFailureText(error));
                }
                port.tell(notice, kHistoryCaption, BoxIcon::Warning);
                return 0;
            }
            // This connect becomes the first record of the new series and
            // of the new file. Discarding the series clears ReplyLineCount,
            // but the link table still holds this connect's report.
            const int replyLines = c.ReplyLineCount;
            ResetHistory(state, channel);
            c.ReplyLineCount = replyLines;
            AddHistoryRecord(state, channel, 0, failed);
            state.NextRecordIndex[channel] = 1;
            error = WriteRecord(path, c, failed, WriteMode::Create);
            if (damaged) {
                std::snprintf(notice, sizeof notice, kDamagedText, path, HistoryFaultText(fault), newPath);
            } else {
                std::snprintf(notice, sizeof notice, kLinksChangedText, path, newPath);
            }
            port.tell(notice, kHistoryCaption, BoxIcon::Warning);
            return error;
        }
        const bool isNew = existing == Existing::None;
        const WriteMode mode = existing == Existing::Blank ? WriteMode::Replace
                               : isNew                     ? WriteMode::Create
                                                           : WriteMode::Append;
        error = WriteRecord(path, c, failed, mode);
        const bool raced = (isNew && error == EEXIST) || (!isNew && error == ENOENT);
        if (!raced) {
            return error;
        }
    }
    return error;
}

}  // namespace

int AppendHistoryRecord(AppState& state, PlatformPort& port, int channel, int failed, int* error) {
    const int failure = AppendRecord(state, port, channel, failed);
    if (failure != 0 && error) *error = failure;
    return failure == 0;
}

int NoteSaveResult(AppState& state, PlatformPort& port, int channel, int saved, int error) {
    int& episode = state.SaveError[channel];
    int& unsaved = state.UnsavedCalls[channel];
    char path[kHistoryPathSize];
    if (!HistoryFileName(state, channel, path, sizeof path)) {
        path[0] = '\0';
    }
    if (saved) {
        if (episode != 0) {
            LogLine(PortLog(port), "hopwatch: the history file %s is written again; %d calls were not saved",
                    path, unsaved);
        }
        episode = 0;
        unsaved = 0;
        return 0;
    }
    if (error == 0) {
        error = EIO;
    }
    ++unsaved;
    const int starts = episode == 0;
    if (starts) {
        LogLine(PortLog(port), "hopwatch: cannot save to the history file %s: %s", path,
                HistoryErrorText(error));
    } else if (error != episode) {
        LogLine(PortLog(port), "hopwatch: cannot save to the history file %s: %s (%d calls not saved so far)",
                path, HistoryErrorText(error), unsaved);
    }
    episode = error;
    return starts;
}

void SaveFailedText(const AppState& state, int channel, int error, char* out, int size) {
    const std::size_t n = static_cast<std::size_t>(size);
    if (error == EBUSY || error == ETXTBSY || error == EAGAIN) {
        std::snprintf(out, n, "%s", kSaveFailedText);
        return;
    }
    char path[kHistoryPathSize];
    if (!HistoryFileName(state, channel, path, sizeof path)) path[0] = '\0';
    const char* slash = std::strrchr(path, '/');
    std::snprintf(out, n, "Impossible to save data to %s: %s", slash ? slash + 1 : path,
                  HistoryErrorText(error ? error : EIO));
}

namespace {

// The marker counts back from the newest record: records added in front of
// it would carry it along unless it moves back by as many.
void HoldMarker(AppState& state, PlatformPort& port, int channel, int before) {
    ChannelRecord& c = state.ChannelTable[channel];
    const int added = c.RecordCount - before;
    if (added <= 0 || before <= 0 || !port.isButtonChecked(kHoldMarkerButtonId)) return;
    c.MarkerOffset = c.MarkerOffset + added < c.RecordCount - 1 ? c.MarkerOffset + added : c.RecordCount - 1;
}

}  // namespace

int RecordConnect(AppState& state, PlatformPort& port, int channel, int failed, int* error) {
    const int before = state.ChannelTable[channel].RecordCount;
    AddHistoryRecord(state, channel, state.NextRecordIndex[channel], failed);
    if (state.NextRecordIndex[channel] < kHistoryCapacity) {
        ++state.NextRecordIndex[channel];
    }
    HoldMarker(state, port, channel, before);
    return AppendHistoryRecord(state, port, channel, failed, error);
}
