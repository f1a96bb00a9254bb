// The registry store's file reader: any bytes are read without fault, and
// what a rewrite gives is read back to the same text (lines that could not
// be read included).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    win::RegistryStore store = win::RegistryStore::parse(text);
    std::string once = store.serialize();
    std::string twice = win::RegistryStore::parse(once).serialize();
    if (once != twice)
        std::abort();
    return 0;
}
