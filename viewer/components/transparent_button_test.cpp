#include "viewer/components/transparent_button.h"

#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

#include "viewer/components/qt_test_util.h"

// Under the leak checker, the font configuration library that Qt loads for
// captions keeps allocations of its own to the end; they are not reported.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the leak checker looks for
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace brevant {
namespace {

using Style = TransparentButton::FrameStyle;
using Align = TransparentButton::TextAlign;

constexpr QRgb kBackdrop = 0xFFFF00FF;
constexpr QRgb kOlive = 0xFF808000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
               kYellow = 0xFFFFFF00;

// Makes the application before any widget of the fixture.
struct WithApp {
    WithApp() { testing::testApp(); }
};

// A button on a parent of a known colour; grabs show the parent through.
struct Fixture : WithApp {
    QWidget parent;
    TransparentButton* button;

    explicit Fixture(QSize size = {24, 20}) {
        parent.resize(80, 80);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor::fromRgb(kBackdrop));
        parent.setPalette(pal);
        parent.setAutoFillBackground(true);
        button = new TransparentButton(&parent);
        button->setGeometry(10, 10, size.width(), size.height());
    }

    QImage grab() { return parent.grab(button->geometry()).toImage(); }
    QRgb colour(QPalette::ColorRole role) const {
        return button->palette().color(QPalette::Active, role).rgb();
    }

    void send(QEvent::Type type, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
        Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(b);
        QMouseEvent e(type, QPointF(pos), QPointF(button->mapToGlobal(pos)), b, held,
                      Qt::NoModifier);
        QApplication::sendEvent(button, &e);
    }
    void enter() {
        QEnterEvent e(QPointF(1, 1), QPointF(1, 1), QPointF(button->mapToGlobal(QPoint(1, 1))));
        QApplication::sendEvent(button, &e);
    }
};

// An 8 x 8 cell per colour: olive, with a 4 x 4 square of the colour in it.
QImage glyphOf(std::initializer_list<QRgb> colours) {
    QImage g(8 * int(colours.size()), 8, QImage::Format_RGB32);
    g.fill(kOlive);
    int i = 0;
    for (QRgb c : colours) {
        for (int y = 2; y < 6; ++y)
            for (int x = 2; x < 6; ++x)
                g.setPixel(8 * i + x, y, c);
        ++i;
    }
    return g;
}

TEST(TransparentButton, DrawsEachFrameStyle) {
    enum State { Normal, Hot, Down };
    struct Case {
        Style style;
        State state;
        QPalette::ColorRole topLeft, bottomRight;  // NoRole: the parent shows
    } cases[] = {
        {Style::Regular, Normal, QPalette::Light, QPalette::NoRole},  // bottom-right black
        {Style::Regular, Down, QPalette::NoRole, QPalette::Light},    // top-left black
        {Style::Indent, Normal, QPalette::Dark, QPalette::Light},
        {Style::Indent, Down, QPalette::NoRole, QPalette::Light},
        {Style::Explorer, Normal, QPalette::NoRole, QPalette::NoRole},
        {Style::Explorer, Hot, QPalette::Light, QPalette::Dark},
        {Style::Explorer, Down, QPalette::Dark, QPalette::Light},
        {Style::None, Normal, QPalette::NoRole, QPalette::NoRole},
        {Style::None, Hot, QPalette::NoRole, QPalette::NoRole},
        {Style::None, Down, QPalette::NoRole, QPalette::NoRole},
        {Style::Light, Normal, QPalette::Light, QPalette::Dark},
        {Style::Light, Down, QPalette::Dark, QPalette::Light},
        {Style::Dark, Normal, QPalette::Button, QPalette::Shadow},
        {Style::Dark, Down, QPalette::Shadow, QPalette::Button},
        {Style::Mono, Normal, QPalette::Light, QPalette::Shadow},
        {Style::Mono, Down, QPalette::Shadow, QPalette::Light},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "style " << int(c.style) << " state " << int(c.state));
        Fixture f;
        f.button->setFrameStyle(c.style);
        if (c.state == Hot)
            f.enter();
        if (c.state == Down)
            f.button->setDown(true);
        QImage img = f.grab();
        auto expected = [&](QPalette::ColorRole role, bool regularBlack) {
            if (role != QPalette::NoRole)
                return f.colour(role);
            bool black = regularBlack && (c.style == Style::Regular || c.style == Style::Indent);
            return black ? 0xFF000000 : kBackdrop;
        };
        EXPECT_EQ(img.pixel(0, 0), expected(c.topLeft, c.state == Down));
        EXPECT_EQ(img.pixel(23, 19), expected(c.bottomRight, c.state == Normal));
    }
}

