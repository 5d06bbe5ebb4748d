#include "app/record_loop.h"

#include <array>
#include <memory>
#include <vector>

#include <wx/filefn.h>

#include "app/console.h"
#include "app/format_count.h"
#include "app/run_state.h"
#include "base/log_message.h"
#include "base/log_watch.h"
#include "base/run_settings.h"
#include "mft/record_buffer.h"
#include "mft/record_construction.h"
#include "mft/record_header.h"
#include "path/full_path_resolver.h"
#include "report/name_lists.h"
#include "report/report_rows.h"

namespace {

constexpr std::uint64_t kProgressInterval = 25000;
constexpr std::size_t kBlocksPerPiece = 512;          // 512 KiB per read

enum class RecordOutcome { Done, Failed };

// Reads the input's blocks in order, many per read call. A piece that comes
// back short or fails is dropped and its blocks are read again one by one,
// so that the end of the input and read errors (with the file library's own
// log line) show at exactly the block where single reads show them. Between
// reads the file position is the end of what was read: the path walk, which
// seeks elsewhere, puts it back there.
class SequentialBlocks {
public:
    SequentialBlocks(wxFile& file, std::uint64_t block_count)
        : file_(file), blocks_left_(block_count), piece_(kBlocksPerPiece * kMftRecordSize)
    {
    }

    // The next block: in place in the piece read, or, block by block, read
    // into a zeroed buffer of its own. Null when its read returns anything
    // but a whole block.
    unsigned char* ReadNext()
    {
        if (next_ == filled_ && !single_ && !FillPiece()) {
            single_ = true;
        }
        if (single_) {
            block_.fill(0);
            const bool whole = file_.Read(block_.data(), kMftRecordSize) == static_cast<ssize_t>(kMftRecordSize);
            return whole ? block_.data() : nullptr;
        }
        unsigned char* block = piece_.data() + next_;
        next_ += kMftRecordSize;
        return block;
    }

private:
    bool FillPiece()
    {
        const wxFileOffset start = wxTell(file_.fd());  // unlike Tell(), logs nothing
        const std::uint64_t blocks = blocks_left_ < kBlocksPerPiece ? blocks_left_ : kBlocksPerPiece;
        const std::size_t wanted = static_cast<std::size_t>(blocks) * kMftRecordSize;
        next_ = filled_ = 0;
        if (blocks == 0 || start == wxInvalidOffset) {
            return false;
        }
        // The raw read logs nothing, so a failure here leaves no trace.
        const long long got = wxRead(file_.fd(), piece_.data(), static_cast<unsigned>(wanted));
        if (got != static_cast<long long>(wanted)) {
            file_.Seek(start, wxFromStart);
            return false;
        }
        filled_ = wanted;
        blocks_left_ -= blocks;
        return true;
    }

    wxFile& file_;
    std::uint64_t blocks_left_;
    std::vector<unsigned char> piece_;
    std::array<unsigned char, kMftRecordSize> block_{};
    std::size_t next_ = 0;
    std::size_t filled_ = 0;
    bool single_ = false;
};

void PrintNames(const wxArrayString& names)
{
    for (const wxString& name : names) {
        PrintLine(name);
    }
}

int ProgressPercent(std::uint64_t recno, std::uint64_t record_count)
{
    const double ratio = static_cast<double>(recno) / static_cast<double>(record_count);
    return static_cast<int>(static_cast<float>(ratio * 100.0));
}

RecordOutcome ReportWriteFailed()
{
    LogErrorText(wxS("Error writing to ") + run_settings.output_filename + wxS(" report file."));
    return RecordOutcome::Failed;
}

// own_record: the decoded record, when decoding it logged nothing.
RecordOutcome WriteReportRows(RunState& state, FullPathResolver& paths, std::uint64_t recno,
                              const MFTFileRecord* own_record)
{
    const std::string& full_path = paths.Resolve(state.mft_file, recno, own_record);
    if (state.report_rows->AppendMFTRecordRows(state.report_file, &state.record, full_path) ==
        ReportRowsResult::kSinkFailed) {
        return ReportWriteFailed();
    }
    if (recno % kProgressInterval == 0) {
        PrintText(ProgressLine(state, recno, ProgressPercent(recno, state.mft_record_count)) + wxS("\r"));
        FlushConsole();
        if (!state.report_file.FlushToDisk()) {
            return ReportWriteFailed();
        }
    }
    return RecordOutcome::Done;
}

// Whether decoding logged a line matters to the path walk, which must then
// decode the record again itself so that the line comes out again.
bool DecodeRecord(RunState& state, std::uint64_t recno, unsigned char* buffer, bool& logged)
{
    const LogWatch watch;
    const bool decoded = CreateMFTFileRecord(buffer, &state.record, recno) == 0;
    logged = watch.Logged();
    return decoded;
}

// One block: skip what is not a named base record, then list or report it.
RecordOutcome ProcessRecord(RunState& state, FullPathResolver& paths, std::uint64_t recno, unsigned char* buffer)
{
    ByteReader header = RecordReader(buffer);
    if (header.U32At(record_header_field::kMagic) != kFileSignature) {
        LogMessageText(wxS("$MFT file record has an invalid MAGIC number."));
        return RecordOutcome::Done;
    }
    // A record without attributes is skipped silently: decoding would check
    // its update sequence first, and could log.
    if (header.U16At(record_header_field::kNextAttrId) == 0) {
        return RecordOutcome::Done;
    }
    state.record.Clear();
    bool decoding_logged = false;
    if (!DecodeRecord(state, recno, buffer, decoding_logged)) {
        return RecordOutcome::Done;
    }
    if (state.record.mft_header.base_recno != 0 || state.record.file_name_array.empty()) {
        return RecordOutcome::Done;
    }
    const bool directory = (state.record.mft_header.record_flags & kRecordIsDirectory) != 0;
    if (!state.ReportMode()) {
        if (!directory) {
            PrintNames(GetMFTRecordWin32FileName(&state.record, run_settings.dump_ads));
        }
        return RecordOutcome::Done;
    }
    return WriteReportRows(state, paths, recno, decoding_logged ? nullptr : &state.record);
}

}  // namespace

wxString ProgressLine(RunState& state, std::uint64_t count, int percent)
{
    return wxString::Format(wxS("Records processed: %s  (%d%% Complete)"), FormatCount(state.formatter, count),
                            percent) +
           wxString(' ', 27);
}

bool RunRecordLoop(RunState& state)
{
    SequentialBlocks blocks(state.mft_file, state.mft_record_count);
    const auto paths = std::make_unique<FullPathResolver>();
    // The counter is 64-bit: a 32-bit one would wrap on a $MFT of 4 TiB and never end.
    for (std::uint64_t recno = 0; recno < state.mft_record_count; ++recno) {
        unsigned char* block = blocks.ReadNext();
        if (block == nullptr) {
            // The file was measured before the loop: a short read means a
            // failing disk or a file that shrank, and the report is incomplete.
            LogErrorText(wxS("Error reading $MFT file ") + run_settings.mft_filename + wxS(" at record ") +
                         wxString::Format(wxS("%llu"), static_cast<unsigned long long>(recno)) + wxS("."));
            return false;
        }
        if (ProcessRecord(state, *paths, recno, block) == RecordOutcome::Failed) {
            return false;
        }
    }
    return true;
}
