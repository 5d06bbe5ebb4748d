#include "bench/generator_names.h"

#include <cctype>

#include "support/record_builder.h"

namespace varneth_bench {

namespace {

const char* const kWords[] = {
    "report",  "invoice", "Budget",  "setup",   "data",    "image",  "backup",  "notes",   "Project",
    "draft",   "final",   "config",  "cache",   "index",   "log",    "Meeting", "photo",   "scan",
    "readme",  "license", "module",  "plugin",  "resource", "theme", "update",  "driver",  "service",
    "client",  "server",  "Summary", "archive", "export",  "import", "thumb",   "Contract", "letter",
    "schema",  "manifest", "package", "locale", "history", "session", "profile", "bookmark", "template",
};
const char* const kExtensions[] = {
    "txt", "docx", "xlsx", "pdf", "jpg", "png", "dll", "exe", "sys", "ini", "xml", "json", "log", "dat",
    "tmp", "js",   "css",  "html", "mui", "cab", "zip", "mp4", "lnk", "pf",  "db",  "cpp", "h",   "py",
};
const char* const kDirectoryNames[] = {
    "Windows", "System32", "Program Files", "Program Files (x86)", "Users", "AppData", "Local", "Roaming",
    "Microsoft", "Temp", "Documents", "Desktop", "Downloads", "Pictures", "node_modules", "src", "lib",
    "bin", "include", "assets", "en-US", "de-DE", "WinSxS", "Packages", "Cache", "Logs", "Fonts", "drivers",
    ".git", "objects", "refs", "build", "dist", "Common Files", "Google", "Mozilla", "Firefox", "Profiles",
};
// Characters beyond ASCII, two and three bytes and a pair of surrogates in UTF-16.
const char* const kForeign[] = {
    "Café", "Привет", "文件", "Ünïcödé", "ファイル", "résumé", "\xF0\x9F\x98\x80", "Ελληνικά", "naïve",
};

template <typename T, std::size_t N>
const T& Pick(Random& random, const T (&items)[N])
{
    return items[random.Below(N)];
}

std::string Word(Random& random)
{
    return random.PerMille(30) ? Pick(random, kForeign) : Pick(random, kWords);
}

bool IsShortNameCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
}

// Fits 8.3 as it stands (case aside): then one Win32-and-DOS name is stored.
bool FitsShortName(const std::string& name)
{
    const std::size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos) {
        return false;
    }
    for (char c : base + ext) {
        if (!IsShortNameCharacter(c)) {
            return false;
        }
    }
    return true;
}

// The first usable characters of text, at most limit of them, upper-cased.
std::string ShortNamePart(const std::string& text, std::size_t limit)
{
    std::string part;
    for (std::size_t i = 0; i < text.size() && part.size() < limit; ++i) {
        if (IsShortNameCharacter(text[i])) {
            part.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(text[i]))));
        }
    }
    return part;
}

// "LONGFI~1.TXT": the first six usable characters, a tilde and a number.
std::string ShortName(const std::string& name, Random& random)
{
    const std::size_t dot = name.rfind('.');
    std::string base = ShortNamePart(name.substr(0, dot), 6);
    if (base.empty()) {
        base = "FILE";
    }
    std::string result = base + "~" + std::to_string(1 + random.Below(random.PerMille(900) ? 2 : 9));
    const std::string ext = dot == std::string::npos ? std::string() : ShortNamePart(name.substr(dot + 1), 3);
    if (!ext.empty()) {
        result += "." + ext;
    }
    return result;
}

}  // namespace

std::string MakeFileName(Random& random)
{
    const std::uint64_t shape = random.Below(100);
    std::string name = Word(random);
    if (shape < 35) {
        name += (random.PerMille(500) ? " " : "_") + Word(random);
    } else if (shape < 60) {
        name += std::to_string(random.Below(shape < 50 ? 100 : 100000));
    } else if (shape < 63) {
        return "." + name;  // dot files have no extension
    } else if (shape < 66) {
        return name;  // no extension
    }
    if (random.PerMille(40)) {
        name += ".tar";  // two dots
    }
    return name + "." + Pick(random, kExtensions);
}

std::string MakeDirectoryName(Random& random)
{
    const std::uint64_t shape = random.Below(100);
    if (shape < 45) {
        return Pick(random, kDirectoryNames);
    }
    if (shape < 55) {
        return std::to_string(random.Below(20)) + "." + std::to_string(random.Below(10)) + "." +
               std::to_string(random.Below(3000));
    }
    if (shape < 60) {
        static const char kHex[] = "0123456789ABCDEF";
        std::string guid = "{";
        for (int i = 0; i < 32; ++i) {
            guid.push_back(kHex[random.Below(16)]);
            if (i == 7 || i == 11 || i == 15 || i == 19) {
                guid.push_back('-');
            }
        }
        return guid + "}";
    }
    std::string name = Word(random);
    return shape < 80 ? name : name + " " + Word(random);
}

std::vector<NameEntry> NameEntries(const std::string& name, Random& random)
{
    const std::u16string wide = varneth_test::U16(name);
    if (FitsShortName(name)) {
        return {{wide, varneth_test::kWin32AndDos}};
    }
    const std::uint64_t shape = random.Below(100);
    if (shape < 6) {
        return {{wide, varneth_test::kPosix}};
    }
    if (shape < 14) {
        return {{wide, varneth_test::kWin32}};
    }
    const NameEntry dos = {varneth_test::U16(ShortName(name, random)), varneth_test::kDos};
    const NameEntry win32 = {wide, varneth_test::kWin32};
    if (shape < 57) {
        return {dos, win32};
    }
    return {win32, dos};
}

}  // namespace varneth_bench
