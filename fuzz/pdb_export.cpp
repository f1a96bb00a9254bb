// The Palm export over a document opened through the control object: a tree
// of views of its first pages in the three device formats, the second nested
// under the first, written with writePDB into a temporary database that is
// removed again.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/control/engine_module.h"
#include "engine/control/tree_node.h"
#include "engine/control/vistrel.h"
#include "fuzz/control_input.h"
#include "platform/com/com.h"

using namespace vistrel;
using fuzz::newText;

namespace {

// Pages larger than this at the fuzzing zoom are not exported, to keep each
// input's run short.
constexpr double kMaxPixels = 4e6;
constexpr double kZoom = 0.25;

std::string databasePath;

// A State node of a page's view in a device format, or null when the page
// is too large to export quickly.
win::ComPtr<TreeNode> viewOf(VISTRELLib::IVistrel& v, int page, int format) {
    win::ComPtr<TreeNode> view = TreeNode::create();
    win::BSTR state =
        newText("0,0," + std::to_string(page) + ",0.25,4,4," + std::to_string(format));
    view->put_stateInStr(state);
    win::SysFreeString(state);
    // The page's size through the control, which reads it for its State.
    v.put_State(view.get());
    win::LONG width = 0, height = 0;
    if (v.get_actualWidth(&width) != win::S_OK || v.get_actualHeight(&height) != win::S_OK ||
        double(width) * kZoom * double(height) * kZoom > kMaxPixels)
        return {};
    return view;
}

void exportPages(VISTRELLib::IVistrel& v, win::LONG pages) {
    static const int kFormats[] = {0, 17, 16};
    win::ComPtr<TreeNode> root = TreeNode::create();
    win::ComPtr<TreeNode> first;
    for (int page = 1; page <= pages && page <= 3; ++page) {
        win::ComPtr<TreeNode> view = viewOf(v, page, kFormats[page - 1]);
        if (!view)
            continue;
        if (page == 2 && first) {
            first->addKid(view.get());
        } else {
            if (first)
                root->addKid(first.get());
            first = view;
        }
    }
    if (first)
        root->addKid(first.get());
    v.put_writeMode(VISTRELLib::BigPDBWriteMode::Normal);
    win::BSTR name = newText(databasePath);
    v.writePDB(name, root.get());
    win::SysFreeString(name);
    unlink(databasePath.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::makeInputFile("vistrel-fuzz-pdb");
    databasePath = fuzz::inputFile() + ".pdb";
    std::atexit([] { unlink(databasePath.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto control = win::ComObject<Vistrel>::create(engineModule());
    VISTRELLib::IVistrel& v = *control.get();
    if (fuzz::openInput(v, data, size)) {
        win::LONG pages = 0;
        v.get_pages(&pages);
        exportPages(v, pages);
    }
    v.close();
    return 0;
}
