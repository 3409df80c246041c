// Message boxes: a modal dialog of the calling thread with a caption bar, an icon, the text in
// lines and a button per answer, laid out for the screen's DPI and drawn as the device draws
// them; and the driver's view of the open ones.
#include <cesim/msgbox.h>
#include <cesim/stylus.h>

#include "gdi.h"
#include "services.h"
#include "windowing.h"

#include <algorithm>
#include <memory>
#include <set>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

const wchar_t kBoxClass[] = L"Dialog";
const wchar_t kButtonClass[] = L"BUTTON";
const DWORD kDefaultButtonStyle = 0x0001; // BS_DEFPUSHBUTTON
const LONG kPressed = 1;                  // a button's user data while pressed

struct Answer {
    int id;
    std::u16string label;
};

struct Layout {
    int width = 0;
    int height = 0;
    int caption = 0;      // height of the caption bar
    int captionInset = 0; // of its title
    RECT icon = {0, 0, 0, 0};
    RECT text = {0, 0, 0, 0};
    int lineHeight = 0;
    std::vector<std::u16string> lines;
    std::vector<RECT> buttons;
};

struct Box {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::u16string caption;
    std::u16string text;
    UINT type = 0;
    DWORD processId = 0;
    DWORD threadId = 0;
    std::vector<Answer> answers;
    std::vector<HWND> buttons;
    Layout layout;
    int result = 0;
    bool answered = false;
};

struct State {
    std::vector<std::shared_ptr<Box>> boxes; // the oldest first
    std::set<DWORD> processesWithClasses;
};

State& S() {
    static State* state = new State;
    return *state;
}

std::vector<Answer> AnswersFor(UINT type) {
    const Answer ok = {IDOK, u"OK"}, cancel = {IDCANCEL, u"Cancel"}, yes = {IDYES, u"Yes"},
                 no = {IDNO, u"No"}, retry = {IDRETRY, u"Retry"};
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return {ok};
    case MB_OKCANCEL:
        return {ok, cancel};
    case MB_ABORTRETRYIGNORE:
        return {{IDABORT, u"Abort"}, retry, {IDIGNORE, u"Ignore"}};
    case MB_YESNOCANCEL:
        return {yes, no, cancel};
    case MB_YESNO:
        return {yes, no};
    case MB_RETRYCANCEL:
        return {retry, cancel};
    }
    return {};
}

std::shared_ptr<Box> FindBox(const Lock&, HWND window) {
    for (const std::shared_ptr<Box>& box : S().boxes)
        if (box->window == window)
            return box;
    return nullptr;
}

std::shared_ptr<Box> BoxOf(HWND window) {
    Lock lock(Kernel::Mutex());
    return FindBox(lock, window);
}

int Scale(int n, int dpi) {
    return (n * dpi + 48) / 96;
}

int TextWidth(HDC dc, const std::u16string& text) {
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, W(text), int(text.size()), &size);
    return size.cx;
}

// Breaks the text at its line ends, and at spaces where a line would grow wider than width.
std::vector<std::u16string> WrapText(HDC dc, const std::u16string& text, int width) {
    std::vector<std::u16string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find_first_of(u"\r\n", start);
        std::u16string paragraph =
            text.substr(start, end == std::u16string::npos ? end : end - start);
        std::u16string line;
        size_t pos = 0;
        while (pos <= paragraph.size()) {
            size_t space = paragraph.find(u' ', pos);
            std::u16string word =
                paragraph.substr(pos, space == std::u16string::npos ? space : space - pos);
            std::u16string longer = line.empty() ? word : line + u" " + word;
            if (!line.empty() && TextWidth(dc, longer) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = longer;
            }
            if (space == std::u16string::npos)
                break;
            pos = space + 1;
        }
        lines.push_back(line);
        if (end == std::u16string::npos)
            break;
        start = end + ((text.compare(end, 2, u"\r\n") == 0) ? 2 : 1);
    }
    return lines;
}

Layout LayOut(HDC dc, const Box& box, const Display& screen) {
    const int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    auto sx = [dpiX](int n) { return Scale(n, dpiX); };
    auto sy = [dpiY](int n) { return Scale(n, dpiY); };
    Layout l;
    l.width = std::min(screen.width - 2 * sx(8), sx(224));
    l.caption = sy(20);
    l.captionInset = sx(4);
    const int margin = sx(8);
    const int top = l.caption + sy(8);
    int textLeft = margin;
    if (box.type & MB_ICONMASK) {
        l.icon = RECT{margin, top, margin + sx(32), top + sy(32)};
        textLeft = l.icon.right + margin;
    }
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    l.lineHeight = metrics.tmHeight;
    l.lines = WrapText(dc, box.text, l.width - margin - textLeft);
    const int textHeight = int(l.lines.size()) * l.lineHeight;
    const int content = std::max<int>(textHeight, l.icon.bottom - l.icon.top);
    const int textTop = top + (content - textHeight) / 2;
    l.text = RECT{textLeft, textTop, l.width - margin, textTop + textHeight};

    std::vector<int> widths;
    int total = 0;
    for (const Answer& answer : box.answers) {
        widths.push_back(std::max(sx(56), TextWidth(dc, answer.label) + sx(16)));
        total += widths.back();
    }
    const int gap = sx(8);
    total += gap * int(widths.size() - 1);
    int x = (l.width - total) / 2;
    const int y = top + content + sy(12);
    for (int width : widths) {
        l.buttons.push_back(RECT{x, y, x + width, y + sy(22)});
        x += width + gap;
    }
    l.height = y + sy(22) + sy(8);
    return l;
}

