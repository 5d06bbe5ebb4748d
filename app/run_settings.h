#ifndef VARNETH_APP_RUN_SETTINGS_H
#define VARNETH_APP_RUN_SETTINGS_H

#include <cstdint>

#include <wx/log.h>
#include <wx/string.h>

// Program-wide settings, filled once from the command line and read by the
// rest of the tool.
struct RunSettings {
    bool dump_ads = false;
    bool debug_log = false;
    bool dump_filenames = false;
    bool long_format = false;
    bool short_format = false;
    bool verbose_output = false;
    bool zip_output = false;
    wxLogLevel log_level = wxLOG_Error;
    wxString host_name = wxS("localhost");
    wxString output_filename = wxS("varneth_localhost.txt");
    wxString mft_filename;
    bool body_file = false;
    wxString body_filename;
    unsigned long partition = 0;
    bool offset_given = false;        // --offset: where the volume to read starts in an image
    std::uint64_t volume_offset = 0;  // bytes
    bool json = false;      // -j: a JSON line for every FILE record
    wxString json_filename; // "-": standard output
    bool summary = false;   // closing counts (always with -j)  // -p: the NTFS volume of a disk image, from 1; 0 when not given
};

extern RunSettings run_settings;

extern const wxString tool_version;

#endif
