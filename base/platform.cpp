#include "base/platform.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <wx/arrstr.h>
#include <wx/file.h>
#include <wx/filename.h>
#include <wx/strconv.h>

#ifdef __WINDOWS__
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

wxString SwitchChars()
{
#ifdef __WINDOWS__
    return wxS("-/");
#else
    return wxS("-");
#endif
}

namespace {

wxMBConv& ByteExactConverter()
{
#ifdef __WINDOWS__
    return *wxConvFileName;
#else
    static wxMBConvUTF8 converter(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA);
    return converter;
#endif
}

}  // namespace

void UseByteExactFileNames()
{
#ifndef __WINDOWS__
    wxConvFileName = &ByteExactConverter();
#endif
}

wxArrayString WideArguments(int argc, char** argv)
{
    wxArrayString arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.Add(wxString(argv[i], ByteExactConverter()));
    }
    return arguments;
}

#ifdef __WINDOWS__

bool IsSameFile(const wxString& first, const wxString& second)
{
    auto open = [](const wxString& name) {
        return CreateFileW(name.wc_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    };
    HANDLE a = open(first);
    HANDLE b = open(second);
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    bool same = a != INVALID_HANDLE_VALUE && b != INVALID_HANDLE_VALUE &&
                GetFileInformationByHandle(a, &ia) && GetFileInformationByHandle(b, &ib) &&
                ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
                ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
    if (a != INVALID_HANDLE_VALUE) CloseHandle(a);
    if (b != INVALID_HANDLE_VALUE) CloseHandle(b);
    return same;
}

namespace {

std::filesystem::path PathOf(const wxString& name)
{
    return std::filesystem::path(name.ToStdWstring());
}

}  // namespace

int OpenForWriting(const wxString& name, bool& created)
{
    const int flags = _O_WRONLY | _O_CREAT | _O_BINARY;
    int fd = _wopen(name.wc_str(), flags | _O_EXCL, _S_IREAD | _S_IWRITE);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) {
        fd = _wopen(name.wc_str(), flags, _S_IREAD | _S_IWRITE);
    }
    return fd;
}

bool EmptyRegularFile(wxFile& file)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.fd()));
    return GetFileType(handle) != FILE_TYPE_DISK || _chsize_s(file.fd(), 0) == 0;
}

DiskFlushResult FlushToDisk(wxFile& file)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.fd()));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return DiskFlushResult::NotSupported;
    }
    return FlushFileBuffers(handle) ? DiskFlushResult::Flushed : DiskFlushResult::Failed;
}

DiskFlushResult StartWriteBack(wxFile& file, long long, long long)
{
    return FlushToDisk(file);
}

DiskFlushResult FinishWriteBack(wxFile&, long long, long long)
{
    return DiskFlushResult::NotSupported;
}

void ReleaseFlushedPages(wxFile&, long long, long long) {}

int OpenUnnamedFile(const wxString&)
{
    return -1;
}

int OpenUnlinkedFile(const wxString&)
{
    return -1;
}

// The offset goes with the call; on a handle opened for plain reads the
// system still moves the handle's own position, which nothing here uses.
long long ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(handle, buffer, static_cast<DWORD>(size), &got, &at)) {
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    }
    return got;
}

long long WriteSome(int fd, const void* bytes, std::size_t size)
{
    return _write(fd, bytes, static_cast<unsigned>(size));
}

int DuplicateStandardOutput()
{
    return _dup(1);
}

bool IsBlockDevice(const wxString&)
{
    return false;  // devices are named as \\.\PhysicalDrive0 there, and not read yet
}

FileKind KindOfFile(const wxString& name)
{
    if (wxDirExists(name)) {
        return FileKind::kDirectory;
    }
    return wxFileExists(name) ? FileKind::kRegular : FileKind::kMissing;
}

#else

int DuplicateStandardOutput()
{
    return fcntl(1, F_DUPFD_CLOEXEC, 0);
}

FileKind KindOfFile(const wxString& name)
{
    struct stat status {};
    if (stat(name.fn_str(), &status) != 0) {
        return FileKind::kMissing;
    }
    if (S_ISREG(status.st_mode)) {
        return FileKind::kRegular;
    }
    if (S_ISDIR(status.st_mode)) {
        return FileKind::kDirectory;
    }
    if (S_ISFIFO(status.st_mode)) {
        return FileKind::kFifo;
    }
    return S_ISBLK(status.st_mode) ? FileKind::kBlockDevice : FileKind::kOther;
}

bool IsBlockDevice(const wxString& name)
{
    return KindOfFile(name) == FileKind::kBlockDevice;
}

