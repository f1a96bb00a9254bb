#include "viewer/app/application.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTimer>

#include <vector>

#include "viewer/app/app_test_util.h"
#include "viewer/app/engine_error.h"
#include "viewer/app/options.h"
#include "viewer/app/posted_messages.h"
#include "viewer/components/graphic_errors.h"
#include "viewer/components/message_test_util.h"

namespace brevant {
namespace {

TEST(EngineErrors, FailingResultsRaise) {
    EXPECT_EQ(checkResult(win::S_OK), win::S_OK);
    EXPECT_EQ(checkResult(win::S_FALSE), win::S_FALSE);
    EXPECT_EQ(checkResult(2), 2);
    const win::HRESULT failures[] = {win::E_FAIL, win::E_ACCESSDENIED, win::REGDB_E_CLASSNOTREG,
                                     win::HRESULT(0x80000000u), win::HRESULT(0x8ABCDEF0u)};
    for (win::HRESULT hr : failures) {
        try {
            checkResult(hr);
            ADD_FAILURE() << "no error for " << resultText(hr);
        } catch (const EngineError& e) {
            EXPECT_EQ(e.result(), hr);
        }
    }
    EXPECT_EQ(resultText(win::REGDB_E_CLASSNOTREG), "Class not registered (0x80040154)");
    EXPECT_EQ(resultText(win::HRESULT(0x8ABCDEF0u)), "Engine error 0x8ABCDEF0");
}

// What the loop dispatches runs inside the default error handler: an error
// is shown in an "Error" box and the next event still runs.
TEST(DefaultErrorHandler, ShowsTheErrorAndGoesOn) {
    testing::testApp();
    testing::ScriptedMessages boxes;
    std::vector<int> ran;
    QTimer::singleShot(0, [&] {
        ran.push_back(1);
        checkResult(win::E_ACCESSDENIED);
    });
    QTimer::singleShot(0, [&] {
        ran.push_back(2);
        throw SettingsError("Failed to set data for 'Left panel'");
    });
    QTimer::singleShot(0, [&] {
        ran.push_back(3);
        throw Abort();  // ends silently
    });
    QTimer::singleShot(0, [&] {
        ran.push_back(4);
        throw 42;
    });
    QTimer::singleShot(0, [&] {
        ran.push_back(5);
        QCoreApplication::exit(0);
    });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(boxes.shown, (std::vector<MessageRequest>{
                               {"Error", "Access is denied (0x80070005)", MessageIcon::Error},
                               {"Error", "Failed to set data for 'Left panel'", MessageIcon::Error},
                               {"Error", "Unknown error", MessageIcon::Error}}));
    EXPECT_FALSE(runGuarded([] { throw EngineError(win::E_FAIL); }));
    EXPECT_TRUE(runGuarded([] {}));
    EXPECT_EQ(boxes.shown.size(), 4u);
}

class MessageReceiver : public QObject {
public:
    std::vector<int> received;
    std::function<void(int)> onMessage;

protected:
    bool event(QEvent* e) override {
        if (int message = postedMessage(e)) {
            received.push_back(message);
            if (onMessage)
                onMessage(message);
            return true;
        }
        return QObject::event(e);
    }
};

TEST(PostedMessages, RunAfterTheWorkAtHandInOrder) {
    testing::testApp();
    testing::ScriptedMessages boxes;
    MessageReceiver frame, form;
    auto* gone = new MessageReceiver;
    std::vector<std::string> order;
    QTimer::singleShot(0, [&] {
        postMessage(&frame, kLayoutPageViewMessage);
        postMessage(&form, kEndSelectionPermissionMessage);
        postMessage(gone, kLayoutPageViewMessage);
        postMessage(&frame, kLayoutPageViewMessage);  // not merged
        delete gone;                                  // its message is dropped
        order.push_back("posted");
        EXPECT_TRUE(frame.received.empty());
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    });
    frame.onMessage = [&](int) { order.push_back("frame"); };
    form.onMessage = [&](int) {
        order.push_back("form");
        throw EngineError(win::E_FAIL);  // reaches the default handler
    };
    QCoreApplication::exec();
    EXPECT_EQ(order, (std::vector<std::string>{"posted", "frame", "form", "frame"}));
    EXPECT_EQ(frame.received, (std::vector<int>{0x403, 0x403}));
    EXPECT_EQ(form.received, (std::vector<int>{0x404}));
    EXPECT_EQ(boxes.texts(), (std::vector<QString>{"Unspecified error (0x80004005)"}));
    QEvent other(QEvent::User);
    EXPECT_EQ(postedMessage(&other), 0);
}

}  // namespace
}  // namespace brevant
