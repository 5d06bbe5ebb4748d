#ifndef VARNETH_BASE_PLATFORM_H
#define VARNETH_BASE_PLATFORM_H

// Every difference between the platforms the tool runs on lives here.

#include <cstddef>
#include <cstdint>

#include <wx/string.h>

class wxFile;
class wxArrayString;

namespace platform {

// Characters that introduce a switch on the command line. "/" is one on
// Windows only: elsewhere it begins every absolute path.
wxString SwitchChars();

// Makes the names of files (command line arguments, file system calls) round
// trip as bytes, whatever the locale: UTF-8, with undecodable bytes kept.
void UseByteExactFileNames();

// Converts the narrow argument vector to wide strings the same way.
wxArrayString WideArguments(int argc, char** argv);

// True when both names lead to one and the same existing file (same device
// and inode; symbolic and hard links included).
bool IsSameFile(const wxString& first, const wxString& second);

// True when writing to both names would write one file: the same existing
// file, or the same path once every symbolic link on the way is followed, a
// dangling one to the file that writing through it would create.
bool IsSameDestination(const wxString& first, const wxString& second);

// Opens the file for writing without emptying it, creating it when it is
// missing; -1 with the system's error code in errno. created tells whether
// this call made the file.
int OpenForWriting(const wxString& name, bool& created);

// Empties the open file when it is a regular file (a device or a pipe has
// nothing to empty); false when that fails.
bool EmptyRegularFile(wxFile& file);

// What a name leads to, symbolic links followed.
enum class FileKind { kMissing, kRegular, kDirectory, kFifo, kBlockDevice, kOther };
FileKind KindOfFile(const wxString& name);

// True when the name leads to a block device (a disk, a partition): an input
// as a disk image is, though no regular file.
bool IsBlockDevice(const wxString& name);

// A new descriptor on the process's standard output, -1 when none can be made.
int DuplicateStandardOutput();

enum class DiskFlushResult { Flushed, NotSupported, Failed };

// Forces the file's written data to the disk. Files that cannot be forced
// (a pipe, /dev/null) report NotSupported, which is not an error.
DiskFlushResult FlushToDisk(wxFile& file);

// Starts writing the bytes from `begin` to `end` to the disk and returns
// without waiting for them; FinishWriteBack waits until bytes so started
// are there. The disk then works while the run goes on. Where there is no
// such call, StartWriteBack forces the data to the disk and FinishWriteBack
// does nothing (NotSupported).
DiskFlushResult StartWriteBack(wxFile& file, long long begin, long long end);
DiskFlushResult FinishWriteBack(wxFile& file, long long begin, long long end);

// Tells the system that the bytes from `begin` to `end`, already forced to
// the disk, will not be read again, so their cached pages can be reused at once. A
// report of a million rows would otherwise fill the cache with a gigabyte
// of pages that nobody reads, each one new memory for the system to find.
// Only a hint: nothing is reported.
void ReleaseFlushedPages(wxFile& file, long long begin, long long end);

// Writes up to size bytes at the descriptor's position in one call, logging
// nothing; the count written, or -1 with the system's error code set.
long long WriteSome(int fd, const void* bytes, std::size_t size);

// Reads up to size bytes at offset from the open descriptor in one call,
// without using or moving its file position, so that readers of one file
// never disturb each other. The count read (0 at the end), or -1 with the
// system's error code set.
long long ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset);

// Opens a new file without a name in the folder, for reading and writing: it
// vanishes when closed, whatever happens to the process. Where the folder's
// file system makes no such files, the file of OpenUnlinkedFile. -1 when
// neither can be made there.
int OpenUnnamedFile(const wxString& folder);

// Makes a new file with a name of its own in the folder and removes the name
// at once, so that it too vanishes when closed; -1 when it cannot be made or
// its name cannot be removed.
int OpenUnlinkedFile(const wxString& folder);

}  // namespace platform

#endif
