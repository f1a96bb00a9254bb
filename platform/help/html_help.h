// HTML Help stand-in. The help set is a folder named like the help file
// ("lumbra.chm/") holding HTML pages; a topic is shown by opening its page
// in the desktop's browser through the shell (a file:// address). The
// browser's windows are not ours, so closing the help closes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace win {

using UINT = std::uint32_t;
using HWND = std::uint32_t;
using LPCSTR = const char*;
using DWORD_PTR = std::uintptr_t;

constexpr UINT HH_DISPLAY_TOPIC = 0x0000;
constexpr UINT HH_DISPLAY_TOC = 0x0001;
constexpr UINT HH_CLOSE_ALL = 0x0012;

// The page of the help set's contents: a web page, which the desktop's
// opener hands to the browser.
constexpr const char* kHelpContentsPage = "Table of Contents.htm";

// The page of the help set that shows topic: the topic itself, except that
// a compiled help's contents file (a name ending in ".hhc") is held as the
// web page of the same name ending in ".htm".
std::string helpSetPage(std::string_view topic);

// file is "<folder>/lumbra.chm" or "<folder>/lumbra.chm::/<page>".
// HH_DISPLAY_TOPIC opens the page it names (through helpSetPage; the
// contents page when it names none); HH_DISPLAY_TOC opens the contents
// page. Answers a non-zero handle when the browser started, 0 otherwise
// (no desktop opener found among them). HH_CLOSE_ALL does nothing and
// answers 0, as do other commands. The caller window and data are ignored.
HWND HtmlHelpA(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

// The file:// address of path (made absolute against the current folder),
// every byte but letters, digits and "-._~/" written as %XX, so blanks
// become %20.
std::string fileAddress(std::string_view path);

}  // namespace win
