// The page and device dialogs and the device preview over the fake engine:
// Go to Page, the page-range dialog, the device format dialog, and the
// preview's outline, close button, screen, page drawing, drag and wheel.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>
#include <QTimer>
#include <QWheelEvent>

#include <memory>
#include <vector>

#include "tests/viewer/fake_engine_client.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/device_format_dialog.h"
#include "viewer/app/device_preview.h"
#include "viewer/app/go_to_page_dialog.h"
#include "viewer/app/main_form.h"
#include "viewer/app/page_range_dialog.h"
#include "viewer/app/settings_table.h"
#include "viewer/app/small_forms.h"
#include "viewer/components/cool_form.h"
#include "viewer/components/transparent_button.h"

namespace brevant {
namespace {

using namespace win;

class Dialogs : public testing::FakeEngineTest {
protected:
    std::unique_ptr<TBrevantForm> form;

    void SetUp() override {
        FakeEngineTest::SetUp();
        testing::testApp();
        writeSetting(settings::kShowSplash, false);
        form = std::make_unique<TBrevantForm>();
    }
    void TearDown() override {
        form.reset();
        FakeEngineTest::TearDown();
    }
    QString stateText() { return nodeStateText(form->Vistrel1.State().get()); }
    void putView(int page, const char* zoom) {
        setNodeStateText(form->Vistrel1.State().get(),
                         "0,0," + QString::number(page) + "," + zoom + ",4,4,0");
    }
    // Runs the dialog modally; `script` acts once it shows.
    static int run(QDialog& dialog, const std::function<void()>& script) {
        QTimer::singleShot(0, &dialog, script);
        return dialog.exec();
    }
};

TEST_F(Dialogs, GoToPageMovesPageAndZoom) {
    struct Case {
        const char* page;
        const char* zoom;
        const char* state;  // afterwards
        const char* message;
    };
    const Case cases[] = {
        {"2", "50", "0,0,2, 5.00000000000000E-0001,4,4,0", nullptr},
        {"3", "500", "0,0,3, 3.00000000000000E+0000,4,4,0", nullptr},
        // A zoom without digits is reported; the page still moves.
        {"2", "abc", "0,0,2, 1.00000000000000E+0000,4,4,0",
         "Error in Zoom numbered 'abc\nThe Zoom will not be changed"},
        // A page that is not a number leaves the page.
        {"two", "150%", "0,0,1, 1.50000000000000E+0000,4,4,0", nullptr},
        // Below the label's 25 % the zoom is refused too; 25 is taken.
        {"2", "9", "0,0,2, 1.00000000000000E+0000,4,4,0",
         "Error in Zoom numbered '9\nThe Zoom will not be changed"},
        {"2", "-40", "0,0,2, 1.00000000000000E+0000,4,4,0",
         "Error in Zoom numbered '-40\nThe Zoom will not be changed"},
        {"3", "25", "0,0,3, 2.50000000000000E-0001,4,4,0", nullptr},
    };
    for (const Case& c : cases) {
        putView(1, "1.0");
        boxes.shown.clear();
        TGoToPage& dialog = *form->GoToPage;
        const int result = run(dialog, [&] {
            EXPECT_EQ(dialog.Label1->text(), "Enter desired page number (1 to 3)");
            EXPECT_EQ(dialog.eNewPage->text(), "1");
            EXPECT_EQ(dialog.eNewZoom->text(), "100");
            dialog.eNewPage->setText(c.page);
            dialog.eNewZoom->setText(c.zoom);
            dialog.BitBtn2->click();
        });
        EXPECT_EQ(result, QDialog::Accepted) << c.zoom;
        EXPECT_EQ(stateText(), c.state) << c.zoom;
        if (c.message) {
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.shown[0], (MessageRequest{"Go to Page", c.message}));
        } else {
            EXPECT_TRUE(boxes.shown.empty()) << c.zoom;
        }
    }
    // The Go To Page command opens it.
    QTimer::singleShot(0, form->GoToPage, [&] { form->GoToPage->BitBtn1->click(); });
    form->GoToPage1->setEnabled(true);
    form->GoToPage1->trigger();
    EXPECT_EQ(form->GoToPage->result(), QDialog::Rejected);
}

// Each time the dialog shows, the page field has the focus with its text
// selected, whichever field was used last: a page number typed at once
// replaces the page.
TEST_F(Dialogs, GoToPageFocusesThePageFieldEachTime) {
    putView(1, "1.0");
    TGoToPage& dialog = *form->GoToPage;
    for (int round = 0; round < 2; ++round) {
        run(dialog, [&] {
            EXPECT_EQ(dialog.focusWidget(), dialog.eNewPage) << round;
            EXPECT_EQ(dialog.eNewPage->selectedText(), "1") << round;
            dialog.eNewZoom->setFocus();
            dialog.BitBtn1->click();
        });
    }
    run(dialog, [&] {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_3, Qt::NoModifier, "3");
        QCoreApplication::sendEvent(dialog.focusWidget(), &key);
        dialog.BitBtn2->click();
    });
    EXPECT_EQ(stateText(), "0,0,3, 1.00000000000000E+0000,4,4,0");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Dialogs, PageRangeChoices) {
    struct Case {
        QRadioButton* TfPrepPage::*choice;
        const char* typed;
        int mode;  // 0: the dialog stays open with the message
        std::vector<int> pages;
    };
    const Case cases[] = {
        {&TfPrepPage::rbAll, "", 1, {}},
        {&TfPrepPage::rbCurrent, "", 2, {}},
        {&TfPrepPage::rbRange, "3,1-2", 3, {3, 1, 2}},
        {&TfPrepPage::rbRange, "1-2147483647", 3, {1, 2, 3}},
        {&TfPrepPage::rbRange, "5-3", 0, {}},
        {&TfPrepPage::rbRange, "0,4", 0, {}},
    };
    for (const Case& c : cases) {
        TfPrepPage dialog(form->Vistrel1);
        std::vector<int> prepared;
        dialog.OnPreparePages = [&](int mode) { prepared.push_back(mode); };
        boxes.shown.clear();
        bool stayedOpen = false;
        const int result = run(dialog, [&] {
            EXPECT_FALSE(dialog.Edit1->isEnabled());
            (dialog.*c.choice)->click();
            EXPECT_EQ(dialog.Edit1->isEnabled(), c.choice == &TfPrepPage::rbRange);
            dialog.Edit1->setText(c.typed);
            dialog.BitBtn1->click();
            stayedOpen = dialog.isVisible();
            if (stayedOpen)
                dialog.BitBtn2->click();
        });
        if (c.mode == 0) {
            EXPECT_TRUE(stayedOpen) << c.typed;
            EXPECT_EQ(result, QDialog::Rejected);
            EXPECT_EQ(boxes.texts(), std::vector<QString>{"This is not a valid page range"});
            EXPECT_EQ(boxes.shown.at(0).caption, "");
            EXPECT_TRUE(prepared.empty());
        } else {
            EXPECT_EQ(result, QDialog::Accepted) << c.typed;
            EXPECT_EQ(dialog.mode(), c.mode);
            EXPECT_EQ(dialog.pages(), c.pages) << c.typed;
            EXPECT_EQ(prepared, std::vector<int>{c.mode});
            EXPECT_TRUE(boxes.shown.empty());
        }
    }
}

