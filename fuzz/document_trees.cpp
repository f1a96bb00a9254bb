// The document trees and information of a document opened through the
// control object (with an empty password, then "user"): the outline with a
// jump through its first nodes, and for the first pages the links, the page
// rendered at a small zoom, its text annotations, words and fonts, the
// export's link and annotation lists; a stored tree read by name; the
// document and security information; a tree stored into the file twice. The
// control opens files by name, so the input is written to a temporary file
// first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/control/engine_module.h"
#include "engine/control/tree_node.h"
#include "engine/control/vistrel.h"
#include "platform/com/com.h"
#include "tests/support/pinned_fonts.h"

using namespace vistrel;

namespace {

// Pages larger than this at the fuzzing zoom are not rendered, to keep each
// input's run short.
constexpr double kMaxPixels = 4e6;
constexpr double kZoom = 0.25;
// Outline nodes put as the State, depth first.
constexpr int kJumps = 8;

std::string inputPath;

win::BSTR text(const std::string& s) {
    std::u16string wide(s.begin(), s.end());
    return win::SysAllocStringLen(wide.data(), win::UINT(wide.size()));
}

// root get; the tree is walked through its record texts and let go.
void readTree(Vistrel& v, const char* name) {
    win::BSTR n = text(name);
    VISTRELLib::ITreeNode* root = nullptr;
    const win::HRESULT hr = v.get_root(n, &root);
    win::SysFreeString(n);
    if (hr != win::S_OK || !root)
        return;
    TreeNode& top = *static_cast<TreeNode*>(root);
    for (int32_t i = 0; i < top.kidCount(); ++i) {
        TreeNode* kid = top.kidAt(i);
        win::BSTR record = nullptr;
        if (kid->get_annotationInStr(&record) == win::S_OK ||
            kid->get_linkInStr(&record) == win::S_OK ||
            kid->get_wordInfoInStr(&record) == win::S_OK ||
            kid->get_fontInfoInStr(&record) == win::S_OK)
            win::SysFreeString(record);
    }
    root->Release();
}

// The first outline nodes, depth first, each put as the State.
void jump(Vistrel& v, TreeNode& node, int& left) {
    for (int32_t i = 0; i < node.kidCount() && left > 0; ++i) {
        --left;
        v.put_State(node.kidAt(i));
        jump(v, *node.kidAt(i), left);
    }
}

void exercisePage(Vistrel& v, int page) {
    win::ComPtr<TreeNode> view = TreeNode::create();
    win::BSTR state = text("0,0," + std::to_string(page) + ",0.25,4,4,0");
    view->put_stateInStr(state);
    win::SysFreeString(state);
    v.put_State(view.get());
    readTree(v, "LINKS");
    v.collectPageLinks();
    win::LONG width = 0, height = 0;
    if (v.get_actualWidth(&width) == win::S_OK && v.get_actualHeight(&height) == win::S_OK &&
        double(width) * kZoom * double(height) * kZoom <= kMaxPixels)
        v.render();
    readTree(v, "ANNOTATIONS");
    v.buildPageAnnotations();
    readTree(v, "TEXT");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    usePinnedFonts();
    char pattern[] = "/tmp/vistrel-fuzz-trees-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0)
        std::abort();
    close(fd);
    inputPath = pattern;
    std::atexit([] { unlink(inputPath.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(inputPath.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();
    auto control = win::ComObject<Vistrel>::create(engineModule());
    Vistrel& v = *control.get();
    win::BSTR name = text(inputPath), empty = text(""), user = text("user");
    win::HRESULT opened = v.open(name, empty);
    if (opened == win::E_ACCESSDENIED)
        opened = v.open(name, user);
    win::SysFreeString(name);
    win::SysFreeString(empty);
    win::SysFreeString(user);
    if (opened == win::S_OK) {
        win::BSTR info = nullptr, security = nullptr;
        if (v.get_infoInStr(&info) == win::S_OK)
            win::SysFreeString(info);
        if (v.get_securityInfoInStr(&security) == win::S_OK)
            win::SysFreeString(security);
        readTree(v, "BookMarks");
        // Jumps render the page they lead to at the State's zoom.
        win::ComPtr<TreeNode> small = TreeNode::create();
        win::BSTR state = text("0,0,1,0.25,4,4,0");
        small->put_stateInStr(state);
        win::SysFreeString(state);
        v.put_State(small.get());
        win::BSTR toc = text("TOC");
        VISTRELLib::ITreeNode* root = nullptr;
        if (v.get_root(toc, &root) == win::S_OK && root) {
            int left = kJumps;
            jump(v, *static_cast<TreeNode*>(root), left);
            root->Release();
        }
        win::SysFreeString(toc);
        win::LONG pages = 0;
        v.get_pages(&pages);
        for (int page = 1; page <= pages && page <= 3; ++page)
            exercisePage(v, page);
        readTree(v, "FONTINFO");
        // A tree stored into the file twice: each save reads the end of the
        // file first (the second the end of the first's update).
        win::BSTR marks = text("BookMarks");
        v.put_root(marks, small.get());
        v.put_root(marks, small.get());
        win::SysFreeString(marks);
    }
    v.close();
    return 0;
}
