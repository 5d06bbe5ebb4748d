#ifndef VARNETH_IMAGE_SPLIT_SET_H
#define VARNETH_IMAGE_SPLIT_SET_H

// A split raw set found from any one of its segments, in the numberings
// tools write: NAME.000 or NAME.001 on, NAME.00 or NAME.01 on, NAME.aa or
// NAME.aaa on (the letters of split, whose default two-character names
// widen after yz to zaaa, and the digits after 89 to 9000). A set is whole
// or refused: a gap in the numbering, or a segment shorter than the first
// that is not the last, is damage the image would read past as if the
// disk were shorter.

#include <memory>
#include <vector>

#include <wx/string.h>

#include "base/diagnostics.h"
#include "image/image_reader.h"

// The suffix that follows suffix in its numbering; empty after the last
// one a fixed width holds. widened: the name split writes instead when it
// chose the width itself ("89" -> "9000", "yz" -> "zaaa"); empty where it
// would not widen.
wxString NextSplitSuffix(const wxString& suffix);
wxString WidenedSplitSuffix(const wxString& suffix);

enum class SplitSetOpen {
    kNotASet,  // no segment suffix, or no other segment beside it
    kOpened,
    kRefused,  // said in diagnostics
};

struct SplitSet {
    std::unique_ptr<SplitImage> image;
    std::vector<wxString> segments;  // every segment, the first first
};

// Opens the whole set that path is a segment of, from its first segment.
SplitSetOpen OpenSplitSet(const wxString& path, SplitSet& set, Diagnostics& diagnostics);

#endif
