#include "mft/data_attribute.h"

#include <cstdint>

#include "mft/mft_file_record.h"
#include "mft/record_buffer.h"
#include "mft/utf16_text.h"

std::unique_ptr<MFTDataAttr> MakeDataAttr(const MFTAttrHeader& attr_header, const unsigned char* mft_rec_buf,
                                          Diagnostics& diagnostics, SpareObjects<MFTDataAttr>* spares,
                                          std::size_t record_size)
{
    std::unique_ptr<MFTDataAttr> data_attr = spares != nullptr ? spares->Take() : std::make_unique<MFTDataAttr>();
    static_cast<MFTAttrHeaderFields&>(*data_attr) = attr_header;
    if (attr_header.name_length == 0 || attr_header.name_offset == 0) {
        return data_attr;  // the unnamed (default) stream
    }

    // The name is name_length UTF-16 units at the attribute's name offset.
    // This step cannot fail, so a name that would run past the end of the
    // record is cut there: only the whole units inside the record are read,
    // and a warning says so.
    ByteReader record = RecordReader(mft_rec_buf, record_size);
    const std::uint64_t name_start = std::uint64_t{attr_header.attr_offset} + attr_header.name_offset;
    const std::uint64_t name_bytes = 2 * std::uint64_t{attr_header.name_length};
    if (!record.Fits(name_start, name_bytes)) {
        diagnostics.Warning("MakeDataAttr() - stream name runs past the end of the record; cut at the record end.");
    }
    DecodeUtf16LeInto(record.ClampedSubReader(name_start, name_bytes), attr_header.name_length, data_attr->stream_name);
    return data_attr;
}
