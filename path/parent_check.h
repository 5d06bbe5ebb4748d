#ifndef VARNETH_PATH_PARENT_CHECK_H
#define VARNETH_PATH_PARENT_CHECK_H

#include <cstdint>

#include "path/path_step_cache.h"

// Whether the record now at a parent reference's number is still the folder
// the reference names: the same sequence number, or, for a record no longer
// in use, the next one (the folder was deleted and its record not used
// again since); and a base record (a record used again for an extension
// record holds no folder). A record number is used again for other files:
// any other record is not that folder. The root is never used again for
// another file: whatever sequence number a reference to it gives, it ends
// the walk.
inline bool IsReferencedFolder(const PathStep& record, std::uint16_t reference_sequence)
{
    if (record.kind == PathStep::Kind::kName && record.root) {
        return true;
    }
    if (!record.base_record) {
        return false;
    }
    return record.sequence == reference_sequence ||
           (!record.in_use && record.sequence == static_cast<std::uint16_t>(reference_sequence + 1));
}

#endif
