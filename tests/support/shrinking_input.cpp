#include "support/shrinking_input.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "support/record_builder.h"

namespace varneth_test {

namespace {

constexpr std::uint64_t kRootRecno = 5;
constexpr std::uint64_t kFirstFolderRecno = 16;

Bytes NamedRecord(std::size_t name_length, char16_t letter, std::uint64_t parent, bool folder)
{
    RecordBuilder record;
    record.Directory(folder).StandardInformation(Times::All(kSomeFiletime));
    record.FileName(std::u16string(name_length, letter), kWin32AndDos, parent);
    if (!folder) {
        record.ResidentData(10);
    }
    return record.Build();
}

}  // namespace

void WriteNamedRecords(const std::string& path, std::size_t count, const NamedRecordsLayout& layout)
{
    const Bytes root = NamedRecord(1, u'.', kRootRecno, true);
    const std::uint64_t last_folder = kFirstFolderRecno + layout.folder_depth - 1;
    const Bytes file = NamedRecord(layout.name_length, u'n', layout.folder_depth > 0 ? last_folder : kRootRecno,
                                   false);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::size_t recno = 0; recno < count; ++recno) {
        const bool folder = recno >= kFirstFolderRecno && recno <= last_folder;
        const std::uint64_t parent = recno == kFirstFolderRecno ? kRootRecno : recno - 1;
        const Bytes record = recno == kRootRecno ? root : folder ? NamedRecord(250, u'd', parent, true) : file;
        out.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    }
}

std::string ReadFifoAndShrinkInput(const std::string& fifo, const std::string& input, std::size_t keep_records)
{
    const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    std::string text;
    bool shrunk = false;
    char buffer[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (fd >= 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        poll(&ready, 1, 100);
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            if (!shrunk) {
                shrunk = truncate(input.c_str(), static_cast<off_t>(keep_records * kRecordSize)) == 0;
            }
            text.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 && shrunk) {
            break;  // the tool closed the FIFO
        }
    }
    if (fd >= 0) {
        close(fd);
    }
    return text;
}

}  // namespace varneth_test
