// What the window system shows of the viewer's windows, on an X display
// (on_x_display.sh runs this program): the titles of the message boxes are
// the captions they are given, an empty one included.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "viewer/app/app_test_util.h"
#include "viewer/components/message_service.h"

namespace brevant {
namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};

class XDisplay {
public:
    XDisplay() : c_(xcb_connect(nullptr, nullptr)) {}
    ~XDisplay() { xcb_disconnect(c_); }
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    // The window's _NET_WM_NAME; nothing while it has none.
    std::optional<std::string> title(xcb_window_t window) {
        const xcb_atom_t name = atom("_NET_WM_NAME"), utf8 = atom("UTF8_STRING");
        std::unique_ptr<xcb_get_property_reply_t, Free> reply(xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, window, name, utf8, 0, 1024), nullptr));
        if (!reply || reply->type == XCB_ATOM_NONE)
            return std::nullopt;
        return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                           size_t(xcb_get_property_value_length(reply.get())));
    }

private:
    xcb_atom_t atom(const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, Free> reply(xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    xcb_connection_t* c_;
};

TEST(WindowTitles, MessageBoxesShowTheirCaptions) {
    testing::testApp();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    XDisplay display;
    QtMessageService boxes;
    // The page range dialog's box has an empty caption.
    for (const char* caption : {"", "Error", "Warning"}) {
        std::optional<std::string> shown;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            for (int tries = 0; !shown && tries < 100; ++tries) {
                shown = display.title(xcb_window_t(box->winId()));
                if (!shown)
                    QThread::msleep(10);
            }
            poll.stop();
            box->done(QMessageBox::Ok);
        });
        poll.start(10);
        boxes.show({caption, "This is not a valid page range"});
        ASSERT_TRUE(shown) << caption;
        EXPECT_EQ(QString::fromStdString(*shown).trimmed().toStdString(), caption);
    }
}

}  // namespace
}  // namespace brevant
