#include "app/command_line.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include <wx/filefn.h>

#include "app/console.h"
#include "base/platform.h"
#include "app/run_settings.h"

namespace {

struct SwitchDefinition {
    const char* short_name;
    const char* long_name;
    const char* description;
    bool is_option;
};

// In declaration order: the parser lists them in this order in its usage text.
constexpr SwitchDefinition kSwitches[] = {
    {"a", "ADS", "Dump ADS's to stdout", false},
    {"b", "bodyfile", "Body file for timeline tools (Default: none)", true},
    {"d", "debug", "Create debug log", false},
    {"f", "filenames", "Dump filenames to stdout", false},
    {"h", "help", "Display this notice", false},
    {"j", "json", "JSON Lines of every FILE record (- for stdout; Default: none)", true},
    {"l", "long", "Use long output format", false},
    {"m", "hostname", "Hostname (Default: localhost)", true},
    {"o", "output", "Output file (Default: varneth_hostname.txt)", true},
    {"p", "partition", "NTFS volume of a disk image, from 1 (Default: the only one)", true},
    {"s", "short", "Use short output format", false},
    {"", "offset", "Byte offset of the NTFS volume to read in an image (not with -p)", true},
    {"", "summary", "Closing counts of the records read", false},
    {"v", "verbose", "Chatty output", false},
    {"V", "version", "Show version and exit", false},
    {"z", "zip", "Zip output file\n\n", false},
};

const wxString kRule = wxString('-', 61) + wxS("\n");
// A -p value that is not a number from 1.
constexpr unsigned long kBadPartition = static_cast<unsigned long>(-1);

// An --offset value that is not a byte offset: no image is that large.
constexpr std::uint64_t kBadOffset = static_cast<std::uint64_t>(-1);

// --offset: decimal digits only (no sign, no base prefix a typo could give).
std::uint64_t ParseOffset(const wxString& value)
{
    unsigned long long number = 0;
    if (value.empty() || value.length() > 20 || !std::all_of(value.begin(), value.end(), [](wxUniChar c) {
            return c >= '0' && c <= '9';
        }) || !value.ToULongLong(&number, 10)) {
        return kBadOffset;
    }
    return number;
}

void DeclareSwitches(wxCmdLineParser& parser)
{
    for (const SwitchDefinition& entry : kSwitches) {
        if (entry.is_option) {
            parser.AddOption(entry.short_name, entry.long_name, entry.description);
        } else {
            parser.AddSwitch(entry.short_name, entry.long_name, entry.description);
        }
    }
    parser.AddParam("$MFT File", wxCMD_LINE_VAL_STRING, wxCMD_LINE_PARAM_OPTIONAL);
}

void FillRunSettings(const wxCmdLineParser& parser)
{
    run_settings.dump_ads = parser.Found("a");
    run_settings.debug_log = parser.Found("d");
    run_settings.dump_filenames = parser.Found("f");
    run_settings.long_format = parser.Found("l");
    wxString value;
    if (parser.Found("m", &value)) {
        run_settings.host_name = value;
        run_settings.output_filename = wxS("varneth_") + run_settings.host_name + wxS(".txt");
    }
    if (parser.Found("o", &value)) {
        run_settings.output_filename = value;
    }
    run_settings.short_format = parser.Found("s");
    if (parser.Found("v")) {
        run_settings.log_level = wxLOG_Message;
        run_settings.verbose_output = true;
    }
    run_settings.zip_output = parser.Found("z");
    run_settings.body_file = parser.Found("b", &value);
    if (run_settings.body_file) {
        run_settings.body_filename = value;
    }
    run_settings.json = parser.Found("j", &value);
    run_settings.json_filename = run_settings.json ? value : wxString();
    run_settings.summary = run_settings.json || parser.Found("summary");
    run_settings.mft_filename = parser.GetParamCount() > 0 ? parser.GetParam(0) : wxString();
    run_settings.partition = 0;
    if (parser.Found("p", &value) && (!value.ToULong(&run_settings.partition) || run_settings.partition == 0)) {
        run_settings.partition = kBadPartition;
    }
    run_settings.offset_given = parser.Found("offset", &value);
    run_settings.volume_offset = 0;
    if (run_settings.offset_given) {
        run_settings.volume_offset = ParseOffset(value);
    }
}

// The first option that takes a value and was given more than once (its
// long form counts as the same), or an empty text: the parser would keep the
// last value without a word.
wxString RepeatedOption(const wxCmdLineParser& parser)
{
    std::vector<wxString> seen;
    for (const wxCmdLineArg& argument : parser.GetArguments()) {
        if (argument.GetKind() != wxCMD_LINE_OPTION) {
            continue;
        }
        const wxString name = argument.GetShortName().empty() ? argument.GetLongName() : argument.GetShortName();
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
            return name;
        }
        seen.push_back(name);
    }
    return wxString();
}

