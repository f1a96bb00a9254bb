// The navigation trees: the document's outline (TOC, read-only), the user's
// bookmarks ("BookMarks") and the pages chosen for the device ("ForPalm").
// Entries are loaded lazily from the engine's tree nodes; choosing one puts
// its node as the engine's State. A changed tree is handed back to the
// engine when the document is left.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTreeWidget>

#include "viewer/app/csv_fields.h"
#include "viewer/app/engine_error.h"
#include "viewer/app/main_form.h"
#include "viewer/app/posted_messages.h"
#include "viewer/app/tree_node_data.h"
#include "viewer/components/message_service.h"

namespace brevant {
namespace {

constexpr const char* kBookmarkWarning =
    "Security settings on this file do not allow saving of bookmarks. All bookmarks will be lost "
    "when the file is closed.";
constexpr const char* kChangedFile = "the file was changed by another program";
// Less free space than this on the file's disk makes a failed store a full
// disk's.
constexpr qint64 kFullDiskBytes = 1 << 20;

// Whether the document's security settings forbid changing it (and with it
// storing trees) to the password that opened it.
bool modificationForbidden(const QString& securityInfo) {
    return GetCsvField(securityInfo, 1) == u"1" && GetCsvField(securityInfo, 5) == u"0";
}

// Lets a tree's selection change only while the main window allows it; a
// change that is let through may select the new current item.
class LockedSelection : public QItemSelectionModel {
public:
    LockedSelection(QAbstractItemModel* model, QObject* parent, std::function<bool()> allow)
        : QItemSelectionModel(model, parent), allow_(std::move(allow)) {}

    void setCurrentIndex(const QModelIndex& index, SelectionFlags command) override {
        if (index != currentIndex() && !allow_())
            return;
        const bool outer = std::exchange(changing_, true);
        QItemSelectionModel::setCurrentIndex(index, command);
        changing_ = outer;
    }
    void select(const QItemSelection& selection, SelectionFlags command) override {
        if (!changing_ && !onlyCurrent(selection))
            return;
        QItemSelectionModel::select(selection, command);
    }
    using QItemSelectionModel::select;

private:
    bool onlyCurrent(const QItemSelection& selection) const {
        const QModelIndexList indexes = selection.indexes();
        if (indexes.isEmpty())
            return false;
        for (const QModelIndex& index : indexes) {
            if (index != currentIndex())
                return false;
        }
        return true;
    }

    std::function<bool()> allow_;
    bool changing_ = false;
};

// The tree item of a model index of the tree's own model.
QTreeWidgetItem* itemOf(QTreeWidget* tree, const QModelIndex& index) {
    if (!index.isValid())
        return nullptr;
    QTreeWidgetItem* parent = itemOf(tree, index.parent());
    return parent ? parent->child(index.row()) : tree->topLevelItem(index.row());
}

// Hands the text of a finished label edit to the window, which decides
// what the item is called.
class EditedDelegate : public QStyledItemDelegate {
public:
    EditedDelegate(QTreeWidget* tree, std::function<void(QTreeWidgetItem*, QString)> edited)
        : QStyledItemDelegate(tree), tree_(tree), edited_(std::move(edited)) {}

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        QTreeWidgetItem* item = itemOf(tree_, index);
        if (line && item)
            edited_(item, line->text());
    }

private:
    QTreeWidget* tree_;
    std::function<void(QTreeWidgetItem*, QString)> edited_;
};

// The items on the level of item (its siblings and itself).
QList<QTreeWidgetItem*> levelOf(QTreeWidgetItem* item) {
    QList<QTreeWidgetItem*> level;
    if (QTreeWidgetItem* parent = item->parent()) {
        for (int i = 0; i < parent->childCount(); ++i)
            level << parent->child(i);
    } else if (QTreeWidget* tree = item->treeWidget()) {
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            level << tree->topLevelItem(i);
    }
    return level;
}

// text with "*" appended while another item on item's level is called so.
QString uniqueOnLevel(QTreeWidgetItem* item, QString text) {
    const QList<QTreeWidgetItem*> level = levelOf(item);
    for (bool taken = true; taken;) {
        taken = false;
        for (QTreeWidgetItem* other : level) {
            if (other != item && other->text(0) == text) {
                text += u'*';
                taken = true;
                break;
            }
        }
    }
    return text;
}

bool anyUnsaved(QTreeWidgetItem* item) {
    if (const TreeNodeData* data = TBrevantForm::itemData(item); data && !data->saved)
        return true;
    for (int i = 0; i < item->childCount(); ++i) {
        if (anyUnsaved(item->child(i)))
            return true;
    }
    return false;
}

void markSaved(QTreeWidgetItem* item) {
    if (TreeNodeData* data = TBrevantForm::itemData(item))
        data->saved = true;
    for (int i = 0; i < item->childCount(); ++i)
        markSaved(item->child(i));
}

// A placeholder child: kids not loaded yet.
void addPlaceholder(QTreeWidgetItem* parent, const QString& text) {
    auto* placeholder = new QTreeWidgetItem(parent);
    placeholder->setText(0, text);
}

}  // namespace

