// The view toggles of the main window (navigation pane, tool bar, status
// bar), the drop-down tool buttons and the small window commands.
#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QMouseEvent>

#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/components/paint_panels.h"

namespace brevant {

void TBrevantForm::bindViewCommands() {
    connect(ShowDocumentManagementPane1, &QAction::triggered, this, [this] { sbLPanelClick(); });
    connect(Splitter1, &QSplitter::splitterMoved, this,
            [this] { ShowDocumentManagementPane1->setChecked(true); });
    connect(ToolBar3, &QAction::triggered, this, [this] { ToolBar3Click(); });
    connect(StatusBar1, &QAction::triggered, this, [this] { StatusBar1Click(); });
    connect(View1, &QMenu::aboutToShow, this, [this] {
        ToolBar3->setChecked(!ToolBar1->isHidden());
        StatusBar1->setChecked(!tbStatus->isHidden());
    });
    connect(ToolBar1, &QToolBar::topLevelChanged, this, [this](bool floating) {
        if (!floating)
            ToolBar1EndDock();
    });
    connect(tbStatus, &QToolBar::topLevelChanged, this, [this](bool floating) {
        if (!floating)
            tbStatusEndDock();
    });
    connect(tbZoomLevels, &QToolButton::clicked, this,
            [this] { openDropDown(tbZoomLevels, pmZOOM); });
    connect(tbOptions, &QToolButton::clicked, this, [this] { openDropDown(tbOptions, pmOptions); });
    connect(tbDocInfo, &QToolButton::clicked, this, [this] { openDropDown(tbDocInfo, pmDocInfo); });
    ePageNum->installEventFilter(this);
    eZOOM->installEventFilter(this);
    connect(FileExit1, &QAction::triggered, this, &QWidget::close);
}

void TBrevantForm::sbLPanelClick() {
    TPntPanel* surface = frScroll1->PntPanel1;
    const bool surfaceShown = !surface->isHidden();
    surface->hide();
    const int width = paneWidth();
    if (width > kPaneHideWidth) {
        paneWidthMemory_ = width;
        setPaneWidth(0);
    } else {
        // The splitter follows the pane, and the tabs stay in one row.
        setPaneWidth(paneWidthMemory_);
    }
    ShowDocumentManagementPane1->setChecked(paneWidth() > 0);
    writeSetting(settings::kLeftPanel, ShowDocumentManagementPane1->isChecked());
    surface->setVisible(surfaceShown);
}

void TBrevantForm::ToolBar3Click() {
    ToolBar1->setHidden(!ToolBar1->isHidden());
}

void TBrevantForm::StatusBar1Click() {
    tbStatus->setHidden(!tbStatus->isHidden());
}

void TBrevantForm::ToolBar1EndDock() {
    ToolBar1->setFixedHeight(kToolBarHeight);
}

void TBrevantForm::tbStatusEndDock() {
    tbStatus->setFixedHeight(kStatusBarHeight);
}

void TBrevantForm::openDropDown(QToolButton* button, QMenu* menu) {
    menu->popup(button->mapToGlobal(QPoint(0, 0)));
}

bool TBrevantForm::eventFilter(QObject* watched, QEvent* event) {
    for (QTreeWidget* tree : {tvTOC, tvBookmarks, tvForPalm}) {
        if (watched == tree->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                            event->type() == QEvent::MouseButtonDblClick))
            treeMousePress(tree, static_cast<QMouseEvent*>(event));
        if (watched == tree && event->type() == QEvent::KeyPress)
            treeKeyPress(tree, static_cast<QKeyEvent*>(event));
    }
    if ((watched == ePageNum || watched == eZOOM) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == ePageNum) {
                ePageNumEnter();
            } else {
                eZOOMEnter();
            }
            return true;
        }
    }
    if ((watched == ePageNum || watched == eZOOM) && event->type() == QEvent::FocusIn) {
        // After the click that gave the focus has placed the cursor.
        auto* box = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, box, &QLineEdit::selectAll);
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace brevant
