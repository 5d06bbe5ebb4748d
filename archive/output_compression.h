#ifndef VARNETH_ARCHIVE_OUTPUT_COMPRESSION_H
#define VARNETH_ARCHIVE_OUTPUT_COMPRESSION_H

#include <wx/string.h>

class ReportArchiveDraft;

// Packs the report run_settings.output_filename into the zip archive
// zip_filename (created, or emptied if it exists): one deflated entry named
// after the report, its lines rewritten as UTF-8 with native line ends.
// Returns 0 when the archive is complete; -1 after logging why it is not. The
// report itself is never changed; after -1 no partial archive is left that
// could pass for a good one. A draft made while the report was written is
// copied instead when it holds what packing would give.
int ZipOutputFile(const wxString& zip_filename, ReportArchiveDraft* draft = nullptr);

#endif
