// Every label, button caption, group title, tab caption and menu text of the
// main window and of its dialogs fits its widget at the default font: no
// text is drawn wider (or, wrapped, taller) than the room its widget gives
// it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <memory>

#include "tests/viewer/fake_engine_client.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/app/small_forms.h"

namespace brevant {
namespace {

// The text as shown: "&" marks the accelerator, "&&" is one "&".
QString shownText(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

// The widest line of text in the widget's font.
int textWidth(const QWidget* widget, const QString& text) {
    int widest = 0;
    for (const QString& line : shownText(text).split(u'\n'))
        widest = std::max(widest, widget->fontMetrics().horizontalAdvance(line));
    return widest;
}

class Findings {
public:
    explicit Findings(QString window) : window_(std::move(window)) {}

    void check(const QObject* object, const QString& text, int needs, int has) {
        if (needs > has) {
            found_ << QStringLiteral("%1/%2: \"%3\" needs %4 pixels, has %5")
                          .arg(window_, object->objectName(), text)
                          .arg(needs)
                          .arg(has);
        }
    }
    const QStringList& found() const { return found_; }

private:
    QString window_;
    QStringList found_;
};

// The room a push button, check box or radio button leaves for its caption.
int captionRoom(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<QCheckBox*>(button)) {
        contents = QStyle::SE_CheckBoxContents;
    } else if (qobject_cast<QRadioButton*>(button)) {
        contents = QStyle::SE_RadioButtonContents;
    } else if (auto* push = qobject_cast<QPushButton*>(button)) {
        if (push->autoDefault() || push->isDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
    }
    int room = button->style()->subElementRect(contents, &option, button).width();
    if (!option.icon.isNull() && contents == QStyle::SE_PushButtonContents)
        room -= option.iconSize.width() + 4;
    return room;
}

// What does not fit among the shown widgets of window and its menus.
QStringList clippedTexts(QWidget* window) {
    Findings findings(window->objectName());
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!widget->isVisible() || widget->window() != window)
            continue;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (label->text().isEmpty())
                continue;
            const QRect room = label->contentsRect().adjusted(
                label->margin() + std::max(label->indent(), 0), label->margin(),
                -label->margin() - std::max(label->indent(), 0), -label->margin());
            if (label->wordWrap()) {
                findings.check(label, label->text(), label->heightForWidth(room.width()),
                               room.height());
            } else {
                findings.check(label, label->text(), textWidth(label, label->text()), room.width());
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            auto* tool = qobject_cast<QToolButton*>(button);
            if (button->text().isEmpty() ||
                (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly))
                continue;
            findings.check(button, button->text(), textWidth(button, button->text()),
                           captionRoom(button));
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            findings.check(group, group->title(), textWidth(group, group->title()), group->width());
        } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
            const int space = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
            for (int i = 0; i < tabs->count(); ++i) {
                if (!tabs->isTabVisible(i))
                    continue;
                const QRect tab = tabs->tabRect(i);
                // Each tab within the bar, without scrolling, and its
                // caption within the tab.
                findings.check(tabs, tabs->tabText(i), tab.right() + 1, tabs->width());
                findings.check(tabs, tabs->tabText(i), textWidth(tabs, tabs->tabText(i)) + space,
                               tab.width());
            }
        } else if (auto* bar = qobject_cast<QMenuBar*>(widget)) {
            for (QAction* action : bar->actions()) {
                findings.check(bar, action->text(), textWidth(bar, action->text()),
                               bar->actionGeometry(action).width());
            }
        }
    }
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        for (QAction* action : menu->actions()) {
            if (!action->isVisible() || action->isSeparator())
                continue;
            findings.check(menu, action->text(), textWidth(menu, action->text()),
                           menu->actionGeometry(action).width());
        }
    }
    return findings.found();
}

class TextsFit : public testing::FakeEngineTest {
protected:
    void SetUp() override {
        FakeEngineTest::SetUp();
        testing::testApp();
        writeSetting(settings::kShowSplash, false);
    }
};

TEST_F(TextsFit, MainWindowAndDialogs) {
    TBrevantForm form;
    form.show();
    form.OpenDocument("/tmp/sample.pdf");
    QCoreApplication::processEvents();
    QStringList clipped;
    // Every tab of the navigation pane in turn.
    for (int i = 0; i < form.PageControl1->count(); ++i) {
        form.PageControl1->setCurrentIndex(i);
        QCoreApplication::processEvents();
        clipped << clippedTexts(&form);
    }
    // The dialogs as they show, and the password prompt with a long name.
    std::vector<QDialog*> dialogs;
    for (QDialog* dialog : form.findChildren<QDialog*>()) {
        // The test form is never shown.
        if (dialog->objectName() != "fTest")
            dialogs.push_back(dialog);
    }
    TfPassword password(&form);
    password.Label1->setText("\"Annual report of the society, 2024.pdf\" is protected.");
    dialogs.push_back(&password);
    for (QDialog* dialog : dialogs) {
        SCOPED_TRACE(dialog->objectName().toStdString());
        dialog->show();
        QCoreApplication::processEvents();
        clipped << clippedTexts(dialog);
        dialog->hide();
    }
    EXPECT_EQ(clipped.join('\n').toStdString(), "");
}

}  // namespace
}  // namespace brevant
