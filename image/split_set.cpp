#include "image/split_set.h"

#include <algorithm>
#include <set>

#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/log.h>

namespace {

bool AllOf(const wxString& text, wxChar low, wxChar high)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [low, high](wxUniChar c) {
               return c >= low && c <= high;
           });
}

wxChar Lowest(const wxString& suffix) { return AllOf(suffix, '0', '9') ? '0' : 'a'; }
wxChar Highest(const wxString& suffix) { return AllOf(suffix, '0', '9') ? '9' : 'z'; }

// The suffixes split and the imaging tools write: two or three digits or
// letters, or a two-character numbering widened (its first half but the
// last character at the highest symbol, the next one not).
bool IsSegmentSuffix(const wxString& suffix)
{
    if (!AllOf(suffix, '0', '9') && !AllOf(suffix, 'a', 'z')) {
        return false;
    }
    const std::size_t length = suffix.length();
    if (length == 2 || length == 3) {
        return true;
    }
    if (length < 4 || length % 2 != 0) {
        return false;
    }
    const std::size_t tops = length / 2 - 1;
    const wxChar top = Highest(suffix);
    return suffix.find_first_not_of(wxString(top, tops)) >= tops && suffix[tops] != top;
}

// Two suffixes of one numbering: the same symbols, and a width of three or
// the two-character family.
bool SameNumbering(const wxString& a, const wxString& b)
{
    return Lowest(a) == Lowest(b) && (a.length() == 3) == (b.length() == 3);
}

wxString PreviousFixed(wxString suffix)
{
    for (std::size_t i = suffix.length(); i-- > 0;) {
        if (suffix[i] != Lowest(suffix)) {
            suffix[i] = static_cast<wxChar>(static_cast<wxChar>(suffix[i].GetValue()) - 1);
            return suffix;
        }
        suffix[i] = Highest(suffix);
    }
    return wxString();
}

// The first suffix of the numbering: zero, or one when there is no zero
// (tools that count from one); for letters all a.
wxString FirstSuffix(const wxString& suffix, const std::set<wxString>& present)
{
    const std::size_t width = suffix.length() == 3 ? 3 : 2;
    const wxString zero(Lowest(suffix), width);
    const wxString one = wxString('0', width - 1) + wxS("1");
    if (Lowest(suffix) == 'a' || present.count(zero) != 0) {
        return zero;
    }
    // Neither: the one its tools write first (split's two digits count from zero).
    return present.count(one) != 0 || width == 3 ? one : zero;
}

// The suffixes of the files beside path named like its segments.
std::set<wxString> SuffixesBeside(const wxString& directory, const wxString& prefix, const wxString& named)
{
    std::set<wxString> found{named};
    wxLogNull quiet;  // an unreadable folder leaves the named segment alone
    wxDir dir(directory);
    if (!dir.IsOpened()) {
        return found;
    }
    wxString name;
    for (bool more = dir.GetFirst(&name, wxEmptyString, wxDIR_FILES | wxDIR_HIDDEN); more; more = dir.GetNext(&name)) {
        if (name.StartsWith(prefix)) {
            const wxString suffix = name.Mid(prefix.length());
            if (IsSegmentSuffix(suffix) && SameNumbering(suffix, named)) {
                found.insert(suffix);
            }
        }
    }
    return found;
}

}  // namespace

wxString NextSplitSuffix(const wxString& suffix)
{
    wxString next = suffix;
    for (std::size_t i = next.length(); i-- > 0;) {
        if (next[i] != Highest(suffix)) {
            next[i] = static_cast<wxChar>(static_cast<wxChar>(next[i].GetValue()) + 1);
            return next;
        }
        next[i] = Lowest(suffix);
    }
    return wxString();
}

wxString WidenedSplitSuffix(const wxString& suffix)
{
    if (suffix.length() == 3) {
        return wxString();
    }
    const wxString next = NextSplitSuffix(suffix);
    const std::size_t half = suffix.length() / 2;
    if (next.empty() || next.Left(half) != wxString(Highest(suffix), half)) {
        return wxString();
    }
    return next + wxString(Lowest(suffix), 2);
}

SplitSetOpen OpenSplitSet(const wxString& path, SplitSet& set, Diagnostics& diagnostics)
{
    const wxFileName file_name(path);
    const wxString named = file_name.GetExt();
    if (!file_name.HasExt() || !IsSegmentSuffix(named)) {
        return SplitSetOpen::kNotASet;
    }
    const wxString stem = path.Left(path.length() - named.length());  // with its dot
    const wxString directory = file_name.GetPath().empty() ? wxString(wxS(".")) : file_name.GetPath();
    std::set<wxString> present = SuffixesBeside(directory, file_name.GetName() + wxS("."), named);
    const wxString first = FirstSuffix(named, present);
    const auto beside = [&present](const wxString& suffix) { return !suffix.empty() && present.count(suffix) != 0; };
    if (!beside(NextSplitSuffix(named)) && !beside(WidenedSplitSuffix(named)) && !beside(PreviousFixed(named)) &&
        !(beside(first) && present.size() > 1)) {
        return SplitSetOpen::kNotASet;
    }
    // The segments from the first, as long as the numbering goes on.
    std::vector<wxString> suffixes;
    wxString missing = first;
    while (!missing.empty() && beside(missing)) {
        suffixes.push_back(missing);
        present.erase(missing);
        const wxString widened = WidenedSplitSuffix(missing);
        missing = beside(widened) ? widened : NextSplitSuffix(missing);
    }
    // Segments left over lie past a gap: the first missing one is named, in
    // the wider names when all that is left is wider.
    if (!present.empty()) {
        if (!suffixes.empty() && !WidenedSplitSuffix(suffixes.back()).empty() &&
            std::all_of(present.begin(), present.end(),
                        [&suffixes](const wxString& left) { return left.length() > suffixes.back().length(); })) {
            missing = WidenedSplitSuffix(suffixes.back());
        }
        diagnostics.Error(wxS("Image segment ") + stem + missing + wxS(" is missing."));
        return SplitSetOpen::kRefused;
    }
    auto image = std::make_unique<SplitImage>();
    std::vector<wxString> segments;
    std::vector<std::uint64_t> sizes;
    for (const wxString& suffix : suffixes) {
        segments.push_back(stem + suffix);
        std::unique_ptr<FileImage> segment = OpenFileImage(segments.back(), diagnostics);
        if (!segment) {
            return SplitSetOpen::kRefused;
        }
        sizes.push_back(segment->Size());
        image->AddSegment(std::move(segment));
    }
    // Tools cut every segment but the last to one size: a shorter one lost its end.
    const std::uint64_t full = *std::max_element(sizes.begin(), sizes.end() - (sizes.size() > 1 ? 1 : 0));
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) {
        if (sizes[i] < full) {
            diagnostics.Error(wxS("Image segment ") + segments[i] + wxS(" is shorter than the segments ") +
                              (i == 0 ? wxS("after") : wxS("before")) + wxS(" it: the set is incomplete."));
            return SplitSetOpen::kRefused;
        }
    }
    set.image = std::move(image);
    set.segments = std::move(segments);
    return SplitSetOpen::kOpened;
}
