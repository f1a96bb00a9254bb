// A full disk for tests: a tmpfs of a few pages mounted in a mount namespace
// of its own, for a child process (after fork, still single-threaded) that
// writes there, checks what it finds and exits; nothing outside the child
// sees it. Where the process may not mount one, the tests fail their writes
// another way.
#pragma once

#include <cstddef>
#include <string>

namespace vistrel::testing {

// Mounts a tmpfs of `bytes` (whole pages) over the folder, seen by this
// process alone; false where it cannot (no privilege, no user namespaces).
bool mountTinyDisk(const std::string& folder, std::size_t bytes);

// Fills the file system of the file's folder with the file until at most
// `room` bytes are left free; false when it cannot be written.
bool fillDisk(const std::string& file, std::size_t room);

}  // namespace vistrel::testing