void TBrevantForm::bindTrees() {
    const std::pair<const char16_t*, QTreeWidget*> trees[] = {
        {u"TOC", tvTOC}, {u"BookMarks", tvBookmarks}, {u"ForPalm", tvForPalm}};
    for (size_t i = 0; i < trees_.size(); ++i) {
        trees_[i].name = QString::fromUtf16(trees[i].first);
        trees_[i].tree = trees[i].second;
    }
    for (TreeBinding& binding : trees_) {
        QTreeWidget* tree = binding.tree;
        QItemSelectionModel* old = tree->selectionModel();
        auto* locked = new LockedSelection(tree->model(), tree, [this] {
            return std::exchange(allowSelection_, false);
        });
        tree->setSelectionModel(locked);
        // The tree keeps its items' selected state from its selection
        // model's changes; the new model reports to it as the old did.
        connect(locked, SIGNAL(selectionChanged(QItemSelection, QItemSelection)), tree,
                SLOT(_q_selectionChanged(QItemSelection, QItemSelection)));
        delete old;
        tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tree->viewport()->installEventFilter(this);
        tree->installEventFilter(this);
        connect(tree, &QTreeWidget::itemExpanded, this,
                [this](QTreeWidgetItem* item) { tvTOCExpanding(item); });
    }
    tvForPalm->setItemDelegate(new EditedDelegate(
        tvForPalm, [this](QTreeWidgetItem* item, QString text) { tvTOCEdited(item, std::move(text)); }));
    connect(PageControl1, &QTabWidget::currentChanged, this,
            [this](int index) { tabShown(PageControl1->widget(index)); });

    for (QPushButton* button : {bAddBM, bAddPalm})
        connect(button, &QPushButton::clicked, this, [this, button] { bAddBMClick(button); });
    for (QPushButton* button : {bRenameBM, bRenamePalm})
        connect(button, &QPushButton::clicked, this, [this, button] { bRenameBMClick(button); });
    for (QPushButton* button : {bDelBM, bDelPalm})
        connect(button, &QPushButton::clicked, this, [this, button] { bDelBMClick(button); });
    for (QPushButton* button : {bDelAllBM, bDelAllPalm})
        connect(button, &QPushButton::clicked, this, [this, button] { DeleteAll1Click(button); });
    connect(Add1, &QAction::triggered, this, [this] { bAddBMClick(Add1); });
    connect(Rename1, &QAction::triggered, this, [this] { bRenameBMClick(Rename1); });
    connect(Delete1, &QAction::triggered, this, [this] { bDelBMClick(Delete1); });
    connect(DeleteAll1, &QAction::triggered, this, [this] { DeleteAll1Click(DeleteAll1); });
    connect(Open1, &QAction::triggered, this, [this] {
        if (popupTree_)
            GoToTreeEntry(popupTree_->currentItem());
    });
    connect(Open2, &QAction::triggered, this, [this] {
        tvTOC->setFocus();
        GoToTreeEntry(tvTOC->currentItem());
    });
    for (QTreeWidget* tree : {tvTOC, tvBookmarks, tvForPalm}) {
        connect(tree, &QWidget::customContextMenuRequested, this, [this, tree](QPoint at) {
            popupTree_ = tree;
            (tree == tvTOC ? pmTOC : pmTree)->popup(tree->viewport()->mapToGlobal(at));
        });
    }
}

