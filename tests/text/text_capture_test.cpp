// Text captured while pages render through the control object: the words
// of the fixture pages (tests/fixtures/make_text_fixtures.py) at two zooms,
// row by row as pdftotext -bbox-layout reads them, with boxes that hold
// their ink in the rendered bitmap; and the fonts the words hold outlive a
// low-memory purge between the render and the reading. The pages: lines in
// standard fonts and an embedded TrueType program, upright and turned a
// quarter; a listing and a contents page with dot leaders whose content
// turns a /Rotate 90 page back, the contents page upright, and the listing
// running up a page; words spaced with the character spacing as TeX through
// dvips and Ghostscript set them, and a letter-spaced heading.
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

// The way a page's text runs on its bitmap.
enum class Runs { Right, Down, Up };

struct FixturePage {
    const char* file;
    int page;
    Runs runs;
};

const FixturePage kPages[] = {
    {"text.pdf", 1, Runs::Right},    {"text.pdf", 2, Runs::Down},    {"turned.pdf", 1, Runs::Right},
    {"turned.pdf", 2, Runs::Right},  {"turned.pdf", 3, Runs::Right}, {"turned.pdf", 4, Runs::Up},
    {"spacing.pdf", 1, Runs::Right},
};

std::string fixture(const char* file) {
    return std::string(VISTREL_TEXT_FIXTURES) + "/" + file;
}

std::string nameOf(const FixturePage& p) {
    return std::string(p.file) + " page " + std::to_string(p.page);
}

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

// A word's box turned so that its text runs right: its extent along the
// text and across it (top, then the baseline's side).
struct Extent {
    double start, end, top, base;
};

Extent extentOf(const Word& w, Runs runs) {
    switch (runs) {
        case Runs::Down:
            return Extent{w.top, w.bottom, -w.right, -w.left};
        case Runs::Up:
            return Extent{-w.bottom, -w.top, w.left, w.right};
        case Runs::Right:
            break;
    }
    return Extent{w.left, w.right, w.top, w.bottom};
}

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

// Words in rows: the words of one baseline ordered along the text, the
// rows in reading order. Both sides split a row into lines where its words
// lie far apart (pdftotext into columns), each its own way; the rows are
// what they share. A word within half its height of a row's first
// baseline is on that row.
Lines rowsOf(std::vector<Word> words, Runs runs) {
    std::stable_sort(words.begin(), words.end(), [&](const Word& a, const Word& b) {
        return extentOf(a, runs).base < extentOf(b, runs).base;
    });
    Lines rows;
    double base = 0;
    for (const Word& w : words) {
        const Extent e = extentOf(w, runs);
        if (rows.empty() || e.base - base > (e.base - e.top) / 2) {
            rows.emplace_back();
            base = e.base;
        }
        rows.back().push_back(w);
    }
    for (auto& row : rows) {
        std::stable_sort(row.begin(), row.end(), [&](const Word& a, const Word& b) {
            return extentOf(a, runs).start < extentOf(b, runs).start;
        });
    }
    return rows;
}

// pdftotext's words of a page in rows, its boxes scaled from points to
// pixels; nothing when pdftotext cannot be run.
std::optional<Lines> referenceRows(const FixturePage& p, double zoom) {
    const std::string command = "pdftotext -q -bbox-layout -f " + std::to_string(p.page) +
                                " -l " + std::to_string(p.page) + " '" + fixture(p.file) +
                                "' - 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string xml;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        xml.append(buffer, n);
    if (pclose(pipe) != 0 || xml.empty())
        return std::nullopt;
    // Each <word xMin yMin xMax yMax>text</word> is a word.
    std::vector<Word> words;
    auto attribute = [&](size_t from, const char* name) {
        const size_t at = xml.find(std::string(name) + "=\"", from);
        return at == std::string::npos
                   ? 0.0
                   : std::strtod(xml.c_str() + at + std::strlen(name) + 2, nullptr);
    };
    for (size_t at = xml.find("<word "); at != std::string::npos; at = xml.find("<word ", at + 1)) {
        const size_t open = xml.find('>', at);
        const size_t close = xml.find("</word>", open);
        if (open == std::string::npos || close == std::string::npos)
            break;
        words.push_back(Word{unescape(xml.substr(open + 1, close - open - 1)),
                             attribute(at, "xMin") * zoom, attribute(at, "yMin") * zoom,
                             attribute(at, "xMax") * zoom, attribute(at, "yMax") * zoom});
    }
    return rowsOf(std::move(words), p.runs);
}

// The page's captured words, their boxes as the word records give them.
std::vector<Word> capturedWords(const TextLineList& list) {
    std::vector<Word> words;
    for (size_t i = 0; i < list.lineCount(); ++i) {
        TextWordRecord r;
        for (size_t j = 0; list.line(i)->getWordInfo(j, r); ++j)
            words.push_back(Word{r.text.toUtf8(), r.x, r.y - r.height, r.x + r.width, r.y});
    }
    return words;
}

// Ink: a pixel darker than light grey.
bool ink(win::COLORREF c) {
    const int r = int(c & 0xFF), g = int((c >> 8) & 0xFF), b = int((c >> 16) & 0xFF);
    return (r * 299 + g * 587 + b * 114) / 1000 < 160;
}

class TextCaptureTest : public ::testing::Test {
protected:
    // Opens a fixture file in a fresh control, the one before closed.
    void open(const char* name) {
        pageObject = nullptr;
        if (control) {
            EXPECT_EQ(control->close(), S_OK);
        }
        made = win::ComObject<Vistrel>::create(engineModule());
        ASSERT_TRUE(made);
        control = made.get();
        win::BSTR file = bstrOf(fixture(name));
        ASSERT_EQ(control->open(file, nullptr), S_OK);
        win::SysFreeString(file);
    }

    // Renders a page of the open file at a zoom; the page's text lines, or
    // null.
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
    for (const FixturePage& p : kPages) {
        open(p.file);
        for (double zoom : {1.0, 2.0}) {
            SCOPED_TRACE(nameOf(p) + " at zoom " + std::to_string(zoom));
            const std::optional<Lines> reference = referenceRows(p, zoom);
            if (!reference)
                GTEST_SKIP() << "pdftotext is not installed";
            const TextLineList* list = render(p.page, zoom);
            ASSERT_NE(list, nullptr);
            if (list->lineCount() == 0)
                GTEST_SKIP() << "no font of the fixture can be drawn here";
            const Lines captured = rowsOf(capturedWords(*list), p.runs);

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
// the size), which the boxes leave out.
TEST_F(TextCaptureTest, BoxesHoldTheirInk) {
    for (const FixturePage& p : kPages) {
        open(p.file);
        for (double zoom : {1.0, 2.0}) {
            SCOPED_TRACE(nameOf(p) + " at zoom " + std::to_string(zoom));
            const TextLineList* list = render(p.page, zoom);
            ASSERT_NE(list, nullptr);
            if (list->lineCount() == 0)
                GTEST_SKIP() << "no font of the fixture can be drawn here";
            const std::vector<Word> words = capturedWords(*list);
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
                        if (px >= w.left && px <= w.right && py >= w.top && py <= w.bottom)
                            ++inked[k];
                        // The pixel's middle turned as the box is.
                        const Extent e = extentOf(w, p.runs);
                        const Extent at = extentOf(Word{"", px, py, px, py}, p.runs);
                        const double size = e.base - e.top;
                        const double margin = std::max(1.0, size / 10);
                        if (at.start >= e.start - margin && at.start <= e.end + margin &&
                            at.top >= e.top - margin && at.top <= e.base + margin + size / 3)
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
    open("text.pdf");
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
