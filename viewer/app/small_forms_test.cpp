#include "viewer/app/small_forms.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <tuple>

#include "viewer/app/app_test_util.h"
#include "viewer/components/gif_image.h"

namespace brevant {
namespace {

// The prompt answered by a click once it shows, with the edit's text typed.
struct PromptCase {
    const char* typed;
    bool ok;
    bool result;
    const char* password;  // the password afterwards; it starts as "old"
};

TEST(PasswordPrompt, AnswersAndThePasswordItGives) {
    testing::testApp();
    const PromptCase cases[] = {
        {"secret", true, true, "secret"},
        {"", true, true, ""},
        {"typed", false, false, "old"},
    };
    for (const PromptCase& c : cases) {
        TfPassword prompt;
        QTimer::singleShot(0, &prompt, [&] {
            EXPECT_EQ(prompt.Edit1->text(), "");
            prompt.Edit1->setText(QString::fromUtf8(c.typed));
            (c.ok ? prompt.BitBtn2 : prompt.BitBtn1)->click();
        });
        QString password = "old";
        EXPECT_EQ(prompt.AskPassword("report 2.pdf", password), c.result) << c.typed;
        EXPECT_EQ(password, QString::fromUtf8(c.password));
        EXPECT_EQ(prompt.Label1->text(), "\"report 2.pdf\" is protected.");
        EXPECT_EQ(prompt.Edit1->echoMode(), QLineEdit::Password);
    }
}

TEST(Splash, ClosesAfterItsSecondsOrOnAClick) {
    testing::testApp();
    {
        TfSplash splash([] { return 3; });
        EXPECT_EQ(splash.Image1->size(), QSize(200, 200));
        splash.show();
        EXPECT_EQ(splash.Timer1.interval(), 3000);
        EXPECT_TRUE(splash.Timer1.isActive());
        QElapsedTimer clock;
        clock.start();
        while (splash.isVisible() && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_FALSE(splash.isVisible());
        EXPECT_GE(clock.elapsed(), 2900);
        EXPECT_FALSE(splash.Timer1.isActive());
    }
    {
        TfSplash splash([] { return 3; });
        splash.show();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(splash.Image1, &press);
        EXPECT_FALSE(splash.isVisible());
    }
}

TEST(AboutBox, TitleLineAndLogo) {
    testing::testApp();
    TAboutBox about;
    EXPECT_EQ(about.windowTitle(), "About Lumbra for Palm OS");
    EXPECT_EQ(about.ProductName->text().split('\n').value(0), "Lumbra for Palm OS. v1.3");
    EXPECT_EQ(about.ProgramIcon->size(), QSize(111, 40));
    // The logo is drawn, not left blank.
    const QImage logo = about.ProgramIcon->grab().toImage();
    EXPECT_NE(logo.pixel(0, 0), logo.pixel(60, 12));
}

TEST(ProgramPictures, ReadByTheGifReader) {
    for (auto [name, width, height] : {std::tuple{"splash.gif", 200, 200}, {"logo.gif", 111, 40}}) {
        std::unique_ptr<GifImage> picture = programPicture(name);
        ASSERT_FALSE(picture->empty()) << name;
        EXPECT_EQ(picture->width(), width);
        EXPECT_EQ(picture->height(), height);
    }
    EXPECT_TRUE(programPicture("none.gif")->empty());
}

}  // namespace
}  // namespace brevant
