#include "platform/help/html_help.h"

#include <unistd.h>

#include <climits>
#include <vector>

#include "platform/shell/shell.h"

namespace win {
namespace {

// A handle that stands for the browser window we asked for.
constexpr HWND kBrowserWindow = 1;

bool isPlain(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

std::string absolutePath(std::string_view path) {
    if (!path.empty() && path.front() == '/')
        return std::string(path);
    std::vector<char> buffer(PATH_MAX);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr)
        return std::string(path);
    std::string folder = buffer.data();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder + std::string(path);
}

HWND openInBrowser(const std::string& page) {
    std::string address = fileAddress(page);
    return ShellExecuteA(0, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL) > 32
               ? kBrowserWindow
               : 0;
}

}  // namespace

std::string fileAddress(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string address = "file://";
    for (char ch : absolutePath(path)) {
        auto c = static_cast<unsigned char>(ch);
        if (isPlain(c)) {
            address += ch;
        } else {
            address += '%';
            address += kHex[c >> 4];
            address += kHex[c & 15];
        }
    }
    return address;
}

std::string helpSetPage(std::string_view topic) {
    static constexpr std::string_view kCompiledContents = ".hhc";
    std::string page(topic);
    if (page.size() >= kCompiledContents.size() &&
        page.compare(page.size() - kCompiledContents.size(), kCompiledContents.size(),
                     kCompiledContents) == 0)
        page.replace(page.size() - kCompiledContents.size(), kCompiledContents.size(), ".htm");
    return page;
}

HWND HtmlHelpA(HWND, LPCSTR file, UINT command, DWORD_PTR) {
    if (file == nullptr || *file == '\0' || (command != HH_DISPLAY_TOPIC && command != HH_DISPLAY_TOC))
        return 0;
    std::string_view name = file;
    std::size_t split = name.find("::");
    std::string_view set = name.substr(0, split);
    std::string_view topic;
    if (command == HH_DISPLAY_TOPIC && split != std::string_view::npos) {
        topic = name.substr(split + 2);
        while (!topic.empty() && (topic.front() == '/' || topic.front() == '\\'))
            topic.remove_prefix(1);
    }
    if (topic.empty())
        topic = kHelpContentsPage;
    std::string page(set);
    page += '/';
    page += helpSetPage(topic);
    return openInBrowser(page);
}

}  // namespace win
