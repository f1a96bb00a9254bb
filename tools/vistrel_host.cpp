// vistrel-host: a test host that drives the engine exactly as the viewer
// does, through COM alone: CoCreateInstance with the class id (class context
// 5, IUnknown), an IDispatch sink on the connection point of
// _IVistrelEvents, IVistrel by QueryInterface. It links nothing of the
// engine; the engine must be registered (vistrel-regsvr LIBRARY).
//
//   vistrel-host open FILE [--password PW] [--events]
//   vistrel-host render FILE [--password PW] [--page N | --pages N-M|all] [--zoom Z]
//                [--quality Q] [--memory M] [--png OUT] [--jpg OUT] [--jpg-file OUT]
//                [--draw OUT] [--events]
//   vistrel-host click FILE --page N [--zoom Z] X Y [--events]
//   vistrel-host tree FILE NAME [--password PW] [--page N | --pages N-M|all] [--zoom Z]
//                [--render]
//   vistrel-host goto FILE INDEX [--events]
//   vistrel-host info FILE [--password PW]
//   vistrel-host store-tree FILE NAME
//   vistrel-host dispids
//
// Output names may hold "%d", replaced by the page number. Exit status: 0
// when every call answered S_OK, 2 when open answered E_ACCESSDENIED, 1
// otherwise (with a line naming the call and its result on standard error).
#include <png.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/gdi/gdi.h"
#include "typelib/vistrel_typelib.h"

