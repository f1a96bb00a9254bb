// The private folder a page store spills its pages into: made on first use
// under $TMPDIR (else /tmp) with mode 0700, so no other user can see or plant
// files there and two exports never meet; removed with the object. Pages are
// the files "N.tmp" inside it, N the page's 1-based position in the store;
// the file "lock" holds this process's number and its lock while the folder
// is in use, so that the next export can tell and remove the folder of a
// process that was killed (leftover_files.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vistrel {

class SpillFolder {
public:
    SpillFolder() = default;
    ~SpillFolder();
    SpillFolder(const SpillFolder&) = delete;
    SpillFolder& operator=(const SpillFolder&) = delete;

    // Writes the page file of a position (replacing it). False, with no file
    // left behind, when the folder or the file cannot be made or fewer than
    // size bytes could be written.
    bool writePage(int32_t position, const std::uint8_t* data, std::size_t size);
    // Reads exactly size bytes of a page file; false when the file is
    // missing or shorter.
    bool readPage(int32_t position, std::uint8_t* data, std::size_t size) const;
    // Deletes a page file (nothing when there is none).
    void removePage(int32_t position) const;
    // Removes the folders of exports that were killed, as making the folder
    // does; nothing once it is made.
    void removeLeftovers() const;

    // The folder, empty until the first page is written.
    const std::string& path() const { return path_; }
    std::string pagePath(int32_t position) const;

private:
    bool make();

    std::string path_;
    int lock_ = -1;  // the lock file, locked while the folder is in use
};

}  // namespace vistrel
