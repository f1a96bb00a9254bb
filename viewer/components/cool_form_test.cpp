#include "viewer/components/cool_form.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QRegion>

#include <cstdint>
#include <functional>

#include "viewer/components/qt_test_util.h"

namespace brevant {
namespace {

// A window with a control on it, made after the application.
struct Shaped {
    QWidget form;
    TCoolForm* control;
    Shaped() : form((testing::testApp(), nullptr)) {
        form.resize(120, 90);
        control = new TCoolForm(&form);
    }
};

// An L shape: (10, 5)-(60, 20) and (10, 20)-(30, 70).
win::HRGN lShape() {
    win::HRGN a = win::CreateRectRgn(10, 5, 60, 20);
    win::HRGN b = win::CreateRectRgn(10, 20, 30, 70);
    win::CombineRgn(a, a, b, win::RGN_OR);
    win::DeleteObject(b);
    return a;
}

QRegion lShapeRegion() {
    return QRegion(10, 5, 50, 15) + QRegion(10, 20, 20, 50);
}

TEST(CoolForm, PlacedOnAFormItFillsItBorderless) {
    Shaped s;
    EXPECT_TRUE(s.form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(s.control->geometry(), QRect(0, 0, 120, 90));
    s.control->setLeft(100);
    s.control->setTop(-7);
    EXPECT_EQ(s.control->left(), 0);
    EXPECT_EQ(s.control->top(), 0);
    // The control follows the form's size once the form shows.
    s.form.resize(200, 150);
    s.form.show();
    EXPECT_EQ(s.control->geometry(), QRect(0, 0, 200, 150));
    EXPECT_TRUE(s.control->draggable());
}

TEST(CoolForm, Mask2RoundTripShapesTheForm) {
    Shaped original;
    original.control->Mask().setRegion(lShape());
    const Bytes block = original.control->writeMask2();
    // Count, then the header and the two banded rectangles.
    ASSERT_EQ(block.size(), 4u + 32 + 2 * 16);
    EXPECT_EQ(le32At(block, 0), 32u + 2 * 16);
    EXPECT_EQ(le32At(block, 4), 32u);
    EXPECT_EQ(le32At(block, 12), 2u);

    Shaped loaded;
    loaded.control->readMask2(block);
    ASSERT_TRUE(loaded.control->Mask().region());
    EXPECT_EQ(loaded.form.mask(), lShapeRegion());
    EXPECT_EQ(loaded.control->writeMask2(), block);

    // A new picture lets the region go; the form keeps its outline.
    loaded.control->setPicture(QImage(120, 90, QImage::Format_ARGB32));
    EXPECT_FALSE(loaded.control->Mask().region());
    EXPECT_EQ(loaded.form.mask(), lShapeRegion());
    EXPECT_EQ(loaded.control->writeMask2(), Bytes(4, 0));
}

TEST(CoolForm, NoRegionAndMalformedBlocksLeaveTheFormRectangular) {
    Shaped source;
    source.control->Mask().setRegion(lShape());
    const Bytes good = source.control->writeMask2();
    const auto edited = [&](const std::function<void(Bytes&)>& edit) {
        Bytes b = good;
        edit(b);
        return b;
    };
    const auto put = [](Bytes& b, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = std::uint8_t(v >> (8 * i));
    };
    struct Case {
        const char* what;
        Bytes block;
    };
    const Case cases[] = {
        {"no region", Bytes(4, 0)},
        {"empty block", {}},
        {"negative count", edited([&](Bytes& b) { put(b, 0, 0xFFFFFFF0u); })},
        {"count past the block", edited([&](Bytes& b) { put(b, 0, 32 + 3 * 16); })},
        {"count shorter than a header", edited([&](Bytes& b) { put(b, 0, 20); })},
        {"header size not 32", edited([&](Bytes& b) { put(b, 4, 40); })},
        {"not rectangles", edited([&](Bytes& b) { put(b, 8, 2); })},
        {"more rectangles than the block holds", edited([&](Bytes& b) { put(b, 12, 3); })},
        {"rectangle count overflowing", edited([&](Bytes& b) { put(b, 12, 0x10000000u); })},
    };
    for (const Case& c : cases) {
        Shaped s;
        s.control->Mask().setRegion(lShape());
        s.control->readMask2(c.block);
        EXPECT_FALSE(s.control->Mask().region()) << c.what;
        EXPECT_TRUE(s.form.mask().isEmpty()) << c.what;
        EXPECT_EQ(s.control->writeMask2(), Bytes(4, 0)) << c.what;
    }
}

TEST(CoolForm, LeftButtonDragsTheForm) {
    Shaped s;
    s.form.move(100, 100);
    s.form.show();
    const auto send = [&](QEvent::Type type, Qt::MouseButton button, QPoint global) {
        const QPoint local = global - s.form.pos();
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, QPointF(local), QPointF(global),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
        QApplication::sendEvent(s.control, &e);
    };
    for (Qt::MouseButton other : {Qt::RightButton, Qt::MiddleButton}) {
        send(QEvent::MouseButtonPress, other, {130, 120});
        send(QEvent::MouseMove, other, {170, 150});
        send(QEvent::MouseButtonRelease, other, {170, 150});
        EXPECT_EQ(s.form.pos(), QPoint(100, 100));
    }
    send(QEvent::MouseButtonPress, Qt::LeftButton, {130, 120});
    send(QEvent::MouseMove, Qt::LeftButton, {170, 150});
    EXPECT_EQ(s.form.pos(), QPoint(140, 130));
    send(QEvent::MouseButtonRelease, Qt::LeftButton, {170, 150});
    send(QEvent::MouseMove, Qt::LeftButton, {200, 200});
    EXPECT_EQ(s.form.pos(), QPoint(140, 130));
}

}  // namespace
}  // namespace brevant