TreeNodeData* TBrevantForm::itemData(QTreeWidgetItem* item) {
    return item && item->type() == TreeItem::kType ? &static_cast<TreeItem*>(item)->data
                                                    : nullptr;
}

TreeBinding* TBrevantForm::bindingOf(QTreeWidget* tree) {
    for (TreeBinding& binding : trees_) {
        if (binding.tree == tree)
            return &binding;
    }
    return nullptr;
}

void TBrevantForm::tabShown(QWidget* tab) {
    if (tab == TabSheet3) {
        LoadTree(tocTree());
    } else if (tab == TabSheet1) {
        LoadTree(bookmarkTree());
        SaveasPDB1->setVisible(false);
        UpdateTreeButtons();
    } else if (tab == TabSheet2) {
        LoadTree(deviceTree());
        SaveasPDB1->setVisible(true);
        UpdateTreeButtons();
    }
}

QTreeWidgetItem* TBrevantForm::addTreeItem(TreeBinding& binding, QTreeWidgetItem* parent,
                                           int index, const win::ComPtr<ITreeNode>& node,
                                           bool saved) {
    auto* item = new TreeItem({node, saved});
    item->setText(0, nodeName(node.get()));
    if (binding.tree != tvTOC)
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    if (parent) {
        parent->insertChild(index < 0 ? parent->childCount() : index, item);
    } else {
        binding.tree->insertTopLevelItem(index < 0 ? binding.tree->topLevelItemCount() : index,
                                         item);
    }
    return item;
}

void TBrevantForm::LoadTree(TreeBinding& binding) {
    if (!engineAvailable_ || binding.loaded)
        return;
    binding.root = Vistrel1.root(binding.name);
    const win::LONG count = binding.root ? nodeKids(binding.root.get()) : 0;
    if (count > 0) {
        binding.loaded = true;
        for (win::LONG i = 1; i <= count; ++i) {
            win::ComPtr<ITreeNode> kid = nodeKid(binding.root.get(), i);
            if (!kid)
                continue;
            QTreeWidgetItem* item = addTreeItem(binding, nullptr, -1, kid, true);
            if (nodeKids(kid.get()) > 0)
                addPlaceholder(item, QStringLiteral("-"));
        }
    }
    binding.root.reset();
}

void TBrevantForm::tvTOCExpanding(QTreeWidgetItem* item) {
    TreeNodeData* data = itemData(item);
    if (!data || item->childCount() == 0 || itemData(item->child(0)))
        return;
    TreeBinding* binding = bindingOf(item->treeWidget());
    if (!binding)
        return;
    const win::ComPtr<ITreeNode> node = data->node;
    const win::LONG count = nodeKids(node.get());
    for (win::LONG i = 1; i <= count; ++i) {
        win::ComPtr<ITreeNode> kid = nodeKid(node.get(), i);
        if (!kid)
            continue;
        // The first kid takes the placeholder's place.
        if (i == 1)
            delete item->takeChild(0);
        QTreeWidgetItem* child = addTreeItem(*binding, item, i == 1 ? 0 : -1, kid, true);
        if (nodeKids(kid.get()) > 0)
            addPlaceholder(child, QStringLiteral("0"));
    }
    if (count > 0)
        itemData(item)->kidsLoaded = true;
}

