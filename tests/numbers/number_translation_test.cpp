#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <wx/arrstr.h>
#include <wx/translation.h>

#include "numbers/number_formatter.h"

namespace varneth_test {
namespace {

using Message = std::pair<std::string, std::string>;

void PutWord(std::string& data, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        data += static_cast<char>((value >> shift) & 0xFF);
    }
}

// A message catalogue in the binary .mo form, built in memory. The entries
// must be sorted by original text; the header entry ("") comes first.
std::string BuildCatalogue(const std::vector<Message>& messages)
{
    const auto count = static_cast<std::uint32_t>(messages.size());
    const std::uint32_t originals = 28;
    const std::uint32_t translations = originals + 8 * count;
    std::uint32_t text_offset = translations + 8 * count;
    std::string tables;
    std::string texts;
    for (int side = 0; side < 2; ++side) {
        for (const Message& message : messages) {
            const std::string& text = side == 0 ? message.first : message.second;
            PutWord(tables, static_cast<std::uint32_t>(text.size()));
            PutWord(tables, text_offset);
            texts += text + '\0';
            text_offset += static_cast<std::uint32_t>(text.size() + 1);
        }
    }
    std::string data;
    for (std::uint32_t word : {0x950412deu, 0u, count, originals, translations, 0u, 0u}) {
        PutWord(data, word);
    }
    return data + tables + texts;
}

class MemoryLoader : public wxTranslationsLoader {
public:
    explicit MemoryLoader(std::string data) : data_(std::move(data)) {}

    wxMsgCatalog* LoadCatalog(const wxString& domain, const wxString&) override
    {
        return wxMsgCatalog::CreateFromData(wxScopedCharBuffer::CreateNonOwned(data_.data(), data_.size()), domain);
    }

    wxArrayString GetAvailableTranslations(const wxString&) const override
    {
        wxArrayString languages;
        languages.Add(L"de");
        return languages;
    }

private:
    std::string data_;
};

// Installs a German catalogue for the test's lifetime.
class NumberMessageTranslation : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* translations = new wxTranslations;
        translations->SetLoader(new MemoryLoader(BuildCatalogue({
            {"", "Content-Type: text/plain; charset=UTF-8\n"},
            {"\nBad style: 'group'", "\nFalscher Stil: 'Gruppe'"},
            {"\nNo style", "\nKein Stil"},
            {"Error: not a number", "Fehler: keine Zahl"},
            {"No style. No format done", "Kein Stil. Nichts formatiert"},
        })));
        translations->SetLanguage(L"de");
        wxTranslations::Set(translations);
        ASSERT_TRUE(translations->AddCatalog(L"varneth"));
    }

    void TearDown() override { wxTranslations::Set(nullptr); }
};

TEST_F(NumberMessageTranslation, MessagesPassThroughTheInstalledCatalogue)
{
    NumberFormatter formatter(L"[,###]");
    EXPECT_EQ(formatter.SetStyle(L"#]"), 1);
    EXPECT_EQ(formatter.error_message, L"\nFalscher Stil: 'Gruppe'");
    EXPECT_EQ(formatter.SetStyle(L""), 0);
    EXPECT_EQ(formatter.error_message, L"\nKein Stil");
    // Untranslated messages are stored as they are.
    EXPECT_EQ(formatter.SetStyle(L"E"), 0);
    EXPECT_EQ(formatter.error_message, L"\nBad style: 'exponential'");

    wxString output;
    EXPECT_EQ(formatter.FormatNumber(L"1x", output), 1);
    EXPECT_EQ(formatter.error_message, L"Fehler: keine Zahl");
    NumberFormatter without_style(L"");
    EXPECT_EQ(without_style.FormatNumber(L"12", output), 2);
    EXPECT_EQ(without_style.error_message, L"Kein Stil. Nichts formatiert");
}

}  // namespace
}  // namespace varneth_test