namespace {

using namespace win;
using namespace VISTRELLib;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kAccessDenied = 2;

// ---------------------------------------------------------------------------
// Texts

std::u16string wide(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = utf8[i];
        char32_t cp = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra)
            cp = c & (0x3F >> extra);
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

std::string narrow(const char16_t* text, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// A BSTR owned for the length of a call.
struct Text {
    explicit Text(const std::string& utf8) {
        std::u16string w = wide(utf8);
        bstr = SysAllocStringLen(w.data(), UINT(w.size()));
    }
    ~Text() { SysFreeString(bstr); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    BSTR bstr;
};

std::string take(BSTR text) {
    std::string out = narrow(text ? text : u"", SysStringLen(text));
    SysFreeString(text);
    return out;
}

std::string resultName(HRESULT hr) {
    switch (hr) {
        case S_OK:
            return "S_OK";
        case S_FALSE:
            return "S_FALSE";
        case E_ACCESSDENIED:
            return "E_ACCESSDENIED";
        case E_NOTIMPL:
            return "E_NOTIMPL";
        case E_POINTER:
            return "E_POINTER";
        case E_OUTOFMEMORY:
            return "E_OUTOFMEMORY";
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", unsigned(hr));
    return buffer;
}

// ---------------------------------------------------------------------------
// The event sink

class EventSink final : public IDispatch {
public:
    bool print = false;

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID__IVistrelEvents) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                   UINT*) override {
        if (!print)
            return S_OK;
        std::string line = "event ";
        line += eventName(member);
        // Arguments arrive last first.
        for (UINT i = params ? params->cArgs : 0; i > 0; --i) {
            const VARIANT& v = params->rgvarg[i - 1];
            char buffer[32];
            if (v.vt == VT_R8) {
                std::snprintf(buffer, sizeof buffer, " %g", v.dblVal);
            } else if (v.vt == VT_I2) {
                std::snprintf(buffer, sizeof buffer, " %d", int(v.iVal));
            } else if (v.vt == VT_I4) {
                std::snprintf(buffer, sizeof buffer, " %d", int(v.lVal));
            } else {
                std::snprintf(buffer, sizeof buffer, " (type %u)", unsigned(v.vt));
            }
            line += buffer;
        }
        std::printf("%s\n", line.c_str());
        return S_OK;
    }

private:
    ~EventSink() = default;

    static std::string eventName(DISPID id) {
        for (const DispatchMember& m : kVistrelEventMembers) {
            if (m.id == id)
                return narrow(m.name, std::char_traits<char16_t>::length(m.name));
        }
        return "event" + std::to_string(id);
    }

    std::atomic<ULONG> refs_{1};
};

// ---------------------------------------------------------------------------
// The engine, made as the viewer makes it

struct Engine {
    ComPtr<IVistrel> vistrel;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    EventSink* sink = nullptr;

    ~Engine() {
        if (point && cookie)
            point->Unadvise(cookie);
        if (sink)
            sink->Release();
    }

    bool create(bool printEvents) {
        void* raw = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_Vistrel, nullptr,
                                      CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown, &raw);
        if (hr != S_OK) {
            std::fprintf(stderr,
                         "vistrel-host: CoCreateInstance answered %s (is the engine registered? "
                         "vistrel-regsvr LIBRARY)\n",
                         resultName(hr).c_str());
            return false;
        }
        auto unknown = ComPtr<IUnknown>::adopt(static_cast<IUnknown*>(raw));
        ComPtr<IConnectionPointContainer> container;
        if (unknown.query(IID_IConnectionPointContainer, container) != S_OK ||
            container->FindConnectionPoint(DIID__IVistrelEvents, point.put()) != S_OK) {
            std::fprintf(stderr, "vistrel-host: the engine offers no event connection point\n");
            return false;
        }
        sink = new EventSink;
        sink->print = printEvents;
        if (point->Advise(sink, &cookie) != S_OK) {
            std::fprintf(stderr, "vistrel-host: the event sink could not be advised\n");
            return false;
        }
        if (unknown.query(IID_IVistrel, vistrel) != S_OK) {
            std::fprintf(stderr, "vistrel-host: the engine has no IVistrel\n");
            return false;
        }
        return true;
    }
};

// ---------------------------------------------------------------------------
// Options

struct Options {
    std::string command;
    std::string file;
    std::string password;
    int firstPage = 1, lastPage = 1;
    bool allPages = false;
    double zoom = 1.0;
    int quality = 4, memory = 4;
    std::string png, jpg, jpgFile, draw;
    bool events = false;
    bool render = false;
    std::vector<std::string> positional;
};

bool parsePages(const std::string& text, Options& o) {
    if (text == "all") {
        o.allPages = true;
        return true;
    }
    char* end = nullptr;
    long first = std::strtol(text.c_str(), &end, 10);
    long last = first;
    if (*end == '-')
        last = std::strtol(end + 1, &end, 10);
    if (*end || first < 1 || last < first || last > 0x7FFFFFFF)
        return false;
    o.firstPage = int(first);
    o.lastPage = int(last);
    return true;
}

bool parse(int argc, char** argv, Options& o) {
    if (argc < 2)
        return false;
    o.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--events") {
            o.events = true;
        } else if (a == "--render") {
            o.render = true;
        } else if (a == "--password") {
            if (!value(o.password))
                return false;
        } else if (a == "--page" || a == "--pages") {
            if (!value(v) || (a == "--page" && v == "all") || !parsePages(v, o))
                return false;
        } else if (a == "--zoom") {
            if (!value(v))
                return false;
            o.zoom = std::strtod(v.c_str(), nullptr);
        } else if (a == "--quality") {
            if (!value(v))
                return false;
            o.quality = std::atoi(v.c_str());
        } else if (a == "--memory") {
            if (!value(v))
                return false;
            o.memory = std::atoi(v.c_str());
        } else if (a == "--png") {
            if (!value(o.png))
                return false;
        } else if (a == "--jpg") {
            if (!value(o.jpg))
                return false;
        } else if (a == "--jpg-file") {
            if (!value(o.jpgFile))
                return false;
        } else if (a == "--draw") {
            if (!value(o.draw))
                return false;
        } else if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
            return false;
        } else {
            o.positional.push_back(a);
        }
    }
    if (o.command == "dispids")
        return o.positional.empty();
    if (o.positional.empty())
        return false;
    o.file = o.positional.front();
    o.positional.erase(o.positional.begin());
    if (o.command == "click")
        return o.positional.size() == 2;
    if (o.command == "tree" || o.command == "goto" || o.command == "store-tree")
        return o.positional.size() == 1;
    return (o.command == "open" || o.command == "render" || o.command == "info") &&
           o.positional.empty();
}

