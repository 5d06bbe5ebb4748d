#ifndef VARNETH_ARCHIVE_OUTPUT_COMPRESSION_H
#define VARNETH_ARCHIVE_OUTPUT_COMPRESSION_H

#include <wx/string.h>

class ReportArchiveDraft;

// Writes the archive of the report output_filename to zip_filename (created,
// or emptied if it exists): the draft deflated while the report was written,
// finished now, its one entry stamped with the time the report was
// finished. Returns 0 when the archive is complete; -1 after logging why it
// is not (a missing or failed draft is a write failure). The report itself
// is never changed; after -1 no partial archive is left that could pass for
// a good one.
int ZipOutputFile(const wxString& zip_filename, const wxString& output_filename, ReportArchiveDraft* draft);

#endif
