// Splitting a Windows command line into arguments, as the C run-time and
// CommandLineToArgvW do:
// - blanks and tabs separate arguments outside double quotes;
// - the first argument (the program) ends at the next blank or tab, or, when
//   it begins with a double quote, at the next double quote; backslashes in
//   it are plain characters;
// - in later arguments a double quote toggles quoting; 2n backslashes before
//   a double quote give n backslashes (the quote toggles), 2n+1 give n and a
//   literal double quote; other backslashes are plain; "" inside quotes is a
//   literal double quote.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win {

struct ProgramWord {
    std::string text;
    bool quoted = false;      // the program name was written in double quotes
    std::size_t restAt = 0;   // where the text after the program name begins
};

// The program name of commandLine (leading blanks skipped).
ProgramWord splitProgramName(std::string_view commandLine);

// The arguments after the program name, from rest (the text after it).
std::vector<std::string> splitArguments(std::string_view rest);

// The whole command line: program name first, then the arguments.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

}  // namespace win
