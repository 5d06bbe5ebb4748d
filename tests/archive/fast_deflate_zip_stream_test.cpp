// The zip stream whose entries are deflated in pieces on worker threads: what
// it writes must read back whole through wx's own zip reader (zlib's inflate,
// and the checksum checked at the entry's end), whatever the sizes of the writes and however the pieces
// fall, and a failing stream below must show as a failed close.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/zipstrm.h>

#include "archive/fast_deflate_zip_stream.h"

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Collects what is written; cannot seek, so the zip stream must put the
// checksum and sizes after the data. With a limit it fails once that many
// bytes have been taken.
class SinkStream : public wxOutputStream {
public:
    explicit SinkStream(std::size_t limit = std::string::npos) : limit_(limit) {}
    const std::string& bytes() const { return bytes_; }

protected:
    size_t OnSysWrite(const void* buffer, size_t size) override
    {
        if (bytes_.size() + size > limit_) {
            m_lasterror = wxSTREAM_WRITE_ERROR;
            return 0;
        }
        bytes_.append(static_cast<const char*>(buffer), size);
        return size;
    }
    wxFileOffset OnSysTell() const override { return static_cast<wxFileOffset>(bytes_.size()); }

private:
    std::string bytes_;
    std::size_t limit_;
};

// Report-like lines, or bytes that do not compress at all.
std::string MakeContent(std::size_t size, bool random_bytes)
{
    std::mt19937 generator(static_cast<unsigned>(size));
    std::string content;
    while (content.size() < size) {
        if (random_bytes) {
            content.push_back(static_cast<char>(generator()));
        } else {
            content += std::to_string(generator() % 100000) + "\t0\tfile" + std::to_string(generator() % 977) +
                       ".txt\t2019-04-17 18:40:00\t\\Users\\examiner\\Documents\n";
        }
    }
    content.resize(size);
    return content;
}

// Writes content as the entry "r.txt" in writes of write_size bytes; returns
// whether every write and the close succeeded.
bool WriteEntry(wxOutputStream& out, const std::string& content, std::size_t write_size)
{
    FastDeflateZipStream zip(out);
    bool written = zip.PutNextEntry(wxS("r.txt"));
    for (std::size_t at = 0; at < content.size(); at += write_size) {
        const std::size_t size = std::min(write_size, content.size() - at);
        written = zip.Write(content.data() + at, size).LastWrite() == size && written;
    }
    return zip.Close() && written;
}

struct ReadBack {
    std::string name = "<no entry>";
    int method = -1;
    std::string content;
    bool whole = false;  // read to its end; wx checks the checksum there
    bool only = false;   // no second entry
};

ReadBack ReadEntry(const std::string& archive)
{
    wxMemoryInputStream memory(archive.data(), archive.size());
    wxZipInputStream zip(memory);
    ReadBack back;
    const std::unique_ptr<wxZipEntry> entry(zip.GetNextEntry());
    if (!entry) {
        return back;
    }
    back.name = entry->GetName().ToStdString();
    back.method = entry->GetMethod();
    char block[65536];
    while (zip.Read(block, sizeof block).LastRead() > 0) {
        back.content.append(block, zip.LastRead());
    }
    back.whole = zip.Eof();
    back.only = std::unique_ptr<wxZipEntry>(zip.GetNextEntry()) == nullptr;
    return back;
}

TEST(FastDeflateZipStreamTest, EntryReadsBackWholeHoweverWritesAndPiecesFall)
{
    const struct Case {
        const char* label;
        std::size_t size;
        std::size_t write_size;
        bool seekable;
        bool random_bytes;
        int method;
    } cases[] = {
        {"empty", 0, 1, true, false, wxZIP_METHOD_STORE},
        // wx holds the first bytes back and stores them if deflate does not shrink them.
        {"seven bytes", 7, 1, true, false, wxZIP_METHOD_STORE},
        {"all held back until the close", 3000, 1000, true, false, wxZIP_METHOD_DEFLATE},
        {"one piece, small writes", 300000, 4093, true, false, wxZIP_METHOD_DEFLATE},
        {"one piece exactly, one write", kMiB, kMiB, true, false, wxZIP_METHOD_DEFLATE},
        {"one byte past a piece", kMiB + 1, 65536, true, false, wxZIP_METHOD_DEFLATE},
        {"writes across pieces", 3 * kMiB + 12345, kMiB - 1, true, false, wxZIP_METHOD_DEFLATE},
        {"many pieces waiting", 13 * kMiB + 7, 5 * kMiB, true, false, wxZIP_METHOD_DEFLATE},
        {"incompressible", kMiB + kMiB / 2, 100000, true, true, wxZIP_METHOD_DEFLATE},
        {"not seekable: sums after the data", 2 * kMiB + 3, 777777, false, false, wxZIP_METHOD_DEFLATE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string content = MakeContent(c.size, c.random_bytes);
        std::string archive;
        if (c.seekable) {
            wxMemoryOutputStream memory;
            ASSERT_TRUE(WriteEntry(memory, content, c.write_size));
            archive.resize(memory.GetLength());
            memory.CopyTo(&archive[0], archive.size());
        } else {
            SinkStream sink;
            ASSERT_TRUE(WriteEntry(sink, content, c.write_size));
            archive = sink.bytes();
        }
        const ReadBack back = ReadEntry(archive);
        EXPECT_EQ(back.name, "r.txt");
        EXPECT_EQ(back.method, c.method);
        EXPECT_TRUE(back.whole);
        EXPECT_TRUE(back.only);
        EXPECT_TRUE(back.content == content) << back.content.size() << " bytes read of " << content.size();
        if (c.method == wxZIP_METHOD_DEFLATE && !c.random_bytes) {
            EXPECT_LT(archive.size(), content.size() / 2);
        }
    }
}

TEST(FastDeflateZipStreamTest, FailingStreamBelowFailsTheClose)
{
    const wxLogNull quiet;  // wx logs its own line for the entry
    const std::string content = MakeContent(6 * kMiB, false);
    for (const std::size_t limit : {std::size_t{0}, std::size_t{40}, std::size_t{100000}, std::size_t{500000}}) {
        SCOPED_TRACE(limit);
        SinkStream sink(limit);
        EXPECT_FALSE(WriteEntry(sink, content, kMiB / 3));
        EXPECT_LE(sink.bytes().size(), limit);
    }
}

}  // namespace
