// Text captured while pages render through the control object: the lines
// and words of the fixture page (standard fonts and an embedded TrueType
// program, tests/fixtures/make_text_fixtures.py) at two zooms, upright and
// turned a quarter, read as pdftotext -bbox-layout reads them, with boxes
// that hold their ink in the rendered bitmap; and the fonts the words hold
// outlive a low-memory purge between the render and the reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/control/engine_module.h"
#include "engine/control/tree_node.h"
#include "engine/control/vistrel.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/pdf_page.h"
#include "engine/font/font_registry.h"
#include "engine/font/page_text_line_list.h"
#include "platform/com/com.h"
#include "platform/gdi/gdi.h"

namespace vistrel {
namespace {

using win::S_OK;

const std::string kFixture = std::string(VISTREL_TEXT_FIXTURES) + "/text.pdf";

win::BSTR bstrOf(const std::string& s) {
    win::BSTR b = win::SysAllocStringLen(nullptr, win::UINT(s.size()));
    for (size_t i = 0; i < s.size(); ++i)
        b[i] = char16_t(static_cast<unsigned char>(s[i]));
    return b;
}

// A word as both sides give it: text and box (left, top, right, bottom) in
// pixels of the page bitmap.
struct Word {
    std::string text;
    double left, top, right, bottom;
};
using Lines = std::vector<std::vector<Word>>;

std::string lineText(const std::vector<Word>& words) {
    std::string out;
    for (const Word& w : words)
        out += (out.empty() ? "" : " ") + w.text;
    return out;
}

std::string unescape(std::string s) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities) {
        for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1))
            s.replace(at, std::string(from).size(), to);
    }
    return s;
}

// pdftotext's lines of a page, its boxes scaled from points to pixels;
// nothing when pdftotext cannot be run.
std::optional<Lines> referenceLines(int page, double zoom) {
    const std::string command = "pdftotext -q -bbox-layout -f " + std::to_string(page) + " -l " +
                                std::to_string(page) + " '" + kFixture + "' - 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string xml;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        xml.append(buffer, n);
    if (pclose(pipe) != 0 || xml.empty())
        return std::nullopt;
    // Each <line> starts a line; each <word xMin yMin xMax yMax>text</word>
    // adds a word to it.
    Lines lines;
    auto attribute = [&](size_t from, const char* name) {
        const size_t at = xml.find(std::string(name) + "=\"", from);
        return at == std::string::npos
                   ? 0.0
                   : std::strtod(xml.c_str() + at + std::strlen(name) + 2, nullptr);
    };
    for (size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
        if (xml.compare(at, 6, "<line ") == 0) {
            lines.emplace_back();
        } else if (xml.compare(at, 6, "<word ") == 0 && !lines.empty()) {
            const size_t open = xml.find('>', at);
            const size_t close = xml.find("</word>", open);
            if (open == std::string::npos || close == std::string::npos)
                break;
            lines.back().push_back(Word{unescape(xml.substr(open + 1, close - open - 1)),
                                        attribute(at, "xMin") * zoom, attribute(at, "yMin") * zoom,
                                        attribute(at, "xMax") * zoom,
                                        attribute(at, "yMax") * zoom});
        }
    }
    return lines;
}

// The page's captured lines, their boxes as the word records give them.
Lines capturedLines(const TextLineList& list) {
    Lines lines;
    for (size_t i = 0; i < list.lineCount(); ++i) {
        const TextLine* line = list.line(i);
        lines.emplace_back();
        TextWordRecord r;
        for (size_t j = 0; line->getWordInfo(j, r); ++j)
            lines.back().push_back(Word{r.text.toUtf8(), r.x, r.y - r.height, r.x + r.width, r.y});
    }
    return lines;
}

// Ink: a pixel darker than light grey.
bool ink(win::COLORREF c) {
    const int r = int(c & 0xFF), g = int((c >> 8) & 0xFF), b = int((c >> 16) & 0xFF);
    return (r * 299 + g * 587 + b * 114) / 1000 < 160;
}

class TextCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        made = win::ComObject<Vistrel>::create(engineModule());
        ASSERT_TRUE(made);
        control = made.get();
        win::BSTR file = bstrOf(kFixture);
        ASSERT_EQ(control->open(file, nullptr), S_OK);
        win::SysFreeString(file);
    }

    // Renders a page at a zoom; the page's text lines, or null.
    const TextLineList* render(int page, double zoom) {
        win::ComPtr<TreeNode> node = TreeNode::create();
        char view[64];
        std::snprintf(view, sizeof view, "0,0,%d,%g,4,4,0", page, zoom);
        win::BSTR text = bstrOf(view);
        EXPECT_EQ(node->put_stateInStr(text), S_OK);
        win::SysFreeString(text);
        EXPECT_EQ(control->put_State(node.get()), S_OK);
        EXPECT_EQ(control->render(), S_OK);
        pageObject = control->catalog()->getPage(page);
        return pageObject ? pageObject->textLines() : nullptr;
    }

    win::ComPtr<win::ComObject<Vistrel>> made;
    Vistrel* control = nullptr;
    Ref<PdfPage> pageObject;
};

