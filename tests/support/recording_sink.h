// An event sink as a host makes one: it answers IDispatch and the event
// interface's id, checks that each event arrives the way events are fired
// (DISPATCH_METHOD, IID_NULL, the user locale, no named arguments, no
// result), and records the event with its arguments as numbers, last first.
// `during` runs inside the call, so a test can unadvise, advise or call back
// from there. Wrap it in win::ComObject for its reference count.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/com/unknown.h"

namespace vistrel::test {

struct SinkCall {
    std::string sink;
    win::DISPID member;
    std::vector<win::LONG> arguments;  // as received, last first
    bool operator==(const SinkCall&) const = default;
};

inline void PrintTo(const SinkCall& call, std::ostream* out) {
    *out << call.sink << ":" << call.member << "(";
    for (size_t i = 0; i < call.arguments.size(); ++i)
        *out << (i ? "," : "") << call.arguments[i];
    *out << ")";
}

class RecordingSink : public win::IDispatch {
public:
    explicit RecordingSink(win::REFIID events) : events_(events) {}

    std::string name;
    std::vector<SinkCall>* log = nullptr;
    std::function<void()> during;
    bool answersEvents = true;
    win::HRESULT answer = win::S_OK;

    win::HRESULT GetTypeInfoCount(win::UINT* count) override {
        *count = 0;
        return win::S_OK;
    }
    win::HRESULT GetTypeInfo(win::UINT, win::LCID, win::ITypeInfo**) override {
        return win::E_NOTIMPL;
    }
    win::HRESULT GetIDsOfNames(win::REFIID, win::LPOLESTR*, win::UINT, win::LCID,
                               win::DISPID*) override {
        return win::DISP_E_UNKNOWNNAME;
    }
    win::HRESULT Invoke(win::DISPID member, win::REFIID iid, win::LCID locale, win::WORD flags,
                        win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO* exception,
                        win::UINT* argumentError) override {
        EXPECT_EQ(iid, win::IID_NULL);
        EXPECT_EQ(locale, win::LOCALE_USER_DEFAULT);
        EXPECT_EQ(flags, win::DISPATCH_METHOD);
        EXPECT_EQ(params->cNamedArgs, 0u);
        EXPECT_EQ(params->rgdispidNamedArgs, nullptr);
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(exception, nullptr);
        EXPECT_EQ(argumentError, nullptr);
        SinkCall call{name, member, {}};
        for (win::UINT i = 0; i < params->cArgs; ++i) {
            win::VARIANT n{};
            EXPECT_EQ(win::VariantChangeType(&n, &params->rgvarg[i], 0, win::VT_I4), win::S_OK);
            call.arguments.push_back(n.lVal);
        }
        if (log)
            log->push_back(call);
        if (during)
            during();
        return answer;
    }

    win::IUnknown* interfaceFor(win::REFIID iid) {
        if (iid == win::IID_IUnknown || iid == win::IID_IDispatch ||
            (answersEvents && iid == events_))
            return this;
        return nullptr;
    }

private:
    win::IID events_;
};

}  // namespace vistrel::test
