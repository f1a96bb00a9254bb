#include "viewer/app/engine_error.h"

#include <cstdio>

namespace brevant {

std::string resultText(win::HRESULT result) {
    using namespace win;
    struct Known {
        HRESULT result;
        const char* text;
    };
    static const Known kKnown[] = {
        {E_FAIL, "Unspecified error"},
        {E_NOTIMPL, "Not implemented"},
        {E_NOINTERFACE, "No such interface supported"},
        {E_POINTER, "Invalid pointer"},
        {E_ACCESSDENIED, "Access is denied"},
        {E_OUTOFMEMORY, "Not enough memory"},
        {E_INVALIDARG, "The parameter is incorrect"},
        {E_UNEXPECTED, "Catastrophic failure"},
        {REGDB_E_CLASSNOTREG, "Class not registered"},
        {CO_E_ERRORINDLL, "Error in the DLL"},
        {CO_E_NOTINITIALIZED, "CoInitialize has not been called"},
        {HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), "The specified module could not be found"},
    };
    char number[16];
    std::snprintf(number, sizeof number, "0x%08X", unsigned(result));
    for (const Known& k : kKnown) {
        if (k.result == result)
            return std::string(k.text) + " (" + number + ")";
    }
    return std::string("Engine error ") + number;
}

EngineError::EngineError(win::HRESULT result)
    : std::runtime_error(resultText(result)), result_(result) {}

win::HRESULT checkResult(win::HRESULT result) {
    if (win::FAILED(result))
        throw EngineError(result);
    return result;
}

}  // namespace brevant