// The first rule that the settings break, or an empty text.
wxString FindBrokenRule(const wxCmdLineParser& parser)
{
    const wxString repeated = RepeatedOption(parser);
    if (!repeated.empty()) {
        return wxString(wxS("\nOption ")) + (repeated.length() == 1 ? wxS("-") : wxS("--")) + repeated +
               wxS(" is given more than once: each option that takes a value is given once.\n");
    }
    if (run_settings.mft_filename.empty()) {
        return wxS("\nNo $MFT filename provided.\n");
    }
    if (parser.GetParamCount() > 1) {
        return wxS("\nOnly parameter is $MFT filename\n");
    }
    // A directory or a FIFO is there: the input's check refuses it in words
    // of its own.
    const platform::FileKind input_kind = platform::KindOfFile(run_settings.mft_filename);
    if (!wxFileExists(run_settings.mft_filename) && input_kind != platform::FileKind::kBlockDevice &&
        input_kind != platform::FileKind::kDirectory && input_kind != platform::FileKind::kFifo) {
        return wxS("$MFT file ") + run_settings.mft_filename + wxS(" does not exist.\n");
    }
    if (run_settings.dump_ads && CountSwitchesGiven(parser) > 1) {
        return wxS("\n/a Dump ADS cannot be used with any other switches.\n");
    }
    if (run_settings.dump_filenames && CountSwitchesGiven(parser) > 1) {
        return wxS("\n/f Dump filenames cannot be used with any other switches.\n");
    }
    if (run_settings.partition == kBadPartition) {
        return wxS("\n-p takes the number of an NTFS volume of a disk image, counted from 1.\n");
    }
    if (run_settings.offset_given && run_settings.volume_offset == kBadOffset) {
        return wxS("\n--offset takes the byte offset where an NTFS volume starts in an image, a number from 0.\n");
    }
    if (run_settings.offset_given && parser.Found("p")) {
        return wxS("\n-p and --offset both choose the volume to read: give one of them.\n");
    }
    if (run_settings.long_format && run_settings.short_format) {
        return wxS("\n/s Short format and /l long format is ambiguous.\n");
    }
    return wxString();
}

}  // namespace

wxString GetBanner()
{
    wxString banner = wxS("\n\n") + kRule;
    banner += wxS("--              Varneth - $MFT Dump Tool                   --\n");
    banner += wxS("--                  Version: ") + tool_version + wxS("                       --\n");
    banner += kRule;
    banner += wxS("--           Use this tool at your own risk                --\n");
    banner += wxS("--                    NO WARRANTY!                         --\n");
    banner += kRule;
    return banner;
}

int CountSwitchesGiven(const wxCmdLineParser& parser)
{
    const bool given[] = {
        run_settings.dump_ads,    run_settings.debug_log,      run_settings.dump_filenames,
        run_settings.long_format, run_settings.short_format,   run_settings.verbose_output,
        run_settings.zip_output,  parser.Found("o"),           parser.Found("m"),
        run_settings.body_file,   run_settings.json,           run_settings.summary,
    };
    return static_cast<int>(std::count(std::begin(given), std::end(given), true));
}

int ProcessCommandLine(wxCmdLineParser& parser)
{
    parser.SetSwitchChars(platform::SwitchChars());
    DeclareSwitches(parser);
    parser.SetLogo(GetBanner());
    if (parser.Parse(true) != 0) {
        return -1;
    }
    if (parser.Found("h")) {
        parser.Usage();
        return -1;
    }
    if (parser.Found("V")) {
        PrintText(GetBanner());
        return -1;
    }
    FillRunSettings(parser);
    const wxString broken_rule = FindBrokenRule(parser);
    if (!broken_rule.empty()) {
        PrintText(broken_rule);
        FlushConsole();
        parser.Usage();
        return -1;
    }
    return 0;
}