void usage() {
    std::fprintf(stderr,
                 "usage: vistrel-host open FILE [--password PW] [--events]\n"
                 "       vistrel-host render FILE [--password PW] [--page N | --pages N-M|all]\n"
                 "                    [--zoom Z] [--quality Q] [--memory M] [--png OUT] [--jpg OUT]\n"
                 "                    [--jpg-file OUT] [--draw OUT] [--events]\n"
                 "       vistrel-host click FILE --page N [--zoom Z] X Y [--events]\n"
                 "       vistrel-host tree FILE NAME [--password PW] [--page N | --pages N-M|all]\n"
                 "                    [--zoom Z] [--render]\n"
                 "       vistrel-host goto FILE INDEX [--events]\n"
                 "       vistrel-host info FILE [--password PW]\n"
                 "       vistrel-host store-tree FILE NAME\n"
                 "       vistrel-host dispids\n");
}

// ---------------------------------------------------------------------------
// Calls

// Notes a call's result: true for S_OK; otherwise a line on standard error.
bool check(HRESULT hr, const std::string& call) {
    if (hr == S_OK)
        return true;
    std::fprintf(stderr, "vistrel-host: %s answered %s\n", call.c_str(), resultName(hr).c_str());
    return false;
}

std::string pageName(const std::string& pattern, int page) {
    std::string out = pattern;
    const size_t at = out.find("%d");
    if (at != std::string::npos)
        out.replace(at, 2, std::to_string(page));
    return out;
}

bool writeBytes(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// The bytes of an image property written to a file.
bool writeProperty(IVistrel& v, bool png, const std::string& path, int page) {
    VARIANT bytes{};
    const std::string call = std::string(png ? "PNG" : "JPG") + " of page " + std::to_string(page);
    if (!check(png ? v.get_PNG(&bytes) : v.get_JPG(&bytes), call))
        return false;
    bool ok = bytes.vt == (VT_ARRAY | VT_UI1) && bytes.parray;
    if (ok) {
        void* data = nullptr;
        ok = SafeArrayAccessData(bytes.parray, &data) == S_OK;
        if (ok) {
            ok = writeBytes(path, data, bytes.parray->rgsabound[0].cElements);
            SafeArrayUnaccessData(bytes.parray);
        }
    }
    VariantClear(&bytes);
    if (!ok)
        std::fprintf(stderr, "vistrel-host: cannot write %s\n", path.c_str());
    return ok;
}

// Rows of red, green, blue bytes as an 8-bit PNG file.
bool writePng(const std::string& path, int width, int height,
              const std::vector<std::uint8_t>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

// draw into a 32-bit DIB section made here through the stand-in; its pixels
// written as PNG.
bool drawToFile(IVistrel& v, const std::string& path, int page) {
    LONG width = 0, height = 0;
    v.get_width(&width);
    v.get_height(&height);
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc || !section || !bits) {
        std::fprintf(stderr, "vistrel-host: no DIB section of %d x %d\n", int(width), int(height));
        if (section)
            DeleteObject(section);
        DeleteDC(dc);
        return false;
    }
    HGDIOBJ old = SelectObject(dc, section);
    bool ok = check(v.draw(LONG(dc.value), 0, 0, width, height, 0, 0),
                    "draw of page " + std::to_string(page));
    if (ok) {
        std::vector<std::uint8_t> rgb(size_t(width) * size_t(height) * 3);
        const auto* p = static_cast<const std::uint8_t*>(bits);
        for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i) {
            rgb[3 * i] = p[4 * i + 2];
            rgb[3 * i + 1] = p[4 * i + 1];
            rgb[3 * i + 2] = p[4 * i];
        }
        ok = writePng(path, width, height, rgb);
        if (!ok)
            std::fprintf(stderr, "vistrel-host: cannot write %s\n", path.c_str());
    }
    SelectObject(dc, old);
    DeleteObject(section);
    DeleteDC(dc);
    return ok;
}

