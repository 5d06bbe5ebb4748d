#include "app/console.h"

#include <string>

#include <wx/log.h>

#include "text/utf8_text.h"

namespace {

// The log's own sink: one UTF-8 line per call, through the same narrow stream
// as the printed texts, flushed so a crash never hides the last line.
class Utf8LogTarget : public wxLog {
public:
    explicit Utf8LogTarget(std::FILE* stream) : stream_(stream) {}

protected:
    void DoLogText(const wxString& line) override
    {
        std::string bytes = ToUtf8(line);
        bytes.push_back('\n');
        std::fwrite(bytes.data(), 1, bytes.size(), stream_);
        std::fflush(stream_);
    }

private:
    std::FILE* stream_;
};

std::FILE* console_stream = stdout;

}  // namespace

void UseStandardErrorForConsole(bool use)
{
    console_stream = use ? stderr : stdout;
}

std::FILE* ConsoleStream()
{
    return console_stream;
}

void PrintText(const wxString& text)
{
    const std::string bytes = ToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), console_stream);
}

void PrintBytes(std::string_view bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), console_stream);
}

void FlushConsole()
{
    std::fflush(console_stream);
}

wxLog* CreateConsoleLogTarget(std::FILE* stream)
{
    return new Utf8LogTarget(stream != nullptr ? stream : console_stream);
}