TEST_F(Dialogs, DeviceFormatStates) {
    struct Case {
        int format;
        bool advanced;
        bool brightness;  // "preserve brightness" checked, else "maximize contrast"
        QRadioButton* TfPalmFormat::*click;  // before OK; none for Cancel
        int result;
    };
    const Case cases[] = {
        {4, false, true, &TfPalmFormat::rbAdvanced, 16},
        {16, true, true, &TfPalmFormat::rbPalmVb, 17},
        {17, true, false, &TfPalmFormat::rbPalmIII, 4},
        {17, true, false, nullptr, 17},
    };
    for (const Case& c : cases) {
        TfPalmFormat dialog;
        dialog.setFormat(c.format);
        run(dialog, [&] {
            EXPECT_EQ(dialog.rbAdvanced->isChecked(), c.advanced) << c.format;
            EXPECT_EQ(dialog.rbPalmIII->isChecked(), !c.advanced);
            EXPECT_EQ(dialog.rbPalmVa->isChecked(), c.brightness);
            EXPECT_EQ(dialog.rbPalmVb->isChecked(), !c.brightness);
            for (QRadioButton* choice : {dialog.rbPalmVa, dialog.rbPalmVb})
                EXPECT_EQ(choice->isEnabled(), c.advanced);
            if (!c.click) {
                dialog.BitBtn2->click();
                return;
            }
            (dialog.*c.click)->click();
            EXPECT_EQ(dialog.rbPalmVa->isEnabled(), c.click != &TfPalmFormat::rbPalmIII);
            dialog.BitBtn1->click();
        });
        EXPECT_EQ(dialog.format(), c.result) << c.format;
    }
}