// The view of a page put through the State node's text and State put.
bool putView(IVistrel& v, const Options& o, int page) {
    ComPtr<ITreeNode> state;
    if (!check(v.get_State(state.put()), "State get"))
        return false;
    char text[128];
    std::snprintf(text, sizeof text, "0,0,%d,%f,%d,%d,0", page, o.zoom, o.memory, o.quality);
    Text t(text);
    return check(state->put_stateInStr(t.bstr), "stateInStr put") &&
           check(v.put_State(state.get()), "State put");
}

std::string stateText(IVistrel& v) {
    ComPtr<ITreeNode> state;
    BSTR text = nullptr;
    if (v.get_State(state.put()) != S_OK || state->get_stateInStr(&text) != S_OK)
        return "(none)";
    return take(text);
}

int openDocument(IVistrel& v, const Options& o) {
    Text file(o.file), password(o.password);
    HRESULT hr = v.open(file.bstr, password.bstr);
    std::printf("open %s\n", resultName(hr).c_str());
    if (!check(hr, "open"))
        return hr == E_ACCESSDENIED ? kAccessDenied : kFailed;
    return kOk;
}

int runOpen(IVistrel& v, const Options& o) {
    if (int status = openDocument(v, o))
        return status;
    LONG pages = 0;
    BSTR name = nullptr;
    bool ok = check(v.get_pages(&pages), "pages") && check(v.get_filename(&name), "filename");
    std::printf("pages %d\nfilename %s\nstate %s\n", int(pages), take(name).c_str(),
                stateText(v).c_str());
    return ok ? kOk : kFailed;
}

int runRender(IVistrel& v, const Options& o) {
    if (int status = openDocument(v, o))
        return status;
    LONG pages = 0;
    v.get_pages(&pages);
    int first = o.allPages ? 1 : o.firstPage;
    int last = o.allPages ? int(pages) : o.lastPage;
    bool ok = true;
    for (int page = first; page <= last; ++page) {
        if (!putView(v, o, page) || !check(v.render(), "render of page " + std::to_string(page))) {
            ok = false;
            continue;
        }
        LONG width = 0, height = 0;
        v.get_width(&width);
        v.get_height(&height);
        std::printf("page %d width %d height %d\n", page, int(width), int(height));
        std::fflush(stdout);
        if (!o.png.empty())
            ok = writeProperty(v, true, pageName(o.png, page), page) && ok;
        if (!o.jpg.empty())
            ok = writeProperty(v, false, pageName(o.jpg, page), page) && ok;
        if (!o.jpgFile.empty()) {
            Text name(pageName(o.jpgFile, page));
            ok = check(v.writeJPG(name.bstr), "writeJPG of page " + std::to_string(page)) && ok;
        }
        if (!o.draw.empty())
            ok = drawToFile(v, pageName(o.draw, page), page) && ok;
    }
    return ok ? kOk : kFailed;
}

int runClick(IVistrel& v, const Options& o) {
    if (int status = openDocument(v, o))
        return status;
    if (!putView(v, o, o.firstPage) || !check(v.render(), "render"))
        return kFailed;
    const LONG x = std::atoi(o.positional[0].c_str()), y = std::atoi(o.positional[1].c_str());
    HRESULT hr = v.mouseClick(x, y);
    std::printf("click %s\nstate %s\n", resultName(hr).c_str(), stateText(v).c_str());
    return check(hr, "mouseClick") ? kOk : kFailed;
}

// ---------------------------------------------------------------------------
// Trees

// A text on one line: backslash, tab, line ends and other control
// characters written as escapes.
std::string oneLine(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", unsigned(c));
            out += buffer;
        } else {
            out += char(c);
        }
    }
    return out;
}

const char* typeName(TreeNodeType type) {
    static const char* const kNames[] = {"State", "TOC", "Link", "Annotation", "Font_Info",
                                         "Word_Info"};
    const auto i = size_t(type);
    return i < sizeof kNames / sizeof kNames[0] ? kNames[i] : "?";
}

