#include "engine/codec/jpeg_error.h"

#include <cstdlib>

#include <jerror.h>

namespace vistrel {

namespace {

void outputMessage(j_common_ptr cinfo) {
    char buffer[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, buffer);  // nothing is shown
}

void errorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    // Never return into the library. Every call is guarded; an unguarded
    // fatal error is a programming fault.
    if (!manager->armed)
        std::abort();
    std::longjmp(manager->jump, 1);
}

void emitMessage(j_common_ptr cinfo, int level) {
    jpeg_error_mgr* err = cinfo->err;
    if (level < 0) {
        if (err->msg_code == JWRN_HIT_MARKER || err->msg_code == JWRN_JPEG_EOF)
            reinterpret_cast<JpegErrorManager*>(err)->dataEnded = true;
        if (err->num_warnings == 0 || err->trace_level >= 3)
            (*err->output_message)(cinfo);
        err->num_warnings++;
    } else if (err->trace_level >= level) {
        (*err->output_message)(cinfo);
    }
}

void formatMessage(j_common_ptr, char* buffer) {
    if (buffer)
        buffer[0] = '\0';
}

void resetErrorManager(j_common_ptr cinfo) {
    cinfo->err->num_warnings = 0;
    cinfo->err->msg_code = 0;
}

}  // namespace

jpeg_error_mgr* initJpegErrorManager(JpegErrorManager& manager) {
    jpeg_error_mgr* err = jpeg_std_error(&manager.pub);
    err->error_exit = errorExit;
    err->emit_message = emitMessage;
    err->output_message = outputMessage;
    err->format_message = formatMessage;
    err->reset_error_mgr = resetErrorManager;
    manager.armed = false;
    manager.failed = false;
    manager.dataEnded = false;
    return err;
}

}  // namespace vistrel