TEST(TransparentButton, OpaqueButtonsFillTheFace) {
    Fixture f;
    f.button->setTransparent(false);
    EXPECT_EQ(f.grab().pixel(12, 10), f.colour(QPalette::Button));
    f.button->setFrameStyle(Style::Regular);
    QImage img = f.grab();
    EXPECT_EQ(img.pixel(0, 0), f.colour(QPalette::Light));
    EXPECT_EQ(img.pixel(1, 1), f.colour(QPalette::Button));
    EXPECT_EQ(img.pixel(22, 18), f.colour(QPalette::Dark));
}

TEST(TransparentButton, OneCellGlyphLooks) {
    // The glyph sits at ((24 - 8) div 2, (20 - 8) div 2) = (8, 6); its olive
    // background is left out.
    const QPoint inner(8 + 3, 6 + 3), outer(8, 6), belowRight(8 + 6, 6 + 6);
    Fixture f;
    f.button->setGlyph(glyphOf({kRed}));
    EXPECT_EQ(f.button->numGlyphs(), 1);
    EXPECT_EQ(f.button->images().size(), 3u);
    QImage grey = f.grab();
    int g = (11 * 255) / 100;  // red weighs 11
    EXPECT_EQ(grey.pixel(inner), qRgb(g, g, g));
    EXPECT_EQ(grey.pixel(outer), kBackdrop);
    f.enter();
    EXPECT_EQ(f.grab().pixel(inner), kRed);
    f.button->setEnabled(false);
    EXPECT_FALSE(f.button->isHot());
    QImage disabled = f.grab();
    EXPECT_EQ(disabled.pixel(inner), f.colour(QPalette::Dark));
    EXPECT_EQ(disabled.pixel(belowRight), f.colour(QPalette::Light));
    EXPECT_EQ(disabled.pixel(outer), kBackdrop);
    f.button->setEnabled(true);
    f.button->setAutoGray(false);
    EXPECT_EQ(f.grab().pixel(inner), kRed);
    f.button->setDown(true);  // pressed look moves the glyph by one pixel
    EXPECT_EQ(f.grab().pixel(8 + 2, 6 + 2), kBackdrop);
    EXPECT_EQ(f.grab().pixel(8 + 6, 6 + 6), kRed);
}

TEST(TransparentButton, FourCellGlyphChoosesByState) {
    Fixture f;
    f.button->setFrameStyle(Style::None);
    f.button->setGlyph(glyphOf({kRed, kGreen, kBlue, kYellow}));
    ASSERT_EQ(f.button->numGlyphs(), 4);
    EXPECT_EQ(f.button->images().size(), 6u);
    const QPoint inner(8 + 3, 6 + 3);
    EXPECT_EQ(f.grab().pixel(inner), kRed);
    f.button->setDown(true);
    EXPECT_EQ(f.grab().pixel(inner + QPoint(1, 1)), kBlue);
    f.button->setDown(false);
    f.button->setEnabled(false);
    EXPECT_EQ(f.grab().pixel(inner), kGreen);
}

TEST(TransparentButton, CellCountFollowsTheGlyphShape) {
    struct Case {
        int width, height, cells;
    } cases[] = {{64, 16, 4}, {80, 16, 1}, {50, 16, 3}, {48, 16, 3}, {16, 16, 1}, {32, 16, 2}};
    for (const Case& c : cases) {
        Fixture f;
        f.button->setNumGlyphs(3);
        QImage g(c.width, c.height, QImage::Format_RGB32);
        g.fill(kOlive);
        f.button->setGlyph(g);
        EXPECT_EQ(f.button->numGlyphs(), c.cells) << c.width << " x " << c.height;
        EXPECT_EQ(int(f.button->images().size()), c.cells + 2);
    }
}

