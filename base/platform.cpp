#include "base/platform.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <wx/arrstr.h>
#include <wx/file.h>
#include <wx/filename.h>
#include <wx/strconv.h>

#ifdef __WINDOWS__
#include <io.h>
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

DiskFlushResult FlushToDisk(wxFile& file)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.fd()));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return DiskFlushResult::NotSupported;
    }
    return FlushFileBuffers(handle) ? DiskFlushResult::Flushed : DiskFlushResult::Failed;
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

bool IsBlockDevice(const wxString&)
{
    return false;  // devices are named as \\.\PhysicalDrive0 there, and not read yet
}

#else

bool IsBlockDevice(const wxString& name)
{
    struct stat status {};
    return stat(name.fn_str(), &status) == 0 && S_ISBLK(status.st_mode);
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

long long ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset)
{
    return pread(fd, buffer, size, static_cast<off_t>(offset));
}

#endif

}  // namespace platform
