// The desktop Windows console program: UTF-16 arguments in, console text or UTF-8 bytes out.
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "tools/vexocfg/text.h"
#include "tools/vexocfg/vexocfg.h"

namespace {

// A console takes UTF-16 whatever its code page; a pipe or a file gets the UTF-8 itself.
void Write(DWORD which, const std::string& text) {
    HANDLE handle = GetStdHandle(which);
    if (text.empty() || handle == INVALID_HANDLE_VALUE || !handle)
        return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        std::u16string wide;
        for (char16_t c : vexocfg::FromUtf8(text).value_or(u"?\n")) {
            if (c == u'\n')
                wide += u'\r';
            wide += c;
        }
        WriteConsoleW(handle, vexocfg::W(wide), DWORD(wide.size()), &written, nullptr);
    } else {
        WriteFile(handle, text.data(), DWORD(text.size()), &written, nullptr);
    }
}

} // namespace

extern "C" int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(vexocfg::ToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
    std::string out, err;
    const int code = RunVexoCfg(args, out, err);
    Write(STD_OUTPUT_HANDLE, out);
    Write(STD_ERROR_HANDLE, err);
    return code;
}
