// Runs the reference reader of the Palm databases (tests/palm_database_check.py)
// from a test: the test's target defines VISTREL_PYTHON and
// PALM_DATABASE_CHECK.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace vistrel::testing {

// The reader's dump of a database (--dump, then the extra arguments and a
// --preview P=FILE for each preview, page records counted from 1), or
// "reader failed: " and its complaint when the database is not sound.
inline std::string readPalmDatabase(const std::string& path, const std::string& arguments,
                                    const std::vector<std::string>& previews) {
    std::string command = std::string(VISTREL_PYTHON) + " '" + PALM_DATABASE_CHECK + "' '" + path +
                          "' --dump" + arguments;
    for (std::size_t i = 0; i < previews.size(); ++i)
        command += " --preview " + std::to_string(i + 1) + "='" + previews[i] + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return "cannot run the reader";
    std::string output;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    return pclose(pipe) == 0 ? output : "reader failed: " + output;
}

}  // namespace vistrel::testing
