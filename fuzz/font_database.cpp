// The font substitution database: the input up to its first zero byte is
// "fonts.dsc", the rest "cmap.dsc", both written into a folder of the
// process's own; the database reads them, then matches a set of key names
// (and the input's first bytes as one more) and looks CMaps up. The files
// the matches name are opened but not read.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/font/font_database.h"
#include "engine/font/font_description.h"

using namespace vistrel;

namespace {

std::string folder;

void removeFolder() {
    if (folder.empty())
        return;
    std::remove((folder + "fonts.dsc").c_str());
    std::remove((folder + "cmap.dsc").c_str());
    rmdir(folder.c_str());
}

bool writeFile(const std::string& name, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen((folder + name).c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

const char16_t* const kRequests[] = {
    u"helvetica", u"times-roman-serif", u"arial,bold", u"courier-symbol-monospace",
    u"symbol-symbol", u"abcdef+palatino-bolditalic", u"", u"x-bold-oblique",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool made = [] {
        char pattern[] = "/tmp/vistrel-fuzz-fontdb-XXXXXX";
        if (const char* dir = mkdtemp(pattern))
            folder = std::string(dir) + "/";
        std::atexit(removeFolder);
        return true;
    }();
    if (!made || folder.empty())
        return 0;

    size_t split = 0;
    while (split < size && data[split] != 0)
        ++split;
    const size_t rest = split < size ? split + 1 : size;
    if (!writeFile("fonts.dsc", data, split) || !writeFile("cmap.dsc", data + rest, size - rest))
        return 0;

    FontDatabase database;
    database.loadFiles(WString::fromUtf8(folder));
    settingsStore().set(settings::FontSystem, settings::StrictTTSubst,
                        SettingValue::ofBoolean(size % 2 == 1));
    Type1FontDescription description;
    for (const char16_t* request : kRequests) {
        description.name().assign(WString(request));
        WString text;
        (void)database.matchStyle(description, text);
    }
    description.name().assign(WString::fromLatin1(
        std::string(reinterpret_cast<const char*>(data), split < 32 ? split : 32)));
    WString text;
    (void)database.matchStyle(description, text);

    (void)database.lookup(CMapRequest{WString(u"/UniJIS-UCS2-H"), WString(u"Adobe"),
                                      WString(u"Japan1")});
    (void)database.lookup(CMapRequest{WString(), WString(), WString()});
    return 0;
}
