// Where the registry store lives and how it is read and changed:
// ${XDG_CONFIG_HOME:-$HOME/.config}/lumbra/registry, or /tmp/lumbra/registry
// when no home is known, used only while that folder is this user's own with
// mode 0700. A change takes an advisory lock (the file "registry.lock" beside
// the store), re-reads the store, applies the change, writes the result to a
// temporary file beside the store file and renames it over the store. A
// crash of the program or a full disk therefore leaves either the old store
// or the new one, never a truncated one, and changes of several processes
// are applied one after the other, each on top of the last. The file is not
// flushed to the disk at every change: the system writes it out lazily. A
// store reached through a link is read and replaced where the link leads. A
// store that is not a regular file or is larger than 16 MB is none this
// program wrote: it is reported on standard error once, read as empty and
// never written over.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/registry/registry.h"
#include "platform/registry/registry_store.h"

namespace win {

// The store file's path, worked out again at every call (the environment
// may change between calls, as tests do).
std::string registryStorePath();

// Whether path is a folder (not a link to one) of this user's that no other
// user may enter or change: mode 0700 or less. With create, a missing one is
// made with mode 0700 first.
bool isPrivateFolder(const std::string& path, bool create);

// The store as the file holds it; a missing file is an empty store.
// ERROR_SUCCESS or the error of the read. The file is parsed once and kept:
// it is read again only when it is another file than the one last read or
// written (another process replaced it, or it was edited).
LONG readRegistryStore(std::shared_ptr<const RegistryStore>& store);

// Applies change to the store under the lock. change answers ERROR_SUCCESS
// and sets *changed when the store must be written; any other answer is
// handed back and nothing is written. A store that is no store file answers
// ERROR_FILE_INVALID, a fallback folder that is not this user's own
// ERROR_ACCESS_DENIED.
LONG changeRegistryStore(const std::function<LONG(RegistryStore&, bool* changed)>& change);

}  // namespace win
