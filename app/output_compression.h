#ifndef VARNETH_APP_OUTPUT_COMPRESSION_H
#define VARNETH_APP_OUTPUT_COMPRESSION_H

#include <wx/string.h>

// Packs the report run_settings.output_filename into the zip archive
// zip_filename (created, or emptied if it exists): one deflated entry named
// after the report, its lines rewritten as UTF-8 with native line ends.
// Returns 0 when the archive is complete; -1 after logging why it is not. The
// report itself is never changed; after -1 no partial archive is left that
// could pass for a good one.
int ZipOutputFile(const wxString& zip_filename);

#endif
