// SPDX-License-Identifier: GPL-3.0-or-later
// Word cards as a PDF, made the way lexipond-db makes them: no window, no display.
#include "TestSupport.h"
#include "ui/print/WordCards.h"

#include <string_view>

namespace lexipond::testing {
namespace {

// The pages a PDF declares: its page objects, not the page tree ("/Pages").
int PdfPages(const std::string& pdf) {
    int pages = 0;
    const std::string_view type = "/Type /Page";
    for (size_t at = pdf.find(type); at != std::string::npos; at = pdf.find(type, at + 1))
        pages += pdf.compare(at + type.size(), 1, "s") != 0;
    return pages;
}

TEST(WordCardsPdf, HoldsAsManyPagesAsTheCardsNeedAtEachChoice) {
    TempFolder folder;
    const std::vector<std::string> words = NumberedWords(20);
    // Cards per page, pages for 20 words.
    const std::pair<int, int> rows[] = {{8, 3}, {4, 5}, {2, 10}, {1, 20}};
    for (const auto& [perPage, expected] : rows) {
        SCOPED_TRACE(perPage);
        const std::string path = folder / ("cards" + std::to_string(perPage) + ".pdf");
        int pages = 0;
        ASSERT_EQ(WriteWordCardsPdf(words, perPage, path, pages), CardsOutcome::Written);
        EXPECT_EQ(pages, expected);
        const std::string pdf = ReadBytes(path);
        EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
        EXPECT_EQ(PdfPages(pdf), expected);
    }
    int pages = 0;
    const std::string path = folder / "one.pdf";
    ASSERT_EQ(WriteWordCardsPdf({"caf\xe9", "na\xc3\xafve", std::string(63, 'w')}, 8, path, pages),
              CardsOutcome::Written)
        << "bytes that are not UTF-8 and a word as long as a word may be";
    EXPECT_EQ(PdfPages(ReadBytes(path)), 1);
}

TEST(WordCardsPdf, MakesNoFileWhenThereIsNothingOrNowhereToWrite) {
    TempFolder folder;
    const std::string path = folder / "cards.pdf";
    WriteBytes(path, "an older file");
    int pages = -1;
    EXPECT_EQ(WriteWordCardsPdf({}, 8, path, pages), CardsOutcome::NoWords);
    EXPECT_EQ(WriteWordCardsPdf({"cat"}, 3, path, pages), CardsOutcome::BadPerPage);
    EXPECT_EQ(pages, 0);
    EXPECT_EQ(ReadBytes(path), "an older file");
    EXPECT_EQ(WriteWordCardsPdf({"cat"}, 1, folder / "no such folder/cards.pdf", pages),
              CardsOutcome::CannotWrite);
}

} // namespace
} // namespace lexipond::testing
