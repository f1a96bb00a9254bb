// The error routines the engine gives to libjpeg (decoder and encoder).
// A fatal error never returns into the library: error_exit jumps back to the
// point set by the caller around each library call (see guardedJpegCall).
// Messages are neither formatted nor shown; warnings are counted.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace vistrel {

struct JpegErrorManager {
    jpeg_error_mgr pub;  // first, so that libjpeg's pointer is this record
    std::jmp_buf jump;
    bool armed = false;   // a jump point is set
    bool failed = false;  // a fatal error happened
    // The library warned that the compressed data ended before the image was
    // complete (the rest of the image is made up, not decoded).
    bool dataEnded = false;
};

// Fills the manager with the engine's routines and returns the record to
// give to the library (cinfo.err).
jpeg_error_mgr* initJpegErrorManager(JpegErrorManager& manager);

// Runs call (a function of no arguments that calls libjpeg) with a jump
// point set; false when the library reported a fatal error. The caller must
// then destroy the library object once and never use it again.
template <class F>
[[gnu::noinline]] bool guardedJpegCall(JpegErrorManager& manager, F&& call) {
    if (setjmp(manager.jump) != 0) {
        manager.armed = false;
        manager.failed = true;
        return false;
    }
    manager.armed = true;
    call();
    manager.armed = false;
    return true;
}

}  // namespace vistrel
