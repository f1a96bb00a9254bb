// The Palm export over a document opened through the control object (with
// an empty password, then "user"): a tree of views of its first pages in the
// three device formats, one nested under another, written with writePDB
// into a temporary database that is removed again. The control opens files
// by name, so the input is written to a temporary file first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/control/engine_module.h"
#include "engine/control/tree_node.h"
#include "engine/control/vistrel.h"
#include "platform/com/com.h"

using namespace vistrel;

namespace {

// Pages larger than this at the fuzzing zoom are not exported, to keep each
// input's run short.
constexpr double kMaxPixels = 4e6;
constexpr double kZoom = 0.25;

std::string inputPath;
std::string databasePath;

win::BSTR text(const std::string& s) {
    std::u16string wide(s.begin(), s.end());
    return win::SysAllocStringLen(wide.data(), win::UINT(wide.size()));
}

// A State node of a page's view in a device format, or null when the page
// is too large to export quickly.
win::ComPtr<TreeNode> viewOf(VISTRELLib::IVistrel& v, int page, int format) {
    win::ComPtr<TreeNode> view = TreeNode::create();
    win::BSTR state = text("0,0," + std::to_string(page) + ",0.25,4,4," + std::to_string(format));
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
        // The second view is nested under the first.
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
    win::BSTR name = text(databasePath);
    v.writePDB(name, root.get());
    win::SysFreeString(name);
    unlink(databasePath.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/vistrel-fuzz-pdb-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0)
        std::abort();
    close(fd);
    inputPath = pattern;
    databasePath = inputPath + ".pdb";
    std::atexit([] {
        unlink(inputPath.c_str());
        unlink(databasePath.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(inputPath.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();
    auto control = win::ComObject<Vistrel>::create(engineModule());
    VISTRELLib::IVistrel& v = *control.get();
    win::BSTR name = text(inputPath), empty = text(""), user = text("user");
    win::HRESULT opened = v.open(name, empty);
    if (opened == win::E_ACCESSDENIED)
        opened = v.open(name, user);
    win::SysFreeString(name);
    win::SysFreeString(empty);
    win::SysFreeString(user);
    if (opened == win::S_OK) {
        win::LONG pages = 0;
        v.get_pages(&pages);
        exportPages(v, pages);
    }
    v.close();
    return 0;
}
