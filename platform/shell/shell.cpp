#include "platform/shell/shell.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shell/command_line.h"
#include "platform/shell/detached_process.h"

namespace win {
namespace {

constexpr UINT kStarted = 33;

UINT resultCode(StartResult result) {
    switch (result) {
    case StartResult::Started:
        return kStarted;
    case StartResult::NotFound:
        return ERROR_FILE_NOT_FOUND_RESULT;
    case StartResult::PathNotFound:
        return ERROR_PATH_NOT_FOUND_RESULT;
    case StartResult::AccessDenied:
        return SE_ERR_ACCESSDENIED;
    case StartResult::BadFormat:
        return ERROR_BAD_FORMAT;
    case StartResult::NoResources:
        break;
    }
    return 0;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Whether path names anything in the file system (a file or a folder).
bool pathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, int) {
    if (operation != nullptr && *operation != '\0' && !equalsIgnoringCase(operation, "open"))
        return SE_ERR_NOASSOC;
    if (parameters != nullptr && *parameters != '\0')
        return SE_ERR_NOASSOC;
    if (file == nullptr || *file == '\0')
        return ERROR_FILE_NOT_FOUND_RESULT;
    std::string target = file;
    std::string dir = directory != nullptr ? directory : "";
    if (target.find("://") == std::string::npos) {
        std::string seen = target.front() == '/' || dir.empty() ? target : dir + "/" + target;
        if (!pathExists(seen))
            return ERROR_FILE_NOT_FOUND_RESULT;
        // A name beginning with "-" would read as an option of the opener.
        if (target.front() == '-')
            target = "./" + target;
    }
    std::string opener = findProgram("xdg-open");
    if (opener.empty())
        return SE_ERR_NOASSOC;
    return resultCode(startDetached(opener, {"xdg-open", target}, dir));
}

UINT WinExec(LPCSTR commandLine, UINT) {
    if (commandLine == nullptr)
        return ERROR_FILE_NOT_FOUND_RESULT;
    std::string_view line = commandLine;
    ProgramWord program = splitProgramName(line);
    if (program.text.empty())
        return ERROR_FILE_NOT_FOUND_RESULT;
    std::string path = findProgram(program.text);
    if (!program.quoted && !pathExists(path)) {
        // An unquoted name with blanks: "/opt/Palm Desktop/hotsync -x" names
        // "/opt/Palm" first, then "/opt/Palm Desktop/hotsync".
        std::size_t start = line.find_first_not_of(" \t");
        std::size_t end = program.restAt;
        while (true) {
            std::size_t next = line.find_first_not_of(" \t", end);
            if (next == std::string_view::npos)
                break;
            end = std::min(line.find_first_of(" \t", next), line.size());
            std::string longer(line.substr(start, end - start));
            std::string longerPath = findProgram(longer);
            if (pathExists(longerPath)) {
                program.text = std::move(longer);
                program.restAt = end;
                path = std::move(longerPath);
                break;
            }
        }
    }
    if (!pathExists(path)) {
        std::size_t slash = program.text.rfind('/');
        if (slash != std::string::npos && slash > 0 && !pathExists(program.text.substr(0, slash)))
            return ERROR_PATH_NOT_FOUND_RESULT;
        return ERROR_FILE_NOT_FOUND_RESULT;
    }
    std::vector<std::string> args{program.text};
    std::vector<std::string> rest = splitArguments(line.substr(program.restAt));
    args.insert(args.end(), rest.begin(), rest.end());
    return resultCode(startDetached(path, args, {}));
}

}  // namespace win