bool TBrevantForm::treeChanged(const TreeBinding& binding) const {
    if (binding.tag != 0)
        return true;
    for (int i = 0; i < binding.tree->topLevelItemCount(); ++i) {
        if (anyUnsaved(binding.tree->topLevelItem(i)))
            return true;
    }
    return false;
}

void TBrevantForm::clearTree(TreeBinding& binding) {
    const bool outer = std::exchange(changeEventsSuppressed_, true);
    binding.tree->clear();
    changeEventsSuppressed_ = outer;
}

bool TBrevantForm::ReleaseTree(TreeBinding& binding) {
    if (!SaveTree(binding))
        return false;
    clearTree(binding);
    binding.tag = 0;
    binding.loaded = false;
    if (&binding == &deviceTree())
        FileSave1->setEnabled(false);
    return true;
}

// The wait cursor, and a small wait window while the main window is hidden,
// for as long as a tree is handed back.
void TBrevantForm::runTreeHandBack(const std::function<void()>& work) {
    struct Road {
        std::unique_ptr<QWidget> wait;
        explicit Road(QWidget* window) {
            if (!window->isVisible()) {
                wait = std::make_unique<QWidget>(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
                wait->setObjectName(QStringLiteral("fWait"));
                wait->resize(200, 60);
                wait->show();
            }
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        }
        ~Road() { QApplication::restoreOverrideCursor(); }
        Road(const Road&) = delete;
        Road& operator=(const Road&) = delete;
    } road(this);
    work();
}

bool TBrevantForm::SaveTree(TreeBinding& binding) {
    // The outline is read-only: it never counts as changed and is never
    // put back.
    if (&binding == &tocTree())
        return true;
    if (&binding == &deviceTree())
        return SavePalmTree(binding);
    if (binding.tag != -1 && !treeChanged(binding))
        return true;
    runTreeHandBack([&] { handBackRoot(binding); });
    if (!handBackAccepted())
        return false;
    endHandBack(binding);
    return true;
}

win::ComPtr<ITreeNode> TBrevantForm::handBackRoot(TreeBinding& binding) {
    win::ComPtr<ITreeNode> root = Vistrel1.State();
    setNodeName(root.get(), binding.name);
    for (int i = 0; i < binding.tree->topLevelItemCount(); ++i)
        BuildNode(root.get(), binding.tree->topLevelItem(i));
    // A Save As PDB only writes the database.
    treeStoreFailed_ = false;
    if (binding.tag != -1) {
        treeStoreFailed_ = Vistrel1.setRoot(binding.name, root.get()) != win::S_OK;
        if (!treeStoreFailed_)
            documentLength_ = QFileInfo(Vistrel1.filename()).size();
    }
    return root;
}

bool TBrevantForm::handBackAccepted() {
    // A tree the engine did not store stays in the window, unless the
    // document closes and the user chose to lose it.
    if (!treeStoreFailed_ || closeDespiteLoss_)
        return true;
    if (!closing_)
        return false;
    // Without a document there is no file to tell of.
    if (Vistrel1.filename().isEmpty())
        return true;
    const QString text = "The bookmarks and device pages could not be saved into " +
                         QFileInfo(Vistrel1.filename()).fileName() + ": " + treeStoreFailure() +
                         ".\rClose anyway? They will be lost.";
    if (askWarning(text, MessageButtons::YesNo, MessageAnswer::No) != MessageAnswer::Yes)
        return false;
    closeDespiteLoss_ = true;
    return true;
}

QString TBrevantForm::treeStoreFailure() {
    // In the order the engine meets them.
    if (modificationForbidden(Vistrel1.securityInfoInStr()))
        return QStringLiteral("the document's security settings do not allow changes");
    const QString file = Vistrel1.filename();
    const QFileInfo info(file);
    if (!info.exists())
        return QString::fromLatin1(kChangedFile);
    QFile probe(file);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append))
        return QStringLiteral("the file is read-only");
    probe.close();
    if (info.size() != documentLength_)
        return QString::fromLatin1(kChangedFile);
    const QStorageInfo disk(info.absolutePath());
    if (disk.isValid() && disk.bytesAvailable() < kFullDiskBytes)
        return QStringLiteral("the disk is full");
    return QStringLiteral("the file could not be written");
}

