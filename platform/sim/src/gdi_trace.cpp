// The record of GDI calls that the driver can switch on for one process or one thread.
#include <cesim/gdi_trace.h>

#include <cesim/device.h>

#include "gdi_model.h"

#include <cstdio>
#include <map>

namespace cesim {

namespace {

struct TraceState {
    bool recording = false;
    bool byThread = false;
    DWORD id = 0;
    std::vector<GdiCall> calls;
    std::map<DWORD, size_t> counts; // every call since boot, by process, recording or not
};

TraceState& T() {
    static TraceState* state = new TraceState;
    return *state;
}

void Start(bool byThread, DWORD id) {
    Kernel::Lock lock(Kernel::Mutex());
    TraceState& t = T();
    t.recording = true;
    t.byThread = byThread;
    t.id = id;
    t.calls.clear();
}

} // namespace

namespace gdi {

void RecordCall(const Lock& held, const char* name, HDC dc, const int64_t* args, size_t count,
                int64_t result, TraceText text) {
    TraceState& t = T();
    const Thread& self = Kernel::Current(held);
    ++t.counts[self.processId];
    if (!t.recording)
        return;
    if ((t.byThread ? self.id : self.processId) != t.id)
        return;
    GdiCall call;
    call.name = name;
    call.args.assign(args, args + count);
    call.text = TextArg(text.text, text.count);
    call.dc = dc;
    call.result = result;
    call.processId = self.processId;
    call.threadId = self.id;
    t.calls.push_back(std::move(call));
}

std::u16string TextArg(LPCWSTR text, int count) {
    std::u16string s;
    if (!text)
        return s;
    for (int i = 0; count < 0 ? text[i] != 0 : i < count; ++i)
        s.push_back(char16_t(text[i]));
    return s;
}

void ResetTrace(const Lock&) {
    T() = TraceState();
}

} // namespace gdi

void StartGdiTraceOfProcess(DWORD processId) {
    Start(false, processId);
}

void StartGdiTraceOfThread(DWORD threadId) {
    Start(true, threadId);
}

void StopGdiTrace() {
    Kernel::Lock lock(Kernel::Mutex());
    T().recording = false;
}

void ClearGdiTrace() {
    Kernel::Lock lock(Kernel::Mutex());
    T().calls.clear();
}

size_t GdiCallCount(DWORD processId) {
    Kernel::Lock lock(Kernel::Mutex());
    auto it = T().counts.find(processId);
    return it == T().counts.end() ? 0 : it->second;
}

std::vector<GdiCall> GdiTrace() {
    Kernel::Lock lock(Kernel::Mutex());
    return T().calls;
}

std::string Describe(const GdiCall& call) {
    std::string out = call.name + "(";
    bool first = true;
    auto separate = [&] {
        if (!first)
            out += ", ";
        first = false;
    };
    if (!call.text.empty()) {
        separate();
        out += "\"" + Narrow(call.text) + "\"";
    }
    for (int64_t a : call.args) {
        separate();
        char buffer[32];
        if (a >= 0x1000000)
            std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(a));
        else
            std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(a));
        out += buffer;
    }
    return out + ")";
}

std::string Describe(const std::vector<GdiCall>& calls) {
    std::string out;
    for (const GdiCall& call : calls)
        out += Describe(call) + "\n";
    return out;
}

} // namespace cesim