// The node's record text by its type (none for TOC nodes).
std::string recordText(ITreeNode& node, TreeNodeType type) {
    BSTR text = nullptr;
    switch (type) {
        case TreeNodeType::State:
            node.get_stateInStr(&text);
            break;
        case TreeNodeType::Link:
            node.get_linkInStr(&text);
            break;
        case TreeNodeType::Annotation:
            node.get_annotationInStr(&text);
            break;
        case TreeNodeType::Font_Info:
            node.get_fontInfoInStr(&text);
            break;
        case TreeNodeType::Word_Info:
            node.get_wordInfoInStr(&text);
            break;
        case TreeNodeType::TOC:
            break;
    }
    return take(text);
}

// The tree depth first, one node a line: two blanks per level, the type,
// the name and the record text, separated by tabs.
void printTree(ITreeNode& node, int depth) {
    TreeNodeType type = TreeNodeType::State;
    node.get_type(&type);
    BSTR name = nullptr;
    node.get_name(&name);
    std::printf("%s%s\t%s\t%s\n", std::string(size_t(depth) * 2, ' ').c_str(), typeName(type),
                oneLine(take(name)).c_str(), oneLine(recordText(node, type)).c_str());
    LONG kids = 0;
    node.get_kids(&kids);
    for (LONG i = 1; i <= kids; ++i) {
        ComPtr<ITreeNode> kid;
        if (node.get_kid(i, kid.put()) == S_OK && kid)
            printTree(*kid.get(), depth + 1);
    }
}

int runTree(IVistrel& v, const Options& o) {
    if (int status = openDocument(v, o))
        return status;
    LONG pages = 0;
    v.get_pages(&pages);
    const int first = o.allPages ? 1 : o.firstPage;
    const int last = o.allPages ? int(pages) : o.lastPage;
    const Text name(o.positional[0]);
    bool ok = true;
    for (int page = first; page <= last; ++page) {
        if (first != last)
            std::printf("page %d\n", page);
        if (!putView(v, o, page) || (o.render && !check(v.render(), "render of page " +
                                                                        std::to_string(page)))) {
            ok = false;
            continue;
        }
        ComPtr<ITreeNode> root;
        const HRESULT hr = v.get_root(name.bstr, root.put());
        std::printf("root %s\n", resultName(hr).c_str());
        if (hr == S_OK && root)
            printTree(*root.get(), 0);
        ok = check(hr, "root get of page " + std::to_string(page)) && ok;
        std::fflush(stdout);
    }
    return ok ? kOk : kFailed;
}

// The INDEX-th node of the tree, depth first from 1 (the root not counted).
ComPtr<ITreeNode> nthNode(ITreeNode& node, long& index) {
    LONG kids = 0;
    node.get_kids(&kids);
    for (LONG i = 1; i <= kids; ++i) {
        ComPtr<ITreeNode> kid;
        if (node.get_kid(i, kid.put()) != S_OK || !kid)
            continue;
        if (--index == 0)
            return kid;
        if (ComPtr<ITreeNode> found = nthNode(*kid.get(), index))
            return found;
    }
    return {};
}

int runGoto(IVistrel& v, const Options& o) {
    if (int status = openDocument(v, o))
        return status;
    long index = std::strtol(o.positional[0].c_str(), nullptr, 10);
    ComPtr<ITreeNode> toc;
    if (!check(v.get_root(Text("TOC").bstr, toc.put()), "root get of TOC"))
        return kFailed;
    ComPtr<ITreeNode> node = index > 0 ? nthNode(*toc.get(), index) : ComPtr<ITreeNode>();
    if (!node) {
        std::fprintf(stderr, "vistrel-host: the outline has no node %s\n",
                     o.positional[0].c_str());
        return kFailed;
    }
    const HRESULT hr = v.put_State(node.get());
    std::printf("goto %s\nstate %s\n", resultName(hr).c_str(), stateText(v).c_str());
    return check(hr, "State put") ? kOk : kFailed;
}

