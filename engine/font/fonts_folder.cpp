#include "engine/font/fonts_folder.h"

#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "engine/font/type1_loader.h"

namespace vistrel {

WString moduleFolder(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname || !info.dli_fname[0])
        return WString();
    // realpath allocates the result itself, so a path of any length fits.
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(info.dli_fname, nullptr),
                                                               &std::free);
    if (!resolved)
        return WString();
    std::string path(resolved.get());
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return WString();
    path.resize(slash + 1);
    return WString::fromUtf8(path);
}

WString engineFontsFolder() {
    WString folder = moduleFolder(reinterpret_cast<const void*>(&registerType1Loaders));
    if (!folder.empty())
        folder.appendText(u"fonts/");
    return folder;
}

}  // namespace vistrel
