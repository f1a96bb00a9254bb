// Shell stand-in: the two calls the viewer makes to start something outside
// itself. ShellExecuteA opens a document or address with the desktop's
// opener (xdg-open); WinExec starts a program from a command line. Both start
// the process detached (it is not our child and outlives us) and without a
// shell, so nothing in the file name or command line is interpreted.
#pragma once

#include <cstdint>

namespace win {

using UINT = std::uint32_t;
using HWND = std::uint32_t;
using LPCSTR = const char*;
// The result of ShellExecuteA: above 32 when the opener started, else one of
// the error values below.
using HINSTANCE = std::intptr_t;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;

// Error results of both calls (0 is "out of memory or resources").
constexpr UINT ERROR_FILE_NOT_FOUND_RESULT = 2;
constexpr UINT ERROR_PATH_NOT_FOUND_RESULT = 3;
constexpr UINT ERROR_BAD_FORMAT = 11;
constexpr UINT SE_ERR_ACCESSDENIED = 5;
constexpr UINT SE_ERR_NOASSOC = 31;

// Opens file with the desktop's opener: "xdg-open" found on PATH, given the
// file as its one argument. The verb must be null or "open" and parameters
// null or empty (the opener takes none), else SE_ERR_NOASSOC. A name without
// "://" must name an existing file (ERROR_FILE_NOT_FOUND_RESULT otherwise).
// directory, when given, is the opener's working directory. The window and
// show command are accepted and ignored. Answers 33 when the opener started.
HINSTANCE ShellExecuteA(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, int showCommand);

// Starts the program of commandLine, split into arguments by the Windows
// command-line rules (see command_line.h); a program name without "/" is
// searched on PATH. An unquoted program name that names no file is tried
// again with the following blank-separated words joined on, as the platform
// does for paths with blanks. The show command is ignored. Answers 33 when
// the program started, else 0, ERROR_FILE_NOT_FOUND_RESULT,
// ERROR_PATH_NOT_FOUND_RESULT or ERROR_BAD_FORMAT.
UINT WinExec(LPCSTR commandLine, UINT showCommand);

}  // namespace win
