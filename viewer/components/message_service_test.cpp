#include "viewer/components/message_service.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "viewer/components/message_test_util.h"
#include "viewer/components/qt_test_util.h"

namespace brevant {
namespace {

// The real boxes: what they show, which button has the focus, and the
// answer of the button pressed (or of closing the box).
TEST(MessageService, QtBoxes) {
    testing::testApp();
    QtMessageService service;
    MessageService* previous = setMessageService(&service);
    struct Case {
        MessageRequest request;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton focused;
        QMessageBox::StandardButton press;  // NoButton: close the box
        MessageAnswer answer;
    };
    const Case cases[] = {
        {{"Error", "There was an error opening this document.", MessageIcon::Error},
         QMessageBox::Critical,
         QMessageBox::Ok,
         QMessageBox::Ok,
         QMessageBox::Ok,
         MessageAnswer::Ok},
        {{"Warning", "Do you want to delete all records?", MessageIcon::Warning,
          MessageButtons::YesNo, MessageAnswer::Yes},
         QMessageBox::Warning,
         QMessageBox::Yes | QMessageBox::No,
         QMessageBox::Yes,
         QMessageBox::No,
         MessageAnswer::No},
        {{"Warning", "x.pdb already exist.\rDo you want to replace it?", MessageIcon::Warning,
          MessageButtons::YesNo, MessageAnswer::No},
         QMessageBox::Warning,
         QMessageBox::Yes | QMessageBox::No,
         QMessageBox::No,
         QMessageBox::Yes,
         MessageAnswer::Yes},
        {{"Warning", "Save?", MessageIcon::Warning, MessageButtons::YesNoCancel,
          MessageAnswer::Yes},
         QMessageBox::Warning,
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
         QMessageBox::Yes,
         QMessageBox::NoButton,
         MessageAnswer::Cancel},
        {{"", "This is not a valid page range"},
         QMessageBox::NoIcon,
         QMessageBox::Ok,
         QMessageBox::Ok,
         QMessageBox::Ok,
         MessageAnswer::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request.text.toStdString());
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = true;
            // An empty caption is given as a blank, which the window system
            // shows as it is rather than putting the program's name there.
            EXPECT_EQ(box->windowTitle(),
                      c.request.caption.isEmpty() ? QString(" ") : c.request.caption);
            EXPECT_EQ(box->text(), c.request.text);
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_EQ(box->standardButtons(), c.buttons);
            EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(c.focused));
            EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
            if (c.press == QMessageBox::NoButton) {
                box->reject();
            } else {
                box->button(c.press)->click();
            }
        });
        EXPECT_EQ(showMessage(c.request), c.answer);
        EXPECT_TRUE(seen);
    }
    setMessageService(previous);
}

TEST(MessageService, WithoutAServiceTheDefaultAnswerComesBack) {
    MessageService* previous = setMessageService(nullptr);
    EXPECT_EQ(askWarning("?", MessageButtons::YesNo, MessageAnswer::No), MessageAnswer::No);
    setMessageService(previous);
    testing::ScriptedMessages boxes;
    boxes.answers = {MessageAnswer::Ok, MessageAnswer::Yes};
    showError("e");
    EXPECT_EQ(askWarning("w", MessageButtons::YesNoCancel, MessageAnswer::Cancel),
              MessageAnswer::Yes);
    showWarning("v");
    EXPECT_EQ(boxes.shown,
              (std::vector<MessageRequest>{{"Error", "e", MessageIcon::Error},
                                           {"Warning", "w", MessageIcon::Warning,
                                            MessageButtons::YesNoCancel, MessageAnswer::Cancel},
                                           {"Warning", "v", MessageIcon::Warning}}));
}

}  // namespace
}  // namespace brevant
