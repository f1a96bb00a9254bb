// Small PDF files written in memory for tests and fuzz targets.
#pragma once

#include <string>
#include <vector>

namespace vistrel::testing {

// A complete file: the objects numbered from 1 in the order given (object 1
// is the catalog), a cross-reference table with their offsets and a trailer
// whose /Root is 1 0 R.
std::string buildPdf(const std::vector<std::string>& objects);

}  // namespace vistrel::testing
