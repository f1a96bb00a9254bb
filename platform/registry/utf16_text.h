// 16-bit text helpers of the platform layers: conversion to and from UTF-8
// and the case-insensitive comparison that key paths and value names use.
#pragma once

#include <string>
#include <string_view>

namespace win {

// A lone surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view text);

// A byte that does not begin a well-formed sequence becomes U+FFFD.
std::u16string utf16FromUtf8(std::string_view text);

// Upper-case form of one unit over ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic; every other unit is its own upper case.
char16_t upperCaseUnit(char16_t c);

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace win
