#include "platform/shell/command_line.h"

namespace win {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

ProgramWord splitProgramName(std::string_view line) {
    ProgramWord word;
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    if (i < line.size() && line[i] == '"') {
        word.quoted = true;
        std::size_t end = line.find('"', i + 1);
        if (end == std::string_view::npos)
            end = line.size();
        word.text = std::string(line.substr(i + 1, end - i - 1));
        word.restAt = end < line.size() ? end + 1 : end;
        return word;
    }
    std::size_t end = i;
    while (end < line.size() && !isBlank(line[end]))
        ++end;
    word.text = std::string(line.substr(i, end - i));
    word.restAt = end;
    return word;
}

std::vector<std::string> splitArguments(std::string_view rest) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (true) {
        while (i < rest.size() && isBlank(rest[i]))
            ++i;
        if (i >= rest.size())
            return args;
        std::string arg;
        bool inQuotes = false;
        while (i < rest.size() && (inQuotes || !isBlank(rest[i]))) {
            char c = rest[i];
            if (c == '\\') {
                std::size_t run = 0;
                while (i < rest.size() && rest[i] == '\\') {
                    ++run;
                    ++i;
                }
                if (i < rest.size() && rest[i] == '"') {
                    arg.append(run / 2, '\\');
                    if (run % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(run, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (inQuotes && i + 1 < rest.size() && rest[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            arg += c;
            ++i;
        }
        args.push_back(std::move(arg));
    }
}

std::vector<std::string> splitCommandLine(std::string_view line) {
    ProgramWord program = splitProgramName(line);
    std::vector<std::string> all{program.text};
    std::vector<std::string> rest = splitArguments(line.substr(program.restAt));
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

}  // namespace win
