#include <gtest/gtest.h>

#include <string>

#include <wx/filename.h>

#include "report/dos_file_name.h"

namespace {

struct SplitCase {
    const wchar_t* name;
    const wchar_t* full_name;
    const wchar_t* ext;
};

// What the report shows in Filename and Ext for each name.
const SplitCase kSplitCases[] = {
    {L"report.txt", L"report.txt", L"txt"},
    {L"archive.tar.gz", L"archive.tar.gz", L"gz"},
    {L"a.b.c", L"a.b.c", L"c"},
    {L".profile", L".profile", L""},
    {L"name.", L"name.", L""},
    {L"noext", L"noext", L""},
    {L".", L".", L""},
    {L"..", L"..", L""},
    {L"...", L"...", L""},
    {L"", L"", L""},
    {L"Report 2012.txt", L"Report 2012.txt", L"txt"},
    {L"d\u00e9j\u00e0 vu.\u00e9t\u00e9", L"d\u00e9j\u00e0 vu.\u00e9t\u00e9", L"\u00e9t\u00e9"},
    // Names with separators or a colon keep only their last component.
    {L"C:x", L"x", L""},
    {L"a:b.txt", L"b.txt", L"txt"},
    {L"a:b:c.txt", L"b:c.txt", L"txt"},
    {L":abc.d", L":abc.d", L"d"},
    {L"a:", L"", L""},
    {L"dir\\f.txt", L"f.txt", L"txt"},
    {L"a/b.c", L"b.c", L"c"},
    {L"d.x\\y", L"y", L""},
    {L"dir\\", L"", L""},
    {L"C:.profile", L".profile", L""},
    // wxFileName treats only the platform's own separator before the dot as
    // the start of a component, so a backslash before it leaves an extension.
    {L"x\\.y", L".y", L"y"},
    {L"x/.y", L".y", L""},
    // UNC names: the server part becomes the volume.
    {L"\\\\srv\\x.txt", L"x.txt", L"txt"},
    {L"\\\\ab", L"", L""},
};

wxString Text(WideView view)
{
    return wxString(view.data(), view.size());
}

TEST(SplitDosFileNameTest, FullNameAndExtension)
{
    // Parts of an earlier split, a rewritten UNC name's among them, never show through.
    DosFileNameParts parts;
    SplitDosFileName(wxS("\\\\stale\\stale.old"), parts);
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(wxString(c.name).utf8_string());
        const wxString name(c.name);
        SplitDosFileName(name, parts);
        EXPECT_EQ(Text(parts.full_name), wxString(c.full_name));
        EXPECT_EQ(Text(parts.ext), wxString(c.ext));
    }
}

void ExpectSameAsWxFileName(const wxString& name)
{
    DosFileNameParts parts;
    SplitDosFileName(name, parts);
    const wxFileName reference(name, wxPATH_DOS);
    EXPECT_EQ(Text(parts.full_name), reference.GetFullName()) << "name: " << name.utf8_string();
    EXPECT_EQ(Text(parts.ext), reference.GetExt()) << "name: " << name.utf8_string();
}

TEST(SplitDosFileNameTest, AgreesWithWxFileNameOnNamedCases)
{
    const wchar_t* names[] = {
        L"C:x", L"a:b.txt", L"dir\\f.txt", L"..", L".", L"name.", L".profile", L"a.b.c", L"noext",
        L"archive.tar.gz", L"", L":", L"::", L":.", L".:", L"a:.b", L"a.:b", L"a\\b:c.d", L"a/b\\c.d",
        L"\\", L"/", L"\\.", L"/.", L"\\a.b", L"/a.b", L"\\\\", L"//", L"\\\\\\x.y", L"\\\\a:b\\c.d",
        L"//srv/share/f.e", L"\\/srv\\f.e", L"\\\\srv", L"\\\\srv:x.txt", L"\\\\srv\\", L"\\\\s.v\\x",
        L"\\\\?\\Volume{12345678-1234-1234-1234-123456789012}\\a:b.t",
        L"\\\\?\\Volume{12345678-1234-1234-1234-123456789012}\\dir\\f.txt",
        L"\\\\?\\Volume{1:345678-1234-1234-1234-12345678901\\}\\f.t",
        L"\\\\?\\Volume{x}", L"a\tb.c", L"\u00fc.\u00e4", L"x.\U0001F600",
    };
    for (const wchar_t* name : names) {
        ExpectSameAsWxFileName(name);
    }
}

// Every name of up to six characters over the characters that steer the
// split: any difference from wxFileName shows up here.
TEST(SplitDosFileNameTest, AgreesWithWxFileNameOnEveryShortName)
{
    const wchar_t alphabet[] = {L'a', L'.', L'\\', L'/', L':'};
    constexpr std::size_t kSize = sizeof(alphabet) / sizeof(alphabet[0]);
    for (std::size_t length = 0; length <= 6; ++length) {
        std::size_t combinations = 1;
        for (std::size_t i = 0; i < length; ++i) {
            combinations *= kSize;
        }
        for (std::size_t n = 0; n < combinations; ++n) {
            std::wstring name;
            for (std::size_t i = 0, rest = n; i < length; ++i, rest /= kSize) {
                name.push_back(alphabet[rest % kSize]);
            }
            ExpectSameAsWxFileName(wxString(name));
            if (HasFailure()) {
                return;  // one name is enough to show the difference
            }
        }
    }
}

}  // namespace
