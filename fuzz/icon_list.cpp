// Icon list stream reader: what reads is written and read again.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "viewer/components/icon_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    brevant::IconList list;
    try {
        list.loadFromBytes({data, size});
    } catch (const std::exception&) {
        return 0;
    }
    brevant::IconList again;
    again.loadFromBytes(list.saveToBytes());
    return 0;
}
