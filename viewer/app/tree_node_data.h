// The record each real item of a navigation tree keeps, and the item that
// owns it. Items without a record stand for kids not loaded yet.
#pragma once

#include <QTreeWidgetItem>

#include "viewer/app/vistrel_binding.h"

namespace brevant {

struct TreeNodeData {
    // The engine's node of the entry (one reference held).
    win::ComPtr<ITreeNode> node;
    // The entry is as loaded from, or last handed to, the engine.
    bool saved = true;
    // The node's kids were loaded into the view: the view's children are
    // then the node's kids when the tree is handed back.
    bool kidsLoaded = false;
};

class TreeItem : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;

    explicit TreeItem(TreeNodeData data) : QTreeWidgetItem(kType), data(std::move(data)) {}

    TreeNodeData data;
};

}  // namespace brevant