void TBrevantForm::endHandBack(TreeBinding& binding) {
    if (binding.tag == -1) {
        binding.tag = 1;
        return;
    }
    binding.tag = 0;
    for (int i = 0; i < binding.tree->topLevelItemCount(); ++i)
        markSaved(binding.tree->topLevelItem(i));
}

void TBrevantForm::BuildNode(ITreeNode* parent, QTreeWidgetItem* item) {
    TreeNodeData* data = itemData(item);
    if (!data)
        return;
    ITreeNode* node = data->node.get();
    // The node still holds the kids it was loaded with; the view's children
    // stand for them now.
    if (data->kidsLoaded)
        nodeRemoveKids(node);
    const bool realChildren =
        item->childCount() > 1 || (item->childCount() == 1 && itemData(item->child(0)));
    if (realChildren) {
        for (int i = 0; i < item->childCount(); ++i)
            BuildNode(node, item->child(i));
    }
    setNodeName(node, item->text(0));
    nodeAddKid(parent, node);
}

TreeBinding& TBrevantForm::targetTree(QObject* sender) {
    if (qobject_cast<QAction*>(sender) && popupTree_) {
        if (TreeBinding* binding = bindingOf(popupTree_))
            return *binding;
    }
    if (auto* tree = qobject_cast<QTreeWidget*>(sender)) {
        if (TreeBinding* binding = bindingOf(tree))
            return *binding;
    }
    return PageControl1->currentWidget() == TabSheet1 ? bookmarkTree() : deviceTree();
}

bool TBrevantForm::CheckBookmarksAllowed() {
    const bool forbidden = modificationForbidden(Vistrel1.securityInfoInStr());
    if (forbidden && PageControl1->currentWidget() == TabSheet1 && !bookmarkWarningGiven_) {
        showWarning(QString::fromLatin1(kBookmarkWarning));
        bookmarkWarningGiven_ = true;
    }
    return forbidden;
}

void TBrevantForm::bAddBMClick(QObject* sender) {
    CheckBookmarksAllowed();
    if (Vistrel1.filename().isEmpty())
        return;
    TreeBinding& binding = targetTree(sender);
    binding.tree->setFocus();
    win::ComPtr<ITreeNode> node = Vistrel1.State();
    const QPoint offset = frScroll1->GetOffset();
    QString text = nodeStateText(node.get());
    text = SetCsvField(text, 1, QString::number(offset.x()));
    text = SetCsvField(text, 2, QString::number(offset.y()));
    if (&binding == &deviceTree()) {
        text = SetCsvField(text, 7, QString::number(deviceFormat_));
        deviceChoiceChanged_ = true;
    }
    setNodeStateText(node.get(), text);
    QTreeWidgetItem* item = addTreeItem(binding, nullptr, -1, node, false);
    item->setText(0, uniqueOnLevel(item, item->text(0)));
    UpdateTreeButtons();
    allowSelection_ = true;
    binding.tree->setCurrentItem(item);
    binding.tree->editItem(item);
}

void TBrevantForm::bRenameBMClick(QObject* sender) {
    CheckBookmarksAllowed();
    TreeBinding& binding = targetTree(sender);
    if (QTreeWidgetItem* item = binding.tree->currentItem())
        binding.tree->editItem(item);
}

void TBrevantForm::tvTOCEdited(QTreeWidgetItem* item, QString text) {
    TreeNodeData* data = itemData(item);
    text = uniqueOnLevel(item, text);
    if (!data || text == item->text(0))
        return;
    item->setText(0, text);
    setNodeName(data->node.get(), text);
    data->saved = false;
    if (item->treeWidget() == tvForPalm)
        deviceChoiceChanged_ = true;
    UpdateTreeButtons();
}

