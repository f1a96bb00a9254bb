// Rows of image XObjects kept between readings: what a reading keeps, that
// later readings deliver the same rows, and the budget and spare buffer.
#include "engine/render/content/kept_image_rows.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/render/content/content_test_util.h"
#include "engine/render/content/image_dict.h"
#include "engine/render/content/raster_image.h"

namespace vistrel {
namespace {

using test::streamObject;
using test::TestDocument;

using Bytes = std::vector<std::uint8_t>;

// Every row one reading delivers (up to `limit`), then closes the rows; with
// `inPlace` through readRowInPlace, counting in `inPlaceRows` the rows it
// read outside the buffer.
std::vector<Bytes> readAll(ImageXObject& image, int limit = 1 << 30, bool inPlace = false,
                           int* inPlaceRows = nullptr) {
    std::vector<Bytes> rows;
    if (!image.openRows())
        return rows;
    Bytes row(image.bufferSize());
    const auto length = std::ptrdiff_t(image.outBytesPerRow());
    while (int(rows.size()) < limit) {
        const std::uint8_t* read = inPlace                     ? image.readRowInPlace(row.data())
                                   : image.readRow(row.data()) ? row.data()
                                                               : nullptr;
        if (!read)
            break;
        if (inPlaceRows && read != row.data())
            ++*inPlaceRows;
        rows.emplace_back(read, read + length);
    }
    image.closeRows();
    return rows;
}

std::string greyImage(int width, int height, const std::string& extra = "") {
    return "/Type /XObject /Subtype /Image /Width " + std::to_string(width) + " /Height " +
           std::to_string(height) + " /BitsPerComponent 8 /ColorSpace /DeviceGray " + extra;
}

// A reading of every row keeps them as stored, so that Decode and the 16-bit
// reduction are applied once on every later reading; a reading that stops
// early or whose data ends before the last row keeps nothing, and the rows
// it delivers stay those of the data. A first reading in place reads rows
// of device grey or RGB without Decode straight into the rows it keeps, and
// a later one delivers such kept rows where they lie.
TEST(KeptImageRowsTest, KeptReadingsDeliverTheSameRows) {
    const struct {
        const char* what;
        std::string entries, data;
        int limit;  // rows the first reading takes
        bool kept;
        int inPlaceRows;  // of the first reading in place
    } cases[] = {
        {"plain", greyImage(3, 2), "abcdef", 2, true, 2},
        {"Decode", greyImage(3, 2, "/Decode [1 0]"), "abcdef", 2, true, 0},
        {"16 bits",
         "/Type /XObject /Subtype /Image /Width 2 /Height 1 /BitsPerComponent 16 "
         "/ColorSpace /DeviceGray",
         "\x12\x34\xAB\xCD", 1, true, 1},
        {"RGB",
         "/Type /XObject /Subtype /Image /Width 2 /Height 1 /BitsPerComponent 8 "
         "/ColorSpace /DeviceRGB",
         "abcdef", 1, true, 1},
        {"Indexed",
         "/Type /XObject /Subtype /Image /Width 2 /Height 1 /BitsPerComponent 8 "
         "/ColorSpace [/Indexed /DeviceRGB 1 <102030405060>]",
         std::string("\x01\x00", 2), 1, true, 0},
        {"short last row", greyImage(4, 2), "abcdef", 2, true, 2},
        {"data ends early", greyImage(4, 3), "abcd", 3, false, 1},
        {"stopped early", greyImage(3, 2), "abcdef", 1, false, 1},
    };
    for (const auto& c : cases) {
        for (bool inPlace : {false, true}) {
            TestDocument doc("", {streamObject(c.entries, c.data)});
            auto* image = dynamic_cast<ImageXObject*>(doc.object(4));
            ASSERT_NE(image, nullptr) << c.what;
            const std::vector<Bytes> plain = readAll(*image);
            {
                KeptImageRows keeper(1 << 20);
                KeptImageRows::Scope scope(keeper);
                int inPlaceRows = 0;
                const std::vector<Bytes> first = readAll(*image, c.limit, inPlace, &inPlaceRows);
                EXPECT_EQ(first, std::vector<Bytes>(plain.begin(),
                                                    plain.begin() + std::ptrdiff_t(first.size())))
                    << c.what;
                EXPECT_EQ(inPlaceRows, inPlace ? c.inPlaceRows : 0) << c.what;
                EXPECT_EQ(image->hasKeptRows(), c.kept) << c.what;
                EXPECT_EQ(keeper.bytesKept(),
                          c.kept ? image->inBytesPerRow() * std::size_t(image->height()) : 0u)
                    << c.what;
                for (int pass = 0; pass < 2; ++pass) {
                    EXPECT_EQ(readAll(*image), plain) << c.what << " pass " << pass;
                    EXPECT_EQ(image->rowsEnded(), !c.kept && c.limit == 3) << c.what;
                }
                if (c.kept) {
                    int keptInPlace = 0;
                    EXPECT_EQ(readAll(*image, 1 << 30, true, &keptInPlace), plain) << c.what;
                    EXPECT_EQ(keptInPlace, c.inPlaceRows > 0 ? int(plain.size()) : 0) << c.what;
                }
            }
            // The keeper gone, the rows come from the data again.
            EXPECT_FALSE(image->hasKeptRows()) << c.what;
            EXPECT_EQ(readAll(*image), plain) << c.what;
        }
    }
}

// Without a current keeper nothing is kept; kept rows outside the keeper's
// scope still serve.
TEST(KeptImageRowsTest, OnlyUnderACurrentKeeper) {
    TestDocument doc("", {streamObject(greyImage(2, 2), "wxyz")});
    auto* image = dynamic_cast<ImageXObject*>(doc.object(4));
    ASSERT_NE(image, nullptr);
    KeptImageRows keeper(1 << 20);
    readAll(*image);
    EXPECT_FALSE(image->hasKeptRows());
    EXPECT_EQ(KeptImageRows::current(), nullptr);
    {
        KeptImageRows::Scope scope(keeper);
        EXPECT_EQ(KeptImageRows::current(), &keeper);
        readAll(*image);
    }
    EXPECT_EQ(KeptImageRows::current(), nullptr);
    EXPECT_TRUE(image->hasKeptRows());
    EXPECT_EQ(readAll(*image), (std::vector<Bytes>{{'w', 'x'}, {'y', 'z'}}));
}

// The images kept longest give their rows up for a new one within the
// budget; rows over the budget are not kept. A cleared keeper holds the
// largest buffer as its spare, which the next image large enough takes.
TEST(KeptImageRowsTest, BudgetAndSpare) {
    TestDocument doc(
        "", {streamObject(greyImage(4, 2), "abcdefgh"), streamObject(greyImage(4, 2), "ijklmnop"),
             streamObject(greyImage(3, 2), "qrstuv"), streamObject(greyImage(5, 2), "0123456789")});
    ImageXObject* images[4];
    for (int i = 0; i < 4; ++i) {
        images[i] = dynamic_cast<ImageXObject*>(doc.object(4 + i));
        ASSERT_NE(images[i], nullptr) << i;
    }
    KeptImageRows keeper(8);
    KeptImageRows::Scope scope(keeper);
    readAll(*images[0]);
    readAll(*images[1]);
    EXPECT_FALSE(images[0]->hasKeptRows());
    EXPECT_TRUE(images[1]->hasKeptRows());
    EXPECT_EQ(keeper.bytesKept(), 8u);
    readAll(*images[3]);  // 10 bytes: over the budget
    EXPECT_FALSE(images[3]->hasKeptRows());
    EXPECT_TRUE(images[1]->hasKeptRows());

    keeper.clear();
    EXPECT_FALSE(images[1]->hasKeptRows());
    EXPECT_EQ(keeper.bytesKept(), 0u);
    EXPECT_EQ(keeper.spareBytes(), 8u);
    // Six bytes of rows in the spare buffer of eight.
    EXPECT_EQ(readAll(*images[2]), (std::vector<Bytes>{{'q', 'r', 's'}, {'t', 'u', 'v'}}));
    EXPECT_TRUE(images[2]->hasKeptRows());
    EXPECT_EQ(keeper.spareBytes(), 0u);
    EXPECT_EQ(keeper.bytesKept(), 8u);
    EXPECT_EQ(readAll(*images[2]), (std::vector<Bytes>{{'q', 'r', 's'}, {'t', 'u', 'v'}}));
}

// A large buffer for rows is mapped when it is handed out, so that the
// reading keeping rows does not fault on each page it writes; a small one
// is left to the heap.
TEST(KeptImageRowsTest, LargeBuffersAreMappedAtOnce) {
    const auto page = std::size_t(::sysconf(_SC_PAGESIZE));
    // The pages wholly inside the buffer that are mapped, and all of them.
    const auto mapped = [page](const KeptImageRows::Memory& memory) {
        std::uint8_t* const start = memory.bytes.get();
        const std::size_t skip = (page - reinterpret_cast<std::uintptr_t>(start) % page) % page;
        const std::size_t length = (memory.size - skip) / page * page;
        std::vector<unsigned char> pages(length / page);
        if (::mincore(start + skip, length, pages.data()) != 0)
            return std::pair<std::size_t, std::size_t>(0, 1);
        std::size_t in = 0;
        for (unsigned char p : pages)
            in += p & 1;
        return std::pair<std::size_t, std::size_t>(in, pages.size());
    };
    {
        // A system without the advice maps on first write.
        void* probe =
            ::mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(probe, MAP_FAILED);
        const bool advised = ::madvise(probe, page, MADV_POPULATE_WRITE) == 0;
        ::munmap(probe, page);
        if (!advised)
            GTEST_SKIP() << "no MADV_POPULATE_WRITE";
    }
    KeptImageRows keeper(std::size_t{16} << 20);
    const KeptImageRows::Memory large = keeper.rowMemory((std::size_t{5} << 20) + 100);
    ASSERT_TRUE(large.bytes);
    EXPECT_EQ(large.size, (std::size_t{5} << 20) + 100);
    const auto [in, all] = mapped(large);
    EXPECT_EQ(in, all);
    // Written and read in full, as rows are.
    std::memset(large.bytes.get(), 0x5A, large.size);
    EXPECT_EQ(large.bytes[large.size - 1], 0x5A);
}

// The pixels of a drawn image, row by row.
Bytes pixels(RasterImage& image) {
    Bytes out;
    for (int y = 0; y < image.dibHeight(); ++y)
        out.insert(out.end(), image.dibRow(y), image.dibRow(y) + image.dibWidth());
    return out;
}

// A keeper made to keep drawings keeps a copy of each within its budget and
// hands it out for the same image, matrix and rotation mode only; an image
// placed the same way takes its pixels, one placed otherwise does not. A
// cleared keeper has none.
TEST(KeptImageRowsTest, DrawingsForTheSameImageAndMatrix) {
    TestDocument doc(
        "", {streamObject(greyImage(4, 2), "abcdefgh"), streamObject(greyImage(4, 2), "ijklmnop")});
    auto* image = dynamic_cast<ImageXObject*>(doc.object(4));
    auto* other = dynamic_cast<ImageXObject*>(doc.object(5));
    ASSERT_TRUE(image && other);
    const double matrix[6] = {1, 0, 0, -1, 0, 1}, wider[6] = {2, 0, 0, -1, 0, 1};
    RasterImage drawn;
    ASSERT_GT(drawn.begin(4, 2, 1, 8, 0, matrix), 0u);
    for (Bytes row : readAll(*image))
        ASSERT_TRUE(drawn.putRow(row.data(), row.size()));
    const std::int32_t mode = drawn.rotationMode();

    KeptImageRows plain(1 << 20), small(7, true), keeper(1 << 20, true);
    plain.keepDrawing(*image, matrix, drawn);
    small.keepDrawing(*image, matrix, drawn);  // 8 bytes of DIB
    keeper.keepDrawing(*image, matrix, drawn);
    EXPECT_EQ(plain.drawing(*image, matrix, mode), nullptr);
    EXPECT_EQ(small.drawing(*image, matrix, mode), nullptr);
    const RasterImage* kept = keeper.drawing(*image, matrix, mode);
    ASSERT_NE(kept, nullptr);
    EXPECT_NE(kept, &drawn);
    EXPECT_EQ(keeper.drawing(*image, wider, mode), nullptr);
    EXPECT_EQ(keeper.drawing(*other, matrix, mode), nullptr);
    EXPECT_EQ(keeper.drawing(*image, matrix, mode + 1), nullptr);

    RasterImage same, placedOtherwise;
    ASSERT_GT(same.begin(4, 2, 1, 8, 0, matrix), 0u);
    ASSERT_TRUE(same.copyPixelsFrom(*kept));
    EXPECT_EQ(pixels(same), pixels(drawn));
    ASSERT_GT(placedOtherwise.begin(4, 2, 1, 8, 0, wider), 0u);
    EXPECT_FALSE(placedOtherwise.copyPixelsFrom(*kept));

    // Past kMaxDrawings no drawing is kept, so a page of many placements
    // does not make every lookup longer.
    double moved[6] = {1, 0, 0, -1, 0, 1};
    for (std::size_t i = 1; i < KeptImageRows::kMaxDrawings; ++i) {
        moved[4] = double(i);
        keeper.keepDrawing(*image, moved, drawn);
        ASSERT_NE(keeper.drawing(*image, moved, mode), nullptr) << i;
    }
    moved[4] = -1;
    keeper.keepDrawing(*image, moved, drawn);
    EXPECT_EQ(keeper.drawing(*image, moved, mode), nullptr);

    keeper.clear();
    EXPECT_EQ(keeper.drawing(*image, matrix, mode), nullptr);
}

}  // namespace
}  // namespace vistrel
