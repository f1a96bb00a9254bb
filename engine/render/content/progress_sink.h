// The interface through which long operations report progress: a start, a
// percentage now and then, and a stop. The control object implements it by
// firing its progress events.
#pragma once

#include <cstdint>

namespace vistrel {

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void startProgressIndicator() = 0;
    virtual void stopProgressIndicator() = 0;
    virtual void setProgressIndicator(std::uint16_t percentage) = 0;
};

}  // namespace vistrel
