#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// File operations on the data file. Saving never truncates the file in place when it can help it:
// the new content goes to a temporary file beside it, is flushed to disk and renamed over the old
// one, so a failure or a crash half-way leaves the previous file whole. Only where that would
// change the file behind the user's back (it belongs to someone else) or cannot work (no new file
// can be made in its folder) is the file written in place.
namespace data_file {

// The largest data file the program reads: far beyond any real one, and small enough to hold.
constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 30;

struct Error
{
    Error() = default;
    explicit Error(int errorCode) : code(errorCode) {}

    // errno, or one of the program's own reasons below.
    int code = 0;
    static constexpr int kNotRegularFile = -1;
    static constexpr int kTooLarge = -2;
    std::string Describe() const; // Polish, Windows-1250
    // A failed save: whether the file still holds exactly its previous bytes (checked by reading
    // them back after an in-place save had to undo itself), and where the old bytes are kept when
    // it does not.
    bool oldIntact = true;
    std::string recoveryCopy;
};

// Reads a whole regular file of at most kMaxFileSize bytes. Anything else (a directory, a FIFO, a
// device) is refused without waiting on it.
std::optional<std::vector<std::uint8_t>> ReadAll(const std::string& path, Error& error);
// Opens such a file for reading a piece at a time: its descriptor (the caller closes it) and size.
std::optional<int> OpenForReading(const std::string& path, std::uint64_t& size, Error& error);

// Saves the bytes at path. A symbolic link is followed and left as it is; an existing file keeps
// its permissions, a new one is the user's only. A file with more than one name (hard links) is
// written in place, so that its names stay one file. Self-contained: it may run on any thread.
//
// In place, the old bytes are first kept in a recovery copy in the user's cache folder and the new
// size is reserved on the disk; a write that fails puts the old bytes back and checks them, so the
// error tells truly whether the file is whole.
bool WriteAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, Error& error);
// The same for a file given as stretches of memory written one after another, so that no copy of
// the whole file need be put together first.
struct Chunk
{
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};
bool WriteChunksAtomically(const std::string& path, const std::vector<Chunk>& chunks, Error& error);
// The same for bytes made as they are written: produce hands them to its writer in order (each
// stretch need live only during the call) and says whether it could make them all. size: about
// how many there will be.
using Writer = std::function<bool(const std::uint8_t*, std::size_t)>;
using Producer = std::function<bool(const Writer&)>;
bool WriteProducedAtomically(const std::string& path, std::size_t size, const Producer& produce,
                             Error& error);

// Removes the temporary files that saves cut short by a crash or a kill left beside the data
// file. Only the holder of the writer's lock may call it: no other save can be under way.
// Returns how many were removed.
int RemoveLeftoverTemporaries(const std::string& path);

// The recovery copy an in-place save of path left behind when it was cut short (a kill, a power
// cut, a restore that failed): its path, or nothing when there is none or the file holds what the
// cut save was writing (it had finished) or what the copy holds.
std::optional<std::string> FindRecoveryCopy(const std::string& path);
// Writes the recovery copy's bytes back into path (in place, with the same safety) and removes it.
bool RestoreRecoveryCopy(const std::string& path, Error& error);
// Removes the recovery copy of path (the user chose to keep the file as it is).
void DiscardRecoveryCopy(const std::string& path);
// The folder of the recovery copies: $XDG_CACHE_HOME/brivantel (or ~/.cache/brivantel; where the
// user has no such folder, /var/tmp/brivantel-UID). Empty when none can be had.
std::string RecoveryDirectory();

// Where a save of path really writes: the final target of its symbolic links (which need not exist).
std::string ResolveLinks(const std::string& path);

// Keeps a copy of a damaged file's original bytes beside it, never overwriting an earlier copy.
// Returns the copy's path.
std::optional<std::string> KeepDamagedCopy(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                           Error& error);

// Missing: no such file. ReadOnly: the user's own file without the owner's write permission (the
// read-only attribute, which the user may clear). NotWritable: a file the user cannot write and
// cannot make writable. NotRegular: a directory, FIFO, device or socket.
enum class State
{
    Missing,
    ReadOnly,
    NotWritable,
    Writable,
    NotRegular,
    Unknown
};
State Inspect(const std::string& path);

enum class Preparation
{
    Writable,     // the file exists (maybe created just now, empty) and the user can write it
    ReadOnly,     // the file can be read but not written; error says why
    CreateFailed, // there was no file and none could be created
    Failed        // the file cannot be used at all (not a regular file, cannot be inspected)
};
// Creates an empty file (user-only permissions) when none exists; clears the read-only
// permission of the user's own file, as the program always did. Never changes a file the user
// does not own.
Preparation Prepare(const std::string& path, Error& error);

} // namespace data_file
