#include "engine/control/outline_tree.h"

#include <unordered_map>

#include "engine/constants/name_constants.h"
#include "engine/doc/typed_objects.h"

namespace vistrel {

using namespace VISTRELLib;

namespace {

class OutlineWalk {
public:
    explicit OutlineWalk(win::ComPtr<TreeNode> working) : working_(std::move(working)) {}

    // The kids of `item` under parent, `level` levels below the first parent.
    void build(TreeNode& parent, PdfDict& item, int32_t level) {
        if (level > kMaxOutlineDepth)
            return;
        for (PdfDict* current = asDict(item.get(names::First)); current && enter(current);
             current = asDict(current->get(names::Next))) {
            TreeNode& node = *working_.get();
            node.initState(0, 1.0, VISTRELLib::PalmFormat::NotPalm, 4, 4);
            PdfObject* destination = current->get(names::Dest);
            // A GoTo action made for the purpose goes at the end of the step;
            // the node holds its own reference on the destination.
            Ref<PdfAction> action;
            if (!destination) {
                action = asAction(current->get(names::A));
                if (action && action->actionKind() == PdfAction::kGoTo)
                    destination = action->get(names::D);
            }
            if (destination) {
                node.holdDestination(destination);
                node.setType(TreeNodeType::TOC);
            }
            if (PdfString* title = asString(current->get(names::Title)))
                node.setName(title->textValue());
            if (parent.addKid(&node) != win::S_OK)
                return;
            build(*parent.kidAt(parent.kidCount() - 1), *current, level + 1);
        }
    }

    // False for an item met before in this walk.
    bool enter(PdfDict* item) { return visited_.emplace(item, Ref<PdfDict>::share(item)).second; }

private:
    win::ComPtr<TreeNode> working_;
    // Held, so that an address stays its item's for the whole walk.
    std::unordered_map<const PdfDict*, Ref<PdfDict>> visited_;
};

}  // namespace

void buildOutlineTree(TreeNode& parent, PdfDict& item) {
    win::ComPtr<TreeNode> working = TreeNode::create();
    if (!working)
        return;
    OutlineWalk walk(std::move(working));
    // An item whose chain leads back to the start ends there.
    walk.enter(&item);
    walk.build(parent, item, 1);
}

}  // namespace vistrel
