#ifndef VARNETH_PATH_PARENT_CHECK_H
#define VARNETH_PATH_PARENT_CHECK_H

#include <cstdint>

#include "mft/mft_file_record.h"
#include "path/path_step_cache.h"

// Whether the record now at a parent reference's number is still the folder
// the reference names (mft/mft_file_record.h, ReferenceNamesRecord), and a
// base record (a record used again for an extension record holds no folder).
// The root is never used again for another file: whatever sequence number a
// reference to it gives, it ends the walk.
inline bool IsReferencedFolder(const PathStep& record, std::uint16_t reference_sequence)
{
    if (record.kind == PathStep::Kind::kName && record.root) {
        return true;
    }
    if (!record.base_record) {
        return false;
    }
    return ReferenceNamesRecord(record.sequence, record.in_use, reference_sequence);
}

#endif
