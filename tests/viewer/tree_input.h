// Mouse and key input of the navigation trees, as a user gives it.
#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTreeWidget>

namespace brevant::testing {

inline void clickItem(QTreeWidget* tree, QTreeWidgetItem* item,
                      Qt::MouseButton button = Qt::LeftButton) {
    const QPoint at = tree->visualItemRect(item).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(at), QPointF(tree->viewport()->mapToGlobal(at)), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(tree->viewport(), &event);
    }
    QCoreApplication::processEvents();
}

inline void pressKey(QTreeWidget* tree, int code, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(tree, &press);
    QCoreApplication::processEvents();
}

}  // namespace brevant::testing