TEST_F(TextCaptureTest, LinesAndWordsAgreeWithPdftotext) {
    for (int page : {1, 2}) {
        for (double zoom : {1.0, 2.0}) {
            SCOPED_TRACE("page " + std::to_string(page) + " at zoom " + std::to_string(zoom));
            const std::optional<Lines> reference = referenceLines(page, zoom);
            if (!reference)
                GTEST_SKIP() << "pdftotext is not installed";
            const TextLineList* list = render(page, zoom);
            ASSERT_NE(list, nullptr);
            if (list->lineCount() == 0)
                GTEST_SKIP() << "no font of the fixture can be drawn here";
            const Lines captured = capturedLines(*list);

            ASSERT_EQ(captured.size(), reference->size());
            for (size_t i = 0; i < captured.size(); ++i) {
                EXPECT_EQ(lineText(captured[i]), lineText((*reference)[i]));
                if (captured[i].size() != (*reference)[i].size())
                    continue;
                // Each word lies where pdftotext has it: the middle of its
                // box within pdftotext's.
                for (size_t j = 0; j < captured[i].size(); ++j) {
                    const Word& ours = captured[i][j];
                    const Word& theirs = (*reference)[i][j];
                    const double mx = (ours.left + ours.right) / 2;
                    const double my = (ours.top + ours.bottom) / 2;
                    EXPECT_TRUE(theirs.left <= mx && mx <= theirs.right && theirs.top <= my &&
                                my <= theirs.bottom)
                        << ours.text;
                }
            }
        }
    }
}

// Every word's box holds ink, and all ink of the page lies in some word's
// box: within a tenth of the font size (glyphs such as j reach a little past
// their advance), and on the baseline's side within the descent (a third of
// the size), which the boxes leave out. The baseline is the bottom edge
// upright, the left edge turned a quarter.
TEST_F(TextCaptureTest, BoxesHoldTheirInk) {
    for (int page : {1, 2}) {
        for (double zoom : {1.0, 2.0}) {
            SCOPED_TRACE("page " + std::to_string(page) + " at zoom " + std::to_string(zoom));
            const TextLineList* list = render(page, zoom);
            ASSERT_NE(list, nullptr);
            if (list->lineCount() == 0)
                GTEST_SKIP() << "no font of the fixture can be drawn here";
            std::vector<Word> words;
            for (const auto& line : capturedLines(*list))
                words.insert(words.end(), line.begin(), line.end());
            win::LONG width = 0, height = 0;
            ASSERT_EQ(control->get_width(&width), S_OK);
            ASSERT_EQ(control->get_height(&height), S_OK);
            std::vector<int> inked(words.size(), 0);
            int stray = 0;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    if (!ink(win::GetPixel(control->memoryDc(), x, y)))
                        continue;
                    const double px = x + 0.5, py = y + 0.5;
                    bool covered = false;
                    for (size_t k = 0; k < words.size(); ++k) {
                        const Word& w = words[k];
                        const double size = page == 1 ? w.bottom - w.top : w.right - w.left;
                        const double margin = std::max(1.0, size / 10);
                        const double left = w.left - margin - (page == 2 ? size / 3 : 0);
                        const double bottom = w.bottom + margin + (page == 1 ? size / 3 : 0);
                        if (px >= w.left && px <= w.right && py >= w.top && py <= w.bottom)
                            ++inked[k];
                        if (px >= left && px <= w.right + margin && py >= w.top - margin &&
                            py <= bottom)
                            covered = true;
                    }
                    stray += covered ? 0 : 1;
                }
            }
            EXPECT_EQ(stray, 0);
            for (size_t k = 0; k < words.size(); ++k)
                EXPECT_GT(inked[k], 0) << words[k].text;
        }
    }
}

// The engine's low-memory purge between the render and the reading of the
// words: the fonts the words hold stay, and go once the document is closed.
TEST_F(TextCaptureTest, WordsKeepTheirFontsThroughAPurge) {
    const TextLineList* list = render(1, 1.0);
    ASSERT_NE(list, nullptr);
    if (list->lineCount() == 0)
        GTEST_SKIP() << "no font of the fixture can be drawn here";
    fontRegistry()->purge(-1);
    double sizes = 0;
    for (size_t i = 0; i < list->lineCount(); ++i) {
        TextWordRecord word;
        for (size_t j = 0; list->line(i)->getWordInfo(j, word); ++j) {
            ASSERT_NE(word.font->font(), nullptr);
            sizes += word.font->font()->deviceSize();
        }
    }
    EXPECT_GT(sizes, 0);
    pageObject = nullptr;
    EXPECT_EQ(control->close(), S_OK);
    EXPECT_EQ(fontRegistry()->liveFontCount(), 0);
}

}  // namespace
}  // namespace vistrel
