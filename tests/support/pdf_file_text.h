// A small PDF file written from object bodies, for tests that need indirect
// objects and streams: object n is bodies[n - 1] (an empty body leaves the
// number free), with a cross-reference table and a trailer whose /Root is
// object 1, followed by the trailer entries given.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vistrel::testing {

inline std::string pdfFileFromObjects(const std::vector<std::string>& bodies,
                                      const std::string& trailerEntries = "") {
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < bodies.size(); ++i) {
        offsets.push_back(pdf.size());
        if (bodies[i].empty())
            continue;
        pdf += std::to_string(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t i = 0; i < bodies.size(); ++i) {
        char entry[32];
        if (bodies[i].empty())
            std::snprintf(entry, sizeof entry, "0000000000 00001 f \n");
        else
            std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offsets[i]);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(bodies.size() + 1) + " /Root 1 0 R " +
           trailerEntries + " >>\n";
    pdf += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// Object bodies from fuzz input: the parts between lines holding "%%", at
// most `limit` of them.
inline std::vector<std::string> splitObjectBodies(const uint8_t* data, size_t size, size_t limit) {
    std::vector<std::string> bodies;
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (bodies.size() < limit) {
        const size_t end = input.find("\n%%\n", start);
        bodies.push_back(input.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            break;
        start = end + 4;
    }
    return bodies;
}

// A file of the bodies whose trailer lists every object under /Objects.
inline std::string pdfFileListingObjects(const std::vector<std::string>& bodies) {
    std::string all = "/Objects [";
    for (size_t n = 1; n <= bodies.size(); ++n)
        all += std::to_string(n) + " 0 R ";
    return pdfFileFromObjects(bodies, all + "]");
}

// A stream object's body over the given data.
inline std::string pdfStreamBody(const std::string& dictEntries, const std::string& data) {
    return "<< " + dictEntries + " /Length " + std::to_string(data.size()) + " >>\nstream\n" +
           data + "\nendstream";
}

}  // namespace vistrel::testing