TEST(TransparentButton, PlacesGlyphAndCaption) {
    // 40 x 40, spacing 2, an 8 x 8 glyph.
    struct Case {
        Align align;
        QPoint glyph;
        int captionSide;  // -1 above the glyph, 1 below, 0 beside
    } cases[] = {
        {Align::TopLeft, {16, 30}, -1},   {Align::Top, {16, 30}, -1},
        {Align::TopRight, {16, 30}, -1},  {Align::Right, {2, 16}, 0},
        {Align::BottomRight, {16, 2}, 1}, {Align::Bottom, {16, 2}, 1},
        {Align::BottomLeft, {16, 2}, 1},  {Align::Left, {30, 16}, 0},
        {Align::Center, {16, 16}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.align));
        Fixture f({40, 40});
        f.button->setFrameStyle(Style::None);
        f.button->setTextAlign(c.align);
        f.button->setGlyph(glyphOf({kRed}));
        QImage img = f.grab();
        EXPECT_EQ(img.pixel(c.glyph + QPoint(2, 2)), kRed);
        EXPECT_EQ(img.pixel(c.glyph + QPoint(1, 1)), kBackdrop);
        if (c.captionSide == 0)
            continue;
        f.button->setCaption("Ab");
        img = f.grab();
        int textTop = 40, textBottom = -1;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                bool inGlyph = QRect(c.glyph, QSize(8, 8)).contains(x, y);
                if (!inGlyph && img.pixel(x, y) != kBackdrop) {
                    textTop = std::min(textTop, y);
                    textBottom = std::max(textBottom, y);
                }
            }
        ASSERT_GE(textBottom, 0) << "no caption drawn";
        if (c.captionSide < 0)
            EXPECT_LT(textBottom, c.glyph.y());
        else
            EXPECT_GE(textTop, c.glyph.y() + 8);
    }
}

TEST(TransparentButton, PressTracksTheMouseAndClicksInside) {
    Fixture f;
    int clicks = 0, ups = 0, downs = 0;
    QObject::connect(f.button, &TransparentButton::clicked, [&] { ++clicks; });
    QObject::connect(f.button, &TransparentButton::mouseUp, [&] { ++ups; });
    QObject::connect(f.button, &TransparentButton::mouseDown, [&] { ++downs; });

    f.send(QEvent::MouseButtonPress, {5, 5});
    EXPECT_TRUE(f.button->isPressedLook());
    f.send(QEvent::MouseMove, {40, 5});
    EXPECT_FALSE(f.button->isPressedLook());
    f.send(QEvent::MouseMove, {6, 6});
    EXPECT_TRUE(f.button->isPressedLook());
    f.send(QEvent::MouseMove, {40, 5});
    f.send(QEvent::MouseButtonRelease, {40, 5});
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(ups, 1);

    f.send(QEvent::MouseButtonPress, {5, 5});
    f.send(QEvent::MouseButtonRelease, {5, 5});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(ups, 2);
    EXPECT_EQ(downs, 2);
    EXPECT_FALSE(f.button->isPressedLook());

    // Latched down: the pressed look stays and no mouse-up is reported.
    f.button->setDown(true);
    f.send(QEvent::MouseButtonPress, {5, 5});
    f.send(QEvent::MouseButtonRelease, {5, 5});
    EXPECT_TRUE(f.button->isPressedLook());
    EXPECT_EQ(ups, 2);

    // Disabled: presses are ignored.
    f.button->setDown(false);
    f.button->setEnabled(false);
    f.send(QEvent::MouseButtonPress, {5, 5});
    EXPECT_FALSE(f.button->isPressedLook());
    EXPECT_EQ(downs, 3);
}

TEST(TransparentButton, PopupMenuDropsBelowAndLeavesNoClick) {
    Fixture f;
    QMenu menu;
    menu.addAction("Item");
    f.button->setPopupMenu(&menu);
    int clicks = 0, ups = 0;
    QObject::connect(f.button, &TransparentButton::clicked, [&] { ++clicks; });
    QObject::connect(f.button, &TransparentButton::mouseUp, [&] { ++ups; });
    QPoint shownAt;
    QTimer::singleShot(0, &menu, [&] {
        shownAt = menu.pos();
        menu.close();
    });
    f.send(QEvent::MouseButtonPress, {5, 5});
    EXPECT_EQ(shownAt, f.button->mapToGlobal(QPoint(0, 20)));
    EXPECT_FALSE(f.button->isPressedLook());
    EXPECT_EQ(ups, 1);
    f.send(QEvent::MouseButtonRelease, {5, 5});
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(ups, 1);
    // A menu that goes away is forgotten.
    auto* temporary = new QMenu;
    f.button->setPopupMenu(temporary);
    delete temporary;
    EXPECT_EQ(f.button->popupMenu(), nullptr);
}

TEST(TransparentButton, MovableButtonFollowsTheMouse) {
    Fixture f;
    f.button->setMovable(true);
    f.send(QEvent::MouseButtonPress, {5, 5});
    f.send(QEvent::MouseMove, {10, 8});
    EXPECT_EQ(f.button->pos(), QPoint(15, 13));
    f.send(QEvent::MouseButtonRelease, {5, 5});
    f.button->setMovable(false);
    f.send(QEvent::MouseButtonPress, {5, 5});
    f.send(QEvent::MouseMove, {10, 8});
    EXPECT_EQ(f.button->pos(), QPoint(15, 13));
}

}  // namespace
}  // namespace brevant
