// What killed exports leave behind: the spill folders "vistrel-pdb-XXXXXX"
// under $TMPDIR and the new databases "NAME.PID.RANDOM.tmp" beside their
// target. Each names the process that made it (a lock file inside the
// folder holding its pid, the pid in the file's name) and is locked by it
// while that process uses it. Only what is provably such a leftover is
// removed: the name has the pattern, it is this user's, not reached through a
// link, its process is gone and no one holds its lock.
#pragma once

#include <string>

namespace vistrel {

// The lock file inside a spill folder.
inline constexpr char kSpillLockName[] = "lock";

// A new random text of 16 lowercase hexadecimal digits.
std::string randomHexTag();

// The name of a new database beside target for this process, before the
// random part: "TARGET.PID.".
std::string newFilePrefix(const std::string& target);

// Removes the spill folders under root whose process is gone, with the page
// files ("N.tmp") and the lock file in them; a folder holding anything else
// stays.
void removeAbandonedSpillFolders(const std::string& root);

// Removes the new databases beside target ("TARGET.PID.RANDOM.tmp") whose
// process is gone.
void removeAbandonedNewFiles(const std::string& target);

}  // namespace vistrel