void TBrevantForm::bDelBMClick(QObject* sender) {
    CheckBookmarksAllowed();
    TreeBinding& binding = targetTree(sender);
    if (QTreeWidgetItem* item = binding.tree->currentItem()) {
        // The item owns its record and its children: all go with it.
        delete item;
        binding.tag = 1;
        if (&binding == &deviceTree())
            deviceChoiceChanged_ = binding.tree->topLevelItemCount() > 0;
    }
    UpdateTreeButtons();
}

void TBrevantForm::DeleteAll1Click(QObject* sender) {
    CheckBookmarksAllowed();
    TreeBinding& binding = targetTree(sender);
    if (binding.tree->topLevelItemCount() > 0 &&
        askWarning(QStringLiteral("Do you want to delete all records?"), MessageButtons::YesNo,
                   MessageAnswer::Yes) == MessageAnswer::Yes) {
        clearTree(binding);
        binding.tag = 1;
        if (&binding == &deviceTree())
            deviceChoiceChanged_ = false;
    }
    UpdateTreeButtons();
}

void TBrevantForm::GoToTreeEntry(QTreeWidgetItem* item) {
    RecordView(true);
    TreeNodeData* data = itemData(item);
    if (!data)
        return;
    const win::ComPtr<ITreeNode> node = data->node;
    QPoint target;
    {
        const RenderSuppression suppressed(suppressRender_);
        pendingOffset_ = false;
        // The engine refuses some nodes (annotations, outline entries
        // without a destination): the view then stays as it stands.
        try {
            Vistrel1.setState(node.get());
        } catch (const EngineError&) {
        }
        const QString text = nodeStateText(Vistrel1.State().get());
        target = pendingOffset_ ? QPoint(pendingX_, pendingY_)
                                : QPoint(GetCsvInt(text, 1), GetCsvInt(text, 2));
        if (!GetCsvField(text, 7).isEmpty()) {
            const int format = GetCsvInt(text, 7);
            const int index = format == 4 ? 0 : format == 16 ? 1 : format == 17 ? 2 : -1;
            if (index >= 0)
                cbClarity->setCurrentIndex(index);
            Standard1Click(cbClarity);
        }
        if (!(GetZoomPercent() > 0))
            SetZoomPercent(lastRendered_.zoom * 100);
    }
    RenderView(true);
    ScrollTo(target.x(), fromPageTop(target.y(), Vistrel1.height()));
}

void TBrevantForm::treeMousePress(QTreeWidget* tree, QMouseEvent* event) {
    // New entries always go to the top level: the popup's Add item never
    // offers adding below the selection.
    Add1->setText(QStringLiteral("Add "));
    const QPoint at = event->position().toPoint();
    QTreeWidgetItem* item = tree->itemAt(at);
    // The expand button beside an item is not the item.
    if (!item || at.x() < tree->visualItemRect(item).left())
        return;
    const Qt::MouseButton button = event->button();
    if (button != Qt::LeftButton && button != Qt::RightButton)
        return;
    if (!item->isSelected() || button == Qt::RightButton) {
        allowSelection_ = true;
        tree->setCurrentItem(item);
        postMessage(this, kEndSelectionPermissionMessage);
    } else {
        GoToTreeEntry(item);
    }
}

void TBrevantForm::treeKeyPress(QTreeWidget* tree, QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        GoToTreeEntry(tree->currentItem());
    } else if (event->text() == u"." && tree != tvTOC) {
        bDelBMClick(tree);
    } else if (event->text() == u"t") {
        ReleaseTree(tocTree());
        ReleaseTree(bookmarkTree());
        LoadTree(tocTree());
    }
    allowSelection_ = true;
    postMessage(this, kEndSelectionPermissionMessage);
}

bool TBrevantForm::event(QEvent* event) {
    if (postedMessage(event) == kEndSelectionPermissionMessage) {
        allowSelection_ = false;
        return true;
    }
    return QMainWindow::event(event);
}

}  // namespace brevant
