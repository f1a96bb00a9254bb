#include "viewer/app/page_range_dialog.h"

#include <gtest/gtest.h>

#include <vector>

namespace brevant {
namespace {

std::vector<int> span(int from, int to) {
    std::vector<int> pages;
    for (int p = from; p <= to; ++p)
        pages.push_back(p);
    return pages;
}

TEST(PageRange, TypedListsAndWhatTheyGive) {
    struct Case {
        const char* text;
        int pageCount;
        std::vector<int> pages;
    };
    std::vector<int> listed = {1, 3};
    const std::vector<int> fiveToTwelve = span(5, 12);
    listed.insert(listed.end(), fiveToTwelve.begin(), fiveToTwelve.end());
    const Case cases[] = {
        {"1,3,5-12", 20, listed},
        {"5-3", 20, {}},
        {"3,3", 20, {3, 3}},
        {"2 - 4", 20, {2, 3, 4}},
        {" 4 , 2-3 ,1 ", 20, {4, 2, 3, 1}},
        {"0,21", 20, {}},
        {"x,4", 20, {4}},
        {",,2,", 20, {2}},
        {"", 20, {}},
        // A leading minus is a number's sign, not a range.
        {"-5", 20, {}},
        {"-1-3", 20, {}},
        // Ranges are clamped to the document before they are walked.
        {"1-2147483647", 3, {1, 2, 3}},
        {"0-2", 3, {1, 2}},
        {"2-99,1", 3, {2, 3, 1}},
        {"-2147483648", 3, {}},
        // Parts that are no whole numbers skip the item.
        {"1-x,2", 3, {2}},
        {"3-,1", 3, {1}},
        {"1-2147483648,3", 3, {3}},
        {"2.5,1", 3, {1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParsePageRange(QString::fromUtf8(c.text), c.pageCount), c.pages) << c.text;
}

}  // namespace
}  // namespace brevant