int runInfo(IVistrel& v, const Options& o) {
    if (int status = openDocument(v, o))
        return status;
    BSTR info = nullptr, security = nullptr;
    const HRESULT infoResult = v.get_infoInStr(&info);
    const HRESULT securityResult = v.get_securityInfoInStr(&security);
    std::printf("info %s\n", infoResult == S_OK ? oneLine(take(info)).c_str()
                                                : resultName(infoResult).c_str());
    std::printf("security %s\n", securityResult == S_OK ? take(security).c_str()
                                                        : resultName(securityResult).c_str());
    return check(infoResult, "infoInStr") && check(securityResult, "securityInfoInStr") ? kOk
                                                                                          : kFailed;
}

// A new State node of the view text, named.
ComPtr<ITreeNode> sampleNode(const char* view, const char* name) {
    void* raw = nullptr;
    if (CoCreateInstance(CLSID_TreeNode, nullptr, CLSCTX_INPROC_SERVER, IID_ITreeNode, &raw) !=
        S_OK)
        return {};
    auto node = ComPtr<ITreeNode>::adopt(static_cast<ITreeNode*>(raw));
    if (node->put_stateInStr(Text(view).bstr) != S_OK || node->put_name(Text(name).bstr) != S_OK)
        return {};
    return node;
}

int runStoreTree(IVistrel& v, const Options& o) {
    if (int status = openDocument(v, o))
        return status;
    // Names with a Latin-1 letter, letters beyond Latin-1 and quotes.
    ComPtr<ITreeNode> root = sampleNode("0,0,1,1.000000,4,4,0", "Sample \"tree\"");
    ComPtr<ITreeNode> first = sampleNode("10,20,2,1.500000,3,2,16", "Caf\xc3\xa9 \"one\"");
    ComPtr<ITreeNode> nested = sampleNode(
        "0,0,1,2.000000,4,4,4", "\xd0\x97\xd0\xb0\xd0\xba\xd0\xbb\xd0\xb0\xd0\xb4\xd0\xba\xd0\xb0");
    ComPtr<ITreeNode> second = sampleNode("5,6,1,0.750000,4,4,17", "\xce\xa9 two");
    if (!root || !first || !nested || !second || first->addKid(nested.get()) != S_OK ||
        root->addKid(first.get()) != S_OK || root->addKid(second.get()) != S_OK) {
        std::fprintf(stderr, "vistrel-host: the sample tree could not be made\n");
        return kFailed;
    }
    const HRESULT hr = v.put_root(Text(o.positional[0]).bstr, root.get());
    std::printf("root put %s\n", resultName(hr).c_str());
    return check(hr, "root put") ? kOk : kFailed;
}

int runDispids(IVistrel& v) {
    bool ok = true;
    for (const DispatchMember& m : kVistrelMembers) {
        std::u16string name = m.name;
        LPOLESTR names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        ok = check(v.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
                   "GetIDsOfNames") &&
             ok;
        std::printf("%s %d\n", narrow(name.data(), name.size()).c_str(), int(id));
    }
    return ok ? kOk : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        usage();
        return kFailed;
    }
    if (CoInitialize(nullptr) != S_OK) {
        std::fprintf(stderr, "vistrel-host: CoInitialize failed\n");
        return kFailed;
    }
    int status = kFailed;
    {
        Engine engine;
        if (engine.create(o.events)) {
            IVistrel& v = *engine.vistrel.get();
            if (o.command == "open") {
                status = runOpen(v, o);
            } else if (o.command == "render") {
                status = runRender(v, o);
            } else if (o.command == "click") {
                status = runClick(v, o);
            } else if (o.command == "tree") {
                status = runTree(v, o);
            } else if (o.command == "goto") {
                status = runGoto(v, o);
            } else if (o.command == "info") {
                status = runInfo(v, o);
            } else if (o.command == "store-tree") {
                status = runStoreTree(v, o);
            } else {
                status = runDispids(v);
            }
            v.close();
        }
    }
    std::fflush(stdout);
    CoUninitialize();
    return status;
}
