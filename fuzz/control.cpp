// A document opened through the control object as a host opens it (with an
// empty password, then "user" when that is refused), its first pages
// rendered at a small zoom through a state text, clicks over the page, and
// the page handed out as PNG. The control opens files by name, so the input
// is written to a temporary file first.
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

// Pages larger than this at the fuzzing zoom are not rendered, to keep each
// input's run short.
constexpr double kMaxPixels = 4e6;
constexpr double kZoom = 0.25;

std::string inputPath;

win::BSTR text(const std::string& s) {
    std::u16string wide(s.begin(), s.end());
    return win::SysAllocStringLen(wide.data(), win::UINT(wide.size()));
}

void exercisePage(VISTRELLib::IVistrel& v, int page) {
    win::ComPtr<TreeNode> view = TreeNode::create();
    win::BSTR state = text("0,0," + std::to_string(page) + ",0.25,4,4,0");
    view->put_stateInStr(state);
    win::SysFreeString(state);
    v.put_State(view.get());
    win::LONG width = 0, height = 0;
    if (v.get_actualWidth(&width) != win::S_OK || v.get_actualHeight(&height) != win::S_OK ||
        double(width) * kZoom * double(height) * kZoom > kMaxPixels)
        return;
    if (v.render() != win::S_OK)
        return;
    v.get_width(&width);
    v.get_height(&height);
    // Clicks on a grid over the page follow whatever links lie there.
    for (int i = 1; i < 4; ++i)
        for (int j = 1; j < 4; ++j)
            v.mouseClick(width * i / 4, height * j / 4);
    win::VARIANT png{};
    if (v.get_PNG(&png) == win::S_OK)
        win::VariantClear(&png);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/vistrel-fuzz-control-XXXXXX";
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
        for (int page = 1; page <= pages && page <= 3; ++page)
            exercisePage(v, page);
    }
    v.close();
    return 0;
}
