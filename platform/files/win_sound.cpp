#include "platform/files/win_sound.h"

#include <unistd.h>

namespace win {

BOOL MessageBeep(UINT /*type*/) {
    if (::isatty(STDERR_FILENO)) {
        const char bell = '\a';
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, &bell, 1);
    }
    return 1;
}

}  // namespace win
