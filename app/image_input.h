#ifndef VARNETH_APP_IMAGE_INPUT_H
#define VARNETH_APP_IMAGE_INPUT_H

// An input that is no $MFT file, taken as a disk or volume image: the NTFS
// volume to read is chosen (the only one, or -p N), and its $MFT is read in
// place, through the record source, as if it had been copied out.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <wx/string.h>

#include "image/mapped_stream.h"
#include "mft/lost_records.h"
#include "numbers/number_formatter.h"
#include "volume/mft_location.h"

struct ImageMft {
    std::shared_ptr<const MappedStream> stream;
    std::size_t record_size = 0;
    std::uint64_t volume_offset = 0;
    LostRecords lost;                  // where the image has no bytes of it
    std::optional<MftBitmap> bitmap;   // its own, when it could be read
    wxString found;  // the console line that says what was read
    std::vector<wxString> files;  // the image's files: no output may land on one
};

enum class ImageOpenResult {
    kOpened,      // stream and record_size set
    kNotAnImage,  // no NTFS volume in any form known: the input is refused as today
    kRefused,     // said in error lines: the run stops
};

// partition: the -p number, 0 when not given; offset: --offset, where the
// volume starts whatever the partition table says. Lines are logged here.
ImageOpenResult OpenImageInput(const wxString& path, unsigned long partition, std::optional<std::uint64_t> offset,
                               NumberFormatter& formatter, ImageMft& mft);

#endif
