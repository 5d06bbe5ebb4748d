#include "mft/data_runs.h"

namespace {

constexpr std::uint64_t kLargestCluster = std::uint64_t{1} << 60;  // far past any volume; keeps every sum in range

// A little-endian field of width bytes, sign-extended when asked.
std::int64_t FieldAt(ByteReader& pairs, std::uint64_t offset, unsigned width, bool is_signed)
{
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
        value |= static_cast<std::uint64_t>(pairs.U8At(offset + i)) << (8 * i);
    }
    if (is_signed && width < 8 && (value >> (8 * width - 1)) != 0) {
        value |= ~std::uint64_t{0} << (8 * width);
    }
    return static_cast<std::int64_t>(value);
}

}  // namespace

bool DecodeDataRuns(ByteReader pairs, std::uint64_t start_vcn, std::uint64_t last_vcn, std::vector<DataRun>& runs,
                    Diagnostics& diagnostics)
{
    std::uint64_t offset = 0;
    std::uint64_t vcn = start_vcn;
    std::int64_t lcn = 0;
    for (;;) {
        if (!pairs.Fits(offset, 1)) {
            diagnostics.Warning(wxS("The run list ends without its end mark."));
            return false;
        }
        const std::uint8_t header = pairs.U8At(offset);
        if (header == 0) {
            return true;
        }
        const unsigned length_bytes = header & 0x0F;
        const unsigned offset_bytes = header >> 4;
        if (length_bytes == 0 || length_bytes > 8 || offset_bytes > 8 ||
            !pairs.Fits(offset + 1, std::uint64_t{length_bytes} + offset_bytes)) {
            diagnostics.Warning(wxString::Format(wxS("The run list holds a bad pair at byte %llu."),
                                                 static_cast<unsigned long long>(offset)));
            return false;
        }
        const auto clusters = static_cast<std::uint64_t>(FieldAt(pairs, offset + 1, length_bytes, false));
        DataRun run;
        run.vcn = vcn;
        run.clusters = clusters;
        run.sparse = offset_bytes == 0;
        if (!run.sparse) {
            const std::int64_t step = FieldAt(pairs, offset + 1 + length_bytes, offset_bytes, true);
            // Both stay far inside the 64-bit range, so the sum cannot overflow.
            if ((step > 0 && static_cast<std::uint64_t>(step) > kLargestCluster) ||
                (step < 0 && static_cast<std::uint64_t>(-(step + 1)) >= kLargestCluster)) {
                lcn = -1;
            } else {
                lcn += step;
            }
            run.lcn = static_cast<std::uint64_t>(lcn);
        }
        if (clusters == 0 || clusters > kLargestCluster || vcn > kLargestCluster ||
            (!run.sparse && (lcn < 0 || static_cast<std::uint64_t>(lcn) > kLargestCluster)) ||
            vcn + clusters - 1 > last_vcn) {
            diagnostics.Warning(wxString::Format(wxS("The run list holds a run that cannot be, at byte %llu."),
                                                 static_cast<unsigned long long>(offset)));
            return false;
        }
        runs.push_back(run);
        vcn += clusters;
        offset += 1 + length_bytes + offset_bytes;
    }
}
