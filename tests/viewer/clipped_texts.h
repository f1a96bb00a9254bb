// What does not fit among the shown widgets of a window and its menus: the
// texts of labels, buttons, group titles, tabs, menus, line edits and
// read-only memos that are drawn wider (or, wrapped, taller) than the room
// their widget gives them, one line each.
#pragma once

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QTextDocument>
#include <QToolButton>

#include <algorithm>

namespace brevant::testing {

// The text as shown: "&" marks the accelerator, "&&" is one "&".
inline QString shownText(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

// The widest line of text in the widget's font.
inline int textWidth(const QWidget* widget, const QString& text) {
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
inline int captionRoom(QAbstractButton* button) {
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

// The room a line edit leaves for its text, as it lays the text out when
// it paints: its contents within the frame, less the text margins and the
// two pixels it keeps on either side.
inline int textRoom(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    const QRect contents =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2;
}

// What does not fit among the shown widgets of window and its menus.
inline QStringList clippedTexts(QWidget* window) {
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
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            findings.check(edit, edit->text(), edit->fontMetrics().horizontalAdvance(edit->text()),
                           textRoom(edit));
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(widget)) {
            // A read-only memo shows all its text without scrolling.
            if (memo->isReadOnly()) {
                const QString text = memo->toPlainText();
                const int lines =
                    memo->document()->documentLayout()->documentSize().toSize().height();
                const int shown = memo->viewport()->height() / memo->fontMetrics().lineSpacing();
                findings.check(memo, text, lines, std::max(shown, 1));
            }
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

}  // namespace brevant::testing
