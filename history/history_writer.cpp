// The history writer: one record appended per recorded connect, the file
// moved to a free numbered name when the link list changes or, on request,
// when it has grown large, and the count of records at start-up.
//
// A file is opened for one operation and closed at its end, so other
// programs may read it between connects. A record (and, for a new file, the
// header in front of it) is formatted into one buffer and handed to the
// system with one write on a descriptor opened for appending.
#include "history/history_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/link_column.h"
#include "history/history_file.h"
#include "history/history_series.h"
#include "core/platform_port.h"
#include "core/program_names.h"

namespace {

constexpr const char* kLinksChangedText =
    "The number or the name of links of the digipeater has changed.\n"
    "The file %s has been renamed by Hopwatch to %s .\nHopwatch will then open a new file!";
constexpr const char* kSizePromptText =
    "Congratulations!\n\nWe have enjoyed your intensive use of Hopwatch V%s.\n"
    "Therefore the following data set becomes now very big:\n\nChannel %d,  File: %s\n\n"
    "Further use of that same file will reduce the performance of the system.\n\n"
    "Rename file now?  (RECOMMENDED STRONGLY)\n\nPlease confirm this with OK.\n\n"
    "Hopwatch will then open a new file during the next connect!";
constexpr const char* kRenamedText = "The file has been renamed to %s !";
constexpr const char* kLinksChangedNoRenameText =
    "The number or the name of links of the digipeater has changed,\n"
    "but the file %s could not be renamed: %s.\n"
    "This connect has not been saved to the file.";
constexpr const char* kNoRenameText = "The file %s could not be renamed: %s.";
constexpr const char* kDamagedText =
    "The file %s cannot be read to its end (%s).\n"
    "It has been renamed by Hopwatch to %s .\nHopwatch will then open a new file!";
constexpr const char* kDamagedNoRenameText =
    "The file %s cannot be read to its end (%s),\n"
    "but it could not be renamed: %s.\nThis connect has not been saved to the file.";
constexpr long kTailWindow = 8192;  // bytes read back to check the last record
constexpr int kNoticeSize = 3 * kHistoryPathSize + 1024;
constexpr int kStreamTokenLimit = 64;  // longer tokens are not read further

bool IsBlankByte(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads the next whitespace-separated token of a stream into `out` (cut to
// outSize - 1) and returns its length, at most kStreamTokenLimit; -1 at the
// end of the file.
int ReadStreamToken(std::FILE* file, char* out, int outSize) {
    int c;
    do {
        c = std::getc(file);
    } while (IsBlankByte(c));
    if (c == EOF) {
        return -1;
    }
    int length = 0;
    while (c != EOF && !IsBlankByte(c)) {
        if (length < outSize - 1) {
            out[length] = static_cast<char>(c);
        }
        if (++length >= kStreamTokenLimit) {
            break;
        }
        c = std::getc(file);
    }
    out[length < outSize - 1 ? length : outSize - 1] = '\0';
    return length;
}

// Why a rotation failed, for the user.
const char* RotationFailureText(int error) {
    if (error == EEXIST) {
        return "all numbered names from 0 to 999 are taken";
    }
    return std::strerror(error);
}

// rename() that never replaces an existing target: 0 on success, else -1
// with errno (EEXIST when the target exists).
int MoveNoReplace(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    // File systems without RENAME_NOREPLACE: a hard link fails as well when
    // the target exists.
    if (link(from, to) != 0) {
        return -1;
    }
    if (unlink(from) != 0) {
        const int error = errno;
        unlink(to);
        errno = error;
        return -1;
    }
    return 0;
}

// What the read-open of the existing file found.
enum class Existing { None, Same, Changed, Damaged };

// Does the file end in a whole record? Looks at the last line only (the
// writer starts every record on a line of its own); when that line does not
// read as whole records, the whole file is read to be sure, since line ends
// carry no meaning to the reader. A torn record, left by a crash during an
// append, would otherwise hide every later record from the reader.
// Returns the fault, or HistoryFault::None.
HistoryFault TailFault(std::FILE* f, const char* path, int links) {
    if (std::fseek(f, 0, SEEK_END) != 0) {
        return HistoryFault::None;
    }
    const long size = std::ftell(f);
    const long from = size > kTailWindow ? size - kTailWindow : 0;
    if (size <= 0 || std::fseek(f, from, SEEK_SET) != 0) {
        return HistoryFault::None;
    }
    char tail[kTailWindow];
    const std::size_t n = std::fread(tail, 1, static_cast<std::size_t>(size - from), f);
    std::size_t e = n;
    while (e > 0 && IsBlankByte(tail[e - 1])) {
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
        while (ReadHistoryRecord(reader, links, record)) {
        }
        if (reader.Fault == HistoryFault::None && reader.Records > 0) {
            return HistoryFault::None;
        }
    } else if (from == 0) {
        return HistoryFault::None;  // the header line alone: no record yet
    }
    HistoryBytes bytes;
    if (ReadHistoryBytes(path, bytes) != HistoryOpen::Read) {
        return HistoryFault::Unreadable;
    }
    HistoryReader whole;
    StartHistoryReader(whole, bytes.Data, bytes.Size);
    CountHistoryRecords(whole);
    return whole.Fault;
}

Existing CheckExistingFile(const char* path, const ChannelRecord& c, HistoryFault& fault) {
    fault = HistoryFault::None;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return Existing::None;
    }
    char token[kStreamTokenLimit + 1];
    const int length = ReadStreamToken(f, token, sizeof token);
    int stored = -1;
    if (length > 0 && length <= kMaxTokenLength) {
        // Only a count the reader would accept (an integer 0..18) counts as
        // readable; anything else is a changed link list, so the damaged
        // file is kept aside rather than appended to.
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(token, &end, 10);
        if (*end == '\0' && errno == 0 && value >= 0 && value <= kMaxStoredLinks) {
            stored = static_cast<int>(value);
        }
    }
    Existing result = Existing::Changed;
    if (stored >= 0 && stored == StoredLinkCount(c) && CountChangedLinkNames(f, c) == 0) {
        fault = TailFault(f, path, stored);
        result = fault == HistoryFault::None ? Existing::Same : Existing::Damaged;
    }
    std::fclose(f);
    return result;
}

// Writes all of `data` to the end of `path`; `create` makes a new file and
// fails when one exists. 1 written, 0 failed; errno says why.
int AppendBytes(const char* path, const char* data, int size, bool create) {
    const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    const int fd = open(path, flags, 0666);
    if (fd < 0) {
        return 0;
    }
    struct stat before {};
    const bool sized = fstat(fd, &before) == 0;
    int ok = 1;
    int error = 0;
    std::size_t done = 0;
    const std::size_t total = static_cast<std::size_t>(size);
    while (done < total) {
        const ssize_t n = write(fd, data + done, total - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = 0;
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    // A write cut short (disk full, size limit) would leave a torn record
    // that hides every later one from the reader: take back what was
    // written of it, so the file stays as it was.
    if (!ok && done > 0 && sized) {
        if (ftruncate(fd, before.st_size) != 0) {
            error = errno;
        }
    }
    if (close(fd) != 0 && ok) {
        ok = 0;
        error = errno;
    }
    if (!ok) {
        if (create && done > 0 && sized && before.st_size == 0) {
            unlink(path);  // nothing of the new file is usable
        }
        errno = error;
    }
    return ok;
}

// Header (for a new file) and record in one buffer, then one write.
int WriteRecord(const char* path, const ChannelRecord& c, int failed, bool isNew) {
    char buffer[2 * kHistoryChunkMax];
    int length = 0;
    if (isNew) {
        length = FormatHistoryHeader(c, buffer, kHistoryChunkMax);
        if (length == 0) {
            return 0;
        }
    }
    const int record = FormatHistoryRecord(c, failed, buffer + length, kHistoryChunkMax);
    if (record == 0) {
        return 0;
    }
    return AppendBytes(path, buffer, length + record, isNew);
}

}  // namespace

int CountChangedLinkNames(std::FILE* file, const ChannelRecord& channel) {
    const int links = StoredLinkCount(channel);
    int changed = 0;
    for (int r = 1; r <= links; ++r) {
        char name[kStreamTokenLimit + 1];
        char ident[kStreamTokenLimit + 1];
        const int nameLength = ReadStreamToken(file, name, sizeof name);
        const int identLength = nameLength < 0 ? -1 : ReadStreamToken(file, ident, sizeof ident);
        if (nameLength < 0 || identLength < 0) {
            return changed + (links - r + 1);  // the header ends early
        }
        char expected[kCellSize];
        CellToken(channel.LinkTable[kColName][r], expected);
        if (nameLength > kMaxTokenLength || std::strcmp(name, expected) != 0) {
            ++changed;
        }
    }
    return changed;
}

int RotateHistoryFile(const char* path, char* newPath, int newPathSize) {
    const std::size_t length = std::strlen(path);
    if (length == 0) {
        errno = EINVAL;
        return 0;
    }
    for (int k = 0; k < kRotationAttemptLimit; ++k) {
        const int n = std::snprintf(newPath, static_cast<std::size_t>(newPathSize), "%.*s%d",
                                    static_cast<int>(length - 1), path, k);
        if (n < 0 || n >= newPathSize) {
            errno = ENAMETOOLONG;
            return 0;
        }
        if (MoveNoReplace(path, newPath) == 0) {
            return 1;
        }
        if (errno != EEXIST) {
            return 0;
        }
    }
    errno = EEXIST;
    return 0;
}

int AppendHistoryRecord(AppState& state, PlatformPort& port, int channel, int cycleState) {
    ChannelRecord& c = state.ChannelTable[channel];
    char path[kHistoryPathSize];
    if (!HistoryFileName(state, channel, path, sizeof path)) {
        return 0;
    }
    const int failed = cycleState == 7;
    // Two rounds at most: the file may appear or vanish between the look at
    // its header and the append (another program); the second round sees
    // the new situation. A header is only ever written into a new file.
    for (int round = 0; round < 2; ++round) {
        HistoryFault fault;
        const Existing existing = CheckExistingFile(path, c, fault);
        if (existing == Existing::Changed || existing == Existing::Damaged) {
            const bool damaged = existing == Existing::Damaged;
            char newPath[kHistoryPathSize];
            char notice[kNoticeSize];
            if (!RotateHistoryFile(path, newPath, sizeof newPath)) {
                if (damaged) {
                    std::snprintf(notice, sizeof notice, kDamagedNoRenameText, path,
                                  HistoryFaultText(fault), RotationFailureText(errno));
                } else {
                    std::snprintf(notice, sizeof notice, kLinksChangedNoRenameText, path,
                                  RotationFailureText(errno));
                }
                port.tell(notice, kHistoryCaption, BoxIcon::Warning);
                return 1;
            }
            // This connect becomes the first record of the new series and
            // of the new file. Discarding the series clears ReplyLineCount,
            // but the link table still holds this connect's report.
            const int replyLines = c.ReplyLineCount;
            ResetHistory(state, channel);
            c.ReplyLineCount = replyLines;
            AddHistoryRecord(state, channel, 0);
            state.NextRecordIndex[channel] = 1;
            const int written = WriteRecord(path, c, failed, true);
            if (damaged) {
                std::snprintf(notice, sizeof notice, kDamagedText, path, HistoryFaultText(fault),
                              newPath);
            } else {
                std::snprintf(notice, sizeof notice, kLinksChangedText, path, newPath);
            }
            port.tell(notice, kHistoryCaption, BoxIcon::Warning);
            return written;
        }
        const bool isNew = existing == Existing::None;
        if (WriteRecord(path, c, failed, isNew)) {
            return 1;
        }
        const bool raced = (isNew && errno == EEXIST) || (!isNew && errno == ENOENT);
        if (!raced) {
            return 0;
        }
    }
    return 0;
}

int RecordConnect(AppState& state, PlatformPort& port, int channel) {
    ChannelRecord& c = state.ChannelTable[channel];
    AddHistoryRecord(state, channel, state.NextRecordIndex[channel]);
    if (state.NextRecordIndex[channel] < kHistoryCapacity) {
        ++state.NextRecordIndex[channel];
    }
    return AppendHistoryRecord(state, port, channel, c.CycleState);
}

int OfferFileRotation(AppState& state, PlatformPort& port, const char* path, int recordCount,
                      int channel) {
    (void)state;
    if (recordCount <= kRotationPromptThreshold) {
        return 0;
    }
    char text[kNoticeSize];
    std::snprintf(text, sizeof text, kSizePromptText, kProgramVersion, channel + 1, path);
    if (port.ask(text, kHistoryCaption, BoxIcon::Warning, BoxButtons::OkCancel) != BoxAnswer::Ok) {
        return 0;
    }
    char newPath[kHistoryPathSize];
    if (!RotateHistoryFile(path, newPath, sizeof newPath)) {
        std::snprintf(text, sizeof text, kNoRenameText, path, RotationFailureText(errno));
        port.tell(text, kHistoryCaption, BoxIcon::Warning);
        return 0;
    }
    std::snprintf(text, sizeof text, kRenamedText, newPath);
    port.tell(text, kHistoryCaption, BoxIcon::Warning);
    return 1;
}

int ScanHistoryFile(AppState& state, PlatformPort& port, int channel) {
    char path[kHistoryPathSize];
    if (!HistoryFileName(state, channel, path, sizeof path)) {
        return 0;
    }
    HistoryBytes bytes;
    const HistoryOpen opened = ReadHistoryBytes(path, bytes);
    if (opened == HistoryOpen::Missing) {
        return 0;
    }
    HistoryReader reader;
    StartHistoryReader(reader, bytes.Data, bytes.Size);
    long long count = 0;
    if (opened == HistoryOpen::Unreadable) {
        reader.Fault = HistoryFault::Unreadable;
    } else {
        count = CountHistoryRecords(reader);
    }
    if (reader.Fault != HistoryFault::None) {
        char notice[kNoticeSize];
        FormatHistoryFaultNotice(path, reader, notice, sizeof notice);
        port.tell(notice, kHistoryCaption, BoxIcon::Warning);
    }
    OfferFileRotation(state, port, path, static_cast<int>(count < INT_MAX ? count : INT_MAX),
                      channel);
    return 1;
}
