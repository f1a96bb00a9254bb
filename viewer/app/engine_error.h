// The error a failing engine call raises: it carries the call's result.
#pragma once

#include <stdexcept>

#include "platform/com/com_types.h"

namespace brevant {

class EngineError : public std::runtime_error {
public:
    explicit EngineError(win::HRESULT result);
    win::HRESULT result() const { return result_; }

private:
    win::HRESULT result_;
};

// The text shown for a result: a short description where one is known,
// always with the result's number ("Class not registered (0x80040154)").
std::string resultText(win::HRESULT result);

// Raises EngineError for a failing result (top bit set); S_OK, S_FALSE and
// the other success codes pass and come back.
win::HRESULT checkResult(win::HRESULT result);

}  // namespace brevant
