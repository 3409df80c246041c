// Command-line options of the stand-in shell.
#include "options.h"

#include <cwchar>

const wchar_t kUsage[] =
    L"usage: standin-shell [--size WxH] [--program KIND[=TITLE]]... [--record FILE]\n"
    L"                     [--ready FILE] [--seconds N]\n"
    L"KIND: ok | close | propsheet | ignore-close | hang | media | disabled | recovers\n";

namespace {

struct KindName {
    const wchar_t* name;
    ProgramKind kind;
    const wchar_t* defaultTitle;
};

const KindName kKinds[] = {
    {L"ok", ProgramKind::CaptionOk, L"Caption OK"},
    {L"close", ProgramKind::CloseButton, L"Close Button"},
    {L"propsheet", ProgramKind::Sheet, L"Property Sheet"},
    {L"ignore-close", ProgramKind::IgnoreClose, L"Ignores Close"},
    {L"hang", ProgramKind::Hang, L"Hangs"},
    {L"media", ProgramKind::MediaPlayer, L"Windows Media"},
    {L"disabled", ProgramKind::Disabled, L"Inbox"},
    {L"recovers", ProgramKind::Recovers, L"Busy"},
};

// A whole decimal number in [low, high], nothing else.
bool ParseNumber(const std::wstring& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 6)
        return false;
    int n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        n = n * 10 + (c - L'0');
    }
    if (n < low || n > high)
        return false;
    value = n;
    return true;
}

bool ParseSize(const std::wstring& text, int& width, int& height) {
    size_t x = text.find(L'x');
    return x != std::wstring::npos && ParseNumber(text.substr(0, x), 64, 4096, width) &&
           ParseNumber(text.substr(x + 1), 64, 4096, height);
}

bool ParseProgram(const std::wstring& text, ProgramRequest& request) {
    size_t eq = text.find(L'=');
    std::wstring name = text.substr(0, eq);
    for (const KindName& k : kKinds) {
        if (name == k.name) {
            request.kind = k.kind;
            request.title = eq == std::wstring::npos ? k.defaultTitle : text.substr(eq + 1);
            return true;
        }
    }
    return false;
}

} // namespace

bool ParseOptions(const std::vector<std::wstring>& args, Options& options, std::wstring& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        if (i + 1 >= args.size()) {
            error = L"unknown option or missing value: " + option;
            return false;
        }
        const std::wstring& value = args[++i];
        bool ok = true;
        if (option == L"--size") {
            ok = ParseSize(value, options.width, options.height);
        } else if (option == L"--program") {
            ProgramRequest request;
            ok = ParseProgram(value, request);
            if (ok)
                options.programs.push_back(request);
        } else if (option == L"--record") {
            options.recordFile = value;
        } else if (option == L"--ready") {
            options.readyFile = value;
        } else if (option == L"--seconds") {
            ok = ParseNumber(value, 1, 86400, options.seconds);
        } else {
            error = L"unknown option: " + option;
            return false;
        }
        if (!ok) {
            error = L"bad value for " + option + L": " + value;
            return false;
        }
    }
    return true;
}