// The body's outline is its opaque pixels, and the form keeps it.
TEST_F(Dialogs, PreviewShapeButtonAndScreen) {
    TfPalm& palm = *form->fPalm;
    EXPECT_EQ(palm.size(), QSize(239, 361));
    EXPECT_TRUE(palm.windowFlags() & Qt::FramelessWindowHint);
    const QImage body = devicePicture();
    ASSERT_EQ(body.size(), palm.size());
    const QRegion outline = palm.mask();
    EXPECT_EQ(outline.boundingRect(), QRect(QPoint(4, 3), QPoint(236, 359)));
    int wrong = 0;
    for (int y = 0; y < body.height(); ++y)
        for (int x = 0; x < body.width(); ++x)
            wrong += (qAlpha(body.pixel(x, y)) != 0) != outline.contains(QPoint(x, y));
    EXPECT_EQ(wrong, 0);
    const ByteSpan stored = pictureResource("device.rgn");
    EXPECT_EQ(palm.CoolForm1->writeMask2(), Bytes(stored.begin(), stored.end()));

    TransparentButton& close = *palm.TransparentButton1;
    EXPECT_EQ(close.geometry(), QRect(198, 10, 24, 21));
    EXPECT_EQ(close.frameStyle(), TransparentButton::FrameStyle::None);
    EXPECT_FALSE(close.autoGray());
    EXPECT_EQ(close.numGlyphs(), 1);
    EXPECT_EQ(palm.Panel1->geometry(), QRect(44, 50, 160, 160));
    EXPECT_EQ(palm.Panel1->palette().color(QPalette::Window), QColor(0x7B, 0x8C, 0x63));

    // Shown, the window paints the body and keeps its outline.
    palm.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(palm.CoolForm1->picture(), body);
    EXPECT_EQ(palm.mask(), outline);
    EXPECT_EQ(palm.CoolForm1->writeMask2(), Bytes(stored.begin(), stored.end()));
    palm.close();
}

TEST_F(Dialogs, PreviewDrawsThePageThroughTheEngine) {
    TfPalm& palm = *form->fPalm;
    auto fake = testing::fakeOf(form->Vistrel1);
    palm.PaintBox1->resize(200, 300);
    palm.show();
    QCoreApplication::processEvents();
    testing::takeCalls(fake.get());
    palm.PaintBox1->repaint();
    const QString calls = testing::takeCalls(fake.get());
    EXPECT_TRUE(calls.contains(QRegularExpression("^draw [0-9]+,0,0,200,300,0,0$",
                                                  QRegularExpression::MultilineOption)))
        << calls.toStdString();
    palm.close();
}

