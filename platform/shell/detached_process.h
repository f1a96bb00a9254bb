// Starting a program detached from the calling process: it gets its own
// session, its parent is not the caller (an intermediate process that ends at
// once stands between them, so no zombie is left behind), and the caller
// learns whether the program really started because a failed exec reports its
// error through a pipe that a successful one closes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win {

enum class StartResult {
    Started,
    NotFound,       // no such program
    PathNotFound,   // a folder on the way is missing or not a folder
    AccessDenied,
    BadFormat,      // the file is not a program
    NoResources,    // a process or pipe could not be made
};

// The program file for name: name itself when it holds a "/", else the first
// executable regular file of that name in the folders of PATH; empty when
// there is none.
std::string findProgram(std::string_view name);

// Starts programPath with args (args[0] is the program's name as given), in
// directory when that is not empty. No shell is involved.
StartResult startDetached(const std::string& programPath, const std::vector<std::string>& args,
                          const std::string& directory = {});

}  // namespace win