// A frame `lines` pixels wide inside r.
void Frame(HDC dc, const RECT& r, COLORREF color, int lines) {
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    for (int i = 0; i < lines; ++i)
        Rectangle(dc, r.left + i, r.top + i, r.right - i, r.bottom - i);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void CenteredMark(HDC dc, const RECT& r, const wchar_t* mark, COLORREF color) {
    RECT box = r;
    SetTextColor(dc, color);
    DrawTextW(dc, mark, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// A yellow triangle with a black edge and mark for the warning; a disc with a white sign for
// the others.
void DrawBoxIcon(HDC dc, UINT type, const RECT& r) {
    const UINT icon = type & MB_ICONMASK;
    const int w = r.right - r.left, h = r.bottom - r.top, cx = r.left + w / 2;
    if (icon == MB_ICONEXCLAMATION) {
        HPEN fill = CreatePen(PS_SOLID, 1, RGB(255, 204, 0));
        HGDIOBJ oldPen = SelectObject(dc, fill);
        for (int y = 1; y < h - 1; ++y) {
            int half = y * (w - 1) / (2 * (h - 1));
            MoveToEx(dc, cx - half, r.top + y, nullptr);
            LineTo(dc, cx + half + 1, r.top + y);
        }
        HPEN edge = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
        SelectObject(dc, edge);
        POINT outline[4] = {
            {cx, r.top}, {r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1}, {cx, r.top}};
        Polyline(dc, outline, 4);
        SelectObject(dc, oldPen);
        DeleteObject(fill);
        DeleteObject(edge);
        const int stroke = std::max(1, w / 12);
        HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        RECT bar = {cx - stroke / 2, r.top + h * 3 / 8, cx - stroke / 2 + stroke,
                    r.top + h * 11 / 16};
        RECT dot = {bar.left, r.top + h * 6 / 8, bar.right, r.top + h * 6 / 8 + stroke};
        FillRect(dc, &bar, black);
        FillRect(dc, &dot, black);
        return;
    }
    COLORREF disc = icon == MB_ICONHAND ? RGB(200, 16, 16) : RGB(16, 72, 200);
    HBRUSH brush = CreateSolidBrush(disc);
    HPEN pen = CreatePen(PS_SOLID, 1, disc);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
    const wchar_t* mark = icon == MB_ICONHAND ? L"X" : icon == MB_ICONQUESTION ? L"?" : L"i";
    CenteredMark(dc, r, mark, RGB(255, 255, 255));
}

void PaintBox(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    std::shared_ptr<Box> box = BoxOf(window);
    if (box) {
        const Layout& l = box->layout;
        RECT all = {0, 0, l.width, l.height};
        FillRect(dc, &all, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        RECT bar = {0, 0, l.width, l.caption};
        FillRect(dc, &bar, reinterpret_cast<HBRUSH>(COLOR_ACTIVECAPTION + 1));
        HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
        RECT title = bar;
        title.left += l.captionInset;
        DrawTextW(dc, W(box->caption), -1, &title,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (box->type & MB_ICONMASK)
            DrawBoxIcon(dc, box->type, l.icon);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        for (size_t i = 0; i < l.lines.size(); ++i) {
            RECT line = {l.text.left, l.text.top + int(i) * l.lineHeight, l.text.right,
                         l.text.top + int(i + 1) * l.lineHeight};
            DrawTextW(dc, W(l.lines[i]), -1, &line, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
        }
        Frame(dc, all, GetSysColor(COLOR_WINDOWFRAME), Scale(1, GetDeviceCaps(dc, LOGPIXELSX)));
        SelectObject(dc, oldFont);
    }
    EndPaint(window, &ps);
}

void PaintButton(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    const bool pressed = (GetWindowLongW(window, GWL_USERDATA) & kPressed) != 0;
    FillRect(dc, &r, reinterpret_cast<HBRUSH>((pressed ? COLOR_HIGHLIGHT : COLOR_BTNFACE) + 1));
    // The default button's frame is twice as wide.
    const int line = Scale(1, GetDeviceCaps(dc, LOGPIXELSX));
    const bool preferred = (DWORD(GetWindowLongW(window, GWL_STYLE)) & kDefaultButtonStyle) != 0;
    Frame(dc, r, GetSysColor(COLOR_WINDOWFRAME), preferred ? 2 * line : line);
    wchar_t label[32] = {};
    GetWindowTextW(window, label, 32);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, TRANSPARENT);
    CenteredMark(dc, r, label, GetSysColor(pressed ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT));
    SelectObject(dc, oldFont);
    EndPaint(window, &ps);
}

void SetPressed(HWND window, bool pressed) {
    LONG was = GetWindowLongW(window, GWL_USERDATA) & kPressed;
    if (bool(was) == pressed)
        return;
    SetWindowLongW(window, GWL_USERDATA, pressed ? kPressed : 0);
    InvalidateRect(window, nullptr, FALSE);
}

bool Inside(HWND window, LPARAM lParam) {
    RECT r;
    GetClientRect(window, &r);
    POINT p = {SHORT(LOWORD(lParam)), SHORT(HIWORD(lParam))};
    return PtInRect(&r, p) != FALSE;
}

// A push button: pressed while the stylus that went down on it stays on it; released there, it
// tells its parent with WM_COMMAND (its id, BN_CLICKED).
LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        SetCapture(window);
        SetPressed(window, true);
        return 0;
    case WM_MOUSEMOVE:
        if (GetCapture() == window)
            SetPressed(window, Inside(window, lParam));
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == window) {
            bool inside = Inside(window, lParam);
            ReleaseCapture();
            if (inside)
                SendMessageW(GetParent(window), WM_COMMAND,
                             MAKEWPARAM(GetWindowLongW(window, GWL_ID), BN_CLICKED),
                             LPARAM(window));
        }
        return 0;
    case WM_CAPTURECHANGED:
        SetPressed(window, false);
        return 0;
    case WM_PAINT:
        PaintButton(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Conclude(HWND window, int id) {
    Lock lock(Kernel::Mutex());
    std::shared_ptr<Box> box = FindBox(lock, window);
    if (!box || box->answered)
        return;
    for (const Answer& answer : box->answers) {
        if (answer.id == id) {
            box->result = id;
            box->answered = true;
            return;
        }
    }
}

// Closing the box answers Cancel when it offers that, or its one button; a box that asks a
// question without a way out stays.
void CloseBox(HWND window) {
    std::shared_ptr<Box> box = BoxOf(window);
    if (!box)
        return;
    for (const Answer& answer : box->answers)
        if (answer.id == IDCANCEL)
            return Conclude(window, IDCANCEL);
    if (box->answers.size() == 1)
        Conclude(window, box->answers.front().id);
}

LRESULT CALLBACK BoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        Conclude(window, LOWORD(wParam));
        return 0;
    case WM_CLOSE:
        CloseBox(window);
        return 0;
    case WM_PAINT:
        PaintBox(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The box's classes are the calling process's own, registered with its first box.
bool RegisterBoxClasses() {
    DWORD process = GetCurrentProcessId();
    {
        Lock lock(Kernel::Mutex());
        if (S().processesWithClasses.count(process))
            return true;
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BoxProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kBoxClass;
    if (!RegisterClassW(&wc))
        return false;
    wc.lpfnWndProc = ButtonProc;
    wc.lpszClassName = kButtonClass;
    if (!RegisterClassW(&wc)) {
        UnregisterClassW(kBoxClass, wc.hInstance);
        return false;
    }
    Lock lock(Kernel::Mutex());
    S().processesWithClasses.insert(process);
    return true;
}

HWND TopLevelOf(HWND window) {
    while (window && (DWORD(GetWindowLongW(window, GWL_STYLE)) & WS_CHILD))
        window = GetParent(window);
    return window;
}

HWND CreateBox(const std::shared_ptr<Box>& box) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ oldFont = SelectObject(screen, GetStockObject(SYSTEM_FONT));
    Display d = CurrentDisplay();
    box->layout = LayOut(screen, *box, d);
    SelectObject(screen, oldFont);
    ReleaseDC(nullptr, screen);

    const Layout& l = box->layout;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    DWORD exStyle = (box->type & MB_TOPMOST) ? WS_EX_TOPMOST : 0;
    HWND window =
        CreateWindowExW(exStyle, kBoxClass, W(box->caption), WS_POPUP | WS_CAPTION | WS_VISIBLE,
                        (d.width - l.width) / 2, std::max(0, (d.height - l.height) / 2), l.width,
                        l.height, box->owner, nullptr, instance, nullptr);
    if (!window)
        return nullptr;
    {
        Lock lock(Kernel::Mutex());
        box->window = window;
        S().boxes.push_back(box);
    }
    size_t preferred = std::min<size_t>((box->type & MB_DEFMASK) >> 8, box->answers.size() - 1);
    for (size_t i = 0; i < box->answers.size(); ++i) {
        const RECT& r = l.buttons[i];
        DWORD style = WS_CHILD | WS_VISIBLE | (i == preferred ? kDefaultButtonStyle : 0);
        HWND button = CreateWindowExW(0, kButtonClass, W(box->answers[i].label), style, r.left,
                                      r.top, r.right - r.left, r.bottom - r.top, window,
                                      reinterpret_cast<HMENU>(uintptr_t(box->answers[i].id)),
                                      instance, nullptr);
        Lock lock(Kernel::Mutex());
        box->buttons.push_back(button);
    }
    return window;
}

bool Answered(const Box& box) {
    Lock lock(Kernel::Mutex());
    return box.answered;
}

MessageBoxInfo Describe(const Lock& held, const Box& box) {
    MessageBoxInfo info;
    info.window = box.window;
    info.owner = box.owner;
    info.caption = box.caption;
    info.text = box.text;
    info.type = box.type;
    info.processId = box.processId;
    info.threadId = box.threadId;
    if (Window* w = WindowManager::Find(held, box.window))
        info.rect = WindowManager::ScreenRect(held, *w);
    for (size_t i = 0; i < box.buttons.size() && i < box.answers.size(); ++i) {
        MessageBoxButton button;
        button.id = box.answers[i].id;
        button.label = box.answers[i].label;
        button.window = box.buttons[i];
        if (Window* w = WindowManager::Find(held, box.buttons[i]))
            button.rect = WindowManager::ScreenRect(held, *w);
        info.buttons.push_back(button);
    }
    return info;
}

} // namespace

void BootMessageBoxes() {
    Lock lock(Kernel::Mutex());
    S() = State();
}

std::vector<MessageBoxInfo> MessageBoxes() {
    Kernel::Settle();
    Lock lock(Kernel::Mutex());
    std::vector<MessageBoxInfo> result;
    for (auto it = S().boxes.rbegin(); it != S().boxes.rend(); ++it)
        if (WindowManager::Find(lock, (*it)->window))
            result.push_back(Describe(lock, **it));
    return result;
}

std::optional<MessageBoxInfo> OpenMessageBox() {
    std::vector<MessageBoxInfo> boxes = MessageBoxes();
    if (boxes.empty())
        return std::nullopt;
    return boxes.front();
}

bool AnswerMessageBox(int buttonId) {
    std::optional<MessageBoxInfo> box = OpenMessageBox();
    if (!box)
        return false;
    for (const MessageBoxButton& button : box->buttons) {
        if (button.id != buttonId)
            continue;
        Tap((button.rect.left + button.rect.right) / 2, (button.rect.top + button.rect.bottom) / 2);
        return true;
    }
    return false;
}

} // namespace cesim

using namespace cesim;

extern "C" {

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    auto box = std::make_shared<Box>();
    box->answers = AnswersFor(type);
    if (box->answers.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!RegisterBoxClasses())
        return 0;
    box->caption = caption ? U16(caption) : u"Error";
    box->text = U16(text);
    box->type = type;
    box->owner = TopLevelOf(owner);
    box->processId = GetCurrentProcessId();
    box->threadId = GetCurrentThreadId();
    // The owner takes no taps while its question is open.
    LONG ownerStyle = box->owner ? GetWindowLongW(box->owner, GWL_STYLE) : 0;
    if (box->owner)
        SetWindowLongW(box->owner, GWL_STYLE, ownerStyle | LONG(WS_DISABLED));
    HWND window = CreateBox(box);
    if (window && (type & MB_SETFOREGROUND))
        SetForegroundWindow(window);

    bool quit = false;
    int quitCode = 0;
    while (window && !Answered(*box) && IsWindow(window)) {
        MSG msg;
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            quit = true;
            quitCode = int(msg.wParam);
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    if (box->owner && IsWindow(box->owner) && !(ownerStyle & LONG(WS_DISABLED)))
        SetWindowLongW(box->owner, GWL_STYLE,
                       GetWindowLongW(box->owner, GWL_STYLE) & ~LONG(WS_DISABLED));
    if (window && IsWindow(window))
        DestroyWindow(window);
    {
        Lock lock(Kernel::Mutex());
        auto& boxes = S().boxes;
        boxes.erase(std::remove(boxes.begin(), boxes.end(), box), boxes.end());
    }
    // The quit request is the outer loop's: it ends the box unanswered and goes on.
    if (quit) {
        PostQuitMessage(quitCode);
        return 0;
    }
    return Answered(*box) ? box->result : 0;
}

} // extern "C"