// Mouse events on the page: press at `from`, move to `to`, release, all in
// the page's own coordinates at the press.
void drag(QWidget* page, QPoint from, QPoint to) {
    const QPoint origin = page->mapToGlobal(QPoint(0, 0));
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), QPointF(origin + at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                      Qt::NoModifier);
        QApplication::sendEvent(page, &e);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
}

TEST_F(Dialogs, PreviewPageDragAndWheel) {
    TfPalm& palm = *form->fPalm;
    struct Case {
        QSize page;
        QPoint start;
        QPoint by;
        QPoint expected;
    };
    const Case cases[] = {
        {{300, 400}, {0, 0}, {-50, -70}, {-50, -70}},
        // Never past the screen's top-left, nor short of its bottom-right.
        {{300, 400}, {-50, -70}, {80, 90}, {0, 0}},
        {{300, 400}, {0, 0}, {-500, -500}, {-140, -240}},
        // A page smaller than the screen is pinned to its lower right.
        {{100, 80}, {0, 0}, {-10, 5}, {60, 80}},
        {{100, 80}, {0, 0}, {30, 30}, {60, 80}},
    };
    palm.show();
    for (const Case& c : cases) {
        palm.PaintBox1->resize(c.page);
        palm.PaintBox1->move(c.start);
        drag(palm.PaintBox1, {20, 20}, QPoint(20, 20) + c.by);
        EXPECT_EQ(palm.PaintBox1->pos(), c.expected) << c.page.width() << " " << c.by.x();
    }
    // After a release a move drags nothing.
    palm.PaintBox1->resize(300, 400);
    palm.PaintBox1->move(-10, -10);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(palm.PaintBox1->mapToGlobal(QPoint(5, 5))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(palm.PaintBox1, &move);
    EXPECT_EQ(palm.PaintBox1->pos(), QPoint(-10, -10));

    // The wheel over the form moves the page 15 pixels a step, up to the
    // screen's edges; a wheel step of 0 counts as upwards.
    const auto wheel = [&](int delta) {
        QWheelEvent e(QPointF(100, 100), QPointF(palm.mapToGlobal(QPoint(100, 100))), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&palm, &e);
    };
    palm.PaintBox1->move(0, 0);
    wheel(-120);
    EXPECT_EQ(palm.PaintBox1->pos(), QPoint(0, -15));
    wheel(0);
    EXPECT_EQ(palm.PaintBox1->pos(), QPoint(0, 0));
    wheel(120);
    EXPECT_EQ(palm.PaintBox1->pos(), QPoint(0, 0));
    for (int i = 0; i < 20; ++i)
        wheel(-120);
    EXPECT_EQ(palm.PaintBox1->pos(), QPoint(0, -240));
    palm.PaintBox1->resize(100, 80);
    wheel(120);
    EXPECT_EQ(palm.PaintBox1->pos(), QPoint(0, 80));
    palm.close();
}

TEST_F(Dialogs, PreviewClosesWithEscAndTheCloseButton) {
    TfPalm& palm = *form->fPalm;
    for (int way = 0; way < 2; ++way) {
        palm.PaintBox1->move(-30, -40);
        const int result = run(palm, [&] {
            // Each showing starts at the screen's corner.
            EXPECT_EQ(palm.PaintBox1->pos(), QPoint(0, 0));
            if (way == 0) {
                QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(&palm, &esc);
            } else {
                TransparentButton* close = palm.TransparentButton1;
                for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                    QMouseEvent e(type, QPointF(12, 10), QPointF(close->mapToGlobal(QPoint(12, 10))),
                                  Qt::LeftButton,
                                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                  Qt::NoModifier);
                    QApplication::sendEvent(close, &e);
                }
            }
            if (palm.isVisible()) {
                ADD_FAILURE() << "still open, way " << way;
                palm.reject();
            }
        });
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_FALSE(palm.isVisible());
    }
}

}  // namespace
}  // namespace brevant