bool IsSameFile(const wxString& first, const wxString& second)
{
    struct stat a {};
    struct stat b {};
    if (stat(first.fn_str(), &a) != 0 || stat(second.fn_str(), &b) != 0) {
        return false;
    }
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

namespace {

std::filesystem::path PathOf(const wxString& name)
{
    return std::filesystem::path(std::string(name.fn_str()));
}

}  // namespace

// O_EXCL first, to know whether the file is new; a name taken (by a file, or
// by a link that leads nowhere yet) is opened as it is.
int OpenForWriting(const wxString& name, bool& created)
{
    const std::string path(name.fn_str());
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    int fd = open(path.c_str(), flags | O_EXCL, 0666);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) {
        fd = open(path.c_str(), flags, 0666);
    }
    return fd;
}

bool EmptyRegularFile(wxFile& file)
{
    struct stat status {};
    if (fstat(file.fd(), &status) != 0) {
        return false;
    }
    return !S_ISREG(status.st_mode) || ftruncate(file.fd(), 0) == 0;
}

DiskFlushResult FlushToDisk(wxFile& file)
{
    if (fsync(file.fd()) == 0) {
        return DiskFlushResult::Flushed;
    }
    // Pipes, terminals and character devices cannot be forced to a disk.
    if (errno == EINVAL || errno == EROFS || errno == ENOTSUP) {
        return DiskFlushResult::NotSupported;
    }
    return DiskFlushResult::Failed;
}

namespace {

DiskFlushResult WriteBackRange(wxFile& file, long long begin, long long end, unsigned int flags)
{
    if (begin < 0 || end <= begin) {
        return DiskFlushResult::Flushed;
    }
    if (sync_file_range(file.fd(), static_cast<off64_t>(begin), static_cast<off64_t>(end - begin), flags) == 0) {
        return DiskFlushResult::Flushed;
    }
    // Pipes and character devices have no pages to write.
    if (errno == ESPIPE || errno == EINVAL || errno == ENOTSUP) {
        return DiskFlushResult::NotSupported;
    }
    return DiskFlushResult::Failed;
}

}  // namespace

DiskFlushResult StartWriteBack(wxFile& file, long long begin, long long end)
{
    return WriteBackRange(file, begin, end, SYNC_FILE_RANGE_WRITE);
}

DiskFlushResult FinishWriteBack(wxFile& file, long long begin, long long end)
{
    return WriteBackRange(file, begin, end,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
}

void ReleaseFlushedPages(wxFile& file, long long begin, long long end)
{
    if (begin >= 0 && end > begin) {
        posix_fadvise(file.fd(), static_cast<off_t>(begin), static_cast<off_t>(end - begin),
                      POSIX_FADV_DONTNEED);
    }
}

int OpenUnnamedFile(const wxString& folder)
{
    const int fd = open(folder.fn_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    return fd >= 0 ? fd : OpenUnlinkedFile(folder);
}

// A file that kept its name would be left behind, so one whose name cannot
// be removed is not used.
int OpenUnlinkedFile(const wxString& folder)
{
    std::string name(wxFileName(folder, wxS(".varneth-XXXXXX")).GetFullPath().fn_str());
    const int fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    if (unlink(name.c_str()) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

long long WriteSome(int fd, const void* bytes, std::size_t size)
{
    return write(fd, bytes, size);
}

long long ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset)
{
    return pread(fd, buffer, size, static_cast<off_t>(offset));
}

#endif

namespace {

// Where writing to the name puts the bytes: the absolute path with every
// symbolic link followed, up to as many as the system follows, a dangling
// one included; empty when that cannot be told (a loop, a folder that
// cannot be read).
std::filesystem::path Destination(const wxString& name)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path path = fs::absolute(PathOf(name), error);
    for (int links = 0; links <= 40 && !error; ++links) {
        path = fs::weakly_canonical(path, error);
        // Not found is no error here: that is the file writing would create.
        std::error_code not_followed;
        if (error || !fs::is_symlink(fs::symlink_status(path, not_followed))) {
            return error ? fs::path() : path;
        }
        // Only a link that leads nowhere is left: canonical follows the others.
        // An absolute target replaces the folder.
        path = path.parent_path() / fs::read_symlink(path, error);
    }
    return fs::path();
}

}  // namespace

bool IsSameDestination(const wxString& first, const wxString& second)
{
    if (IsSameFile(first, second)) {
        return true;
    }
    const std::filesystem::path destination = Destination(first);
    return !destination.empty() && destination == Destination(second);
}

}  // namespace platform
