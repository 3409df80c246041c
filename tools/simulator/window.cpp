// The window of the simulator app: shows the device's screen as it paints, turns the mouse into
// the stylus and keys into the hardware key and the device's controls, and lets the device's
// clock follow the wall clock.
#include "tools/simulator/window.h"

#include "tools/simulator/catalogue.h"

#include <cesim/device.h>
#include <cesim/menus.h>
#include <cesim/stylus.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace vexosim {

const char kWindowKeys[] =
    "  mouse       the stylus: press, move and release; hold still for a tap-and-hold\n"
    "  H or space  the hardware key of vexo's hot key, down for as long as it is held\n"
    "  1 to 5      start a program: 1 ok, 2 close, 3 sheet, 4 hang, 5 dialog\n"
    "  arrows, return, escape\n"
    "              the device's keys, to steer a menu\n"
    "  R           turn the screen a quarter to the right\n"
    "  L           read the --registry file again and tell vexo to reload its settings\n"
    "  S or F12    write a screenshot to the --out folder\n"
    "  closing the window ends the session\n";

namespace {

using Clock = std::chrono::steady_clock;

// A frame every 16 ms at most, near the display's pace without asking it for vsync.
const int kFrameMs = 16;
// A stall of the host (a debugger, a suspended laptop) is not a long press on the device.
const DWORD kLongestStepMs = 250;
// How long the window shows the result of a script's action before the next, at least.
const int kScriptPauseMs = 150;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Median and worst of one part of the frame, in milliseconds.
class Timings {
public:
    explicit Timings(const char* name) : name_(name) {}
    void Add(double ms) { times_.push_back(ms); }
    void Print() const {
        if (times_.empty())
            return;
        std::vector<double> sorted = times_;
        std::sort(sorted.begin(), sorted.end());
        size_t slow =
            size_t(sorted.end() - std::upper_bound(sorted.begin(), sorted.end(), 2.0 * kFrameMs));
        std::printf("%-8s %6zu frames, median %.2f ms, worst %.2f ms, %zu over %d ms\n", name_,
                    sorted.size(), sorted[sorted.size() / 2], sorted.back(), slow, 2 * kFrameMs);
    }

private:
    const char* name_;
    std::vector<double> times_;
};

// What one frame costs: the whole, the device's own time (input, clock, script), composing the
// screen and showing it.
struct FrameTimes {
    Timings frame{"frame"};
    Timings device{"device"};
    Timings compose{"compose"};
    Timings show{"show"};
    void Print() const {
        frame.Print();
        device.Print();
        compose.Print();
        show.Print();
    }
};

class DeviceWindow {
public:
    DeviceWindow(Session& session, const WindowOptions& options)
        : session_(session), options_(options) {}
    ~DeviceWindow();

    bool Open(std::string* error);
    int Run();

private:
    void OnEvent(const SDL_Event& event);
    void LetGo();
    void OnMouseButton(const SDL_MouseButtonEvent& button, bool down);
    void OnMouseMotion(const SDL_MouseMotionEvent& motion);
    void OnKey(const SDL_KeyboardEvent& key, bool down);
    void OnStartProgram(size_t index);
    void OnRotate();
    void OnReload();
    void OnScreenshot();
    void PlayScript();
    void FollowWallClock();
    void Present();
    POINT ScreenPoint(int windowX, int windowY) const;
    void Report(const std::string& line);

    Session& session_;
    WindowOptions options_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int textureWidth_ = 0;
    int textureHeight_ = 0;
    cesim::Surface shown_;
    bool exposed_ = true; // the display lost what the window showed
    bool quit_ = false;
    bool keyHeld_ = false;
    size_t nextAction_ = 0;
    Clock::time_point nextActionAt_;
    Clock::time_point lastTick_;
    FrameTimes frames_;
};

DeviceWindow::~DeviceWindow() {
    if (texture_)
        SDL_DestroyTexture(texture_);
    if (renderer_)
        SDL_DestroyRenderer(renderer_);
    if (window_)
        SDL_DestroyWindow(window_);
    SDL_Quit();
}

bool DeviceWindow::Open(std::string* error) {
    ScreenSize screen = session_.Screen();
    window_ = SDL_CreateWindow("vexo on a simulated Pocket PC", SDL_WINDOWPOS_CENTERED,
                               SDL_WINDOWPOS_CENTERED, screen.width * options_.scale,
                               screen.height * options_.scale, 0);
    if (window_)
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!window_ || !renderer_) {
        *error = std::string("cannot open the window: ") + SDL_GetError();
        return false;
    }
    // Whole device pixels, as the screen's own.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    return true;
}

POINT DeviceWindow::ScreenPoint(int windowX, int windowY) const {
    ScreenSize screen = session_.Screen();
    int x = std::clamp(windowX / options_.scale, 0, screen.width - 1);
    int y = std::clamp(windowY / options_.scale, 0, screen.height - 1);
    return POINT{x, y};
}

void DeviceWindow::Report(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void DeviceWindow::OnMouseButton(const SDL_MouseButtonEvent& button, bool down) {
    if (button.button != SDL_BUTTON_LEFT)
        return;
    POINT at = ScreenPoint(button.x, button.y);
    if (down) {
        cesim::StylusDown(at.x, at.y);
    } else {
        cesim::StylusMove(at.x, at.y);
        cesim::StylusUp();
    }
}

void DeviceWindow::OnMouseMotion(const SDL_MouseMotionEvent& motion) {
    if (!(motion.state & SDL_BUTTON_LMASK) || !cesim::StylusIsDown())
        return;
    POINT at = ScreenPoint(motion.x, motion.y);
    cesim::StylusMove(at.x, at.y);
}

void DeviceWindow::OnStartProgram(size_t index) {
    size_t count = 0;
    const CatalogueEntry* entries = Catalogue(count);
    if (index >= count)
        return;
    std::string error;
    if (session_.StartProgram(entries[index].name, &error))
        Report(std::string("started ") + entries[index].name);
    else
        Report(error);
}

void DeviceWindow::OnRotate() {
    std::string error;
    int angle = (session_.Angle() + 90) % 360;
    if (session_.Rotate(angle, &error))
        Report("rotated to " + std::to_string(angle));
    else
        Report(error);
}

void DeviceWindow::OnReload() {
    std::string error;
    if (session_.Reload(&error))
        Report("settings reloaded");
    else
        Report(error);
}

void DeviceWindow::OnScreenshot() {
    std::string path;
    if (session_.Screenshot(session_.NextScreenshotName(), &path))
        Report("screenshot: " + path);
    else
        Report("cannot write " + path);
}

void DeviceWindow::OnKey(const SDL_KeyboardEvent& key, bool down) {
    SDL_Keycode code = key.keysym.sym;
    if (code == SDLK_h || code == SDLK_SPACE) {
        // The hardware key is down exactly as long as the key; the keyboard's repeat is not
        // the device's.
        if (down && !key.repeat && !keyHeld_) {
            keyHeld_ = session_.PressHotKey();
            if (!keyHeld_)
                Report("vexo has no hot key (TLHWKey is 0)");
        } else if (!down && keyHeld_) {
            session_.ReleaseHotKey();
            keyHeld_ = false;
        }
        return;
    }
    if (!down || key.repeat)
        return;
    if (code >= SDLK_1 && code <= SDLK_9)
        OnStartProgram(size_t(code - SDLK_1));
    else if (code == SDLK_UP)
        cesim::PressKey(VK_UP);
    else if (code == SDLK_DOWN)
        cesim::PressKey(VK_DOWN);
    else if (code == SDLK_LEFT)
        cesim::PressKey(VK_LEFT);
    else if (code == SDLK_RIGHT)
        cesim::PressKey(VK_RIGHT);
    else if (code == SDLK_RETURN)
        cesim::PressKey(VK_RETURN);
    else if (code == SDLK_ESCAPE)
        cesim::PressKey(VK_ESCAPE);
    else if (code == SDLK_r)
        OnRotate();
    else if (code == SDLK_l)
        OnReload();
    else if (code == SDLK_s || code == SDLK_F12)
        OnScreenshot();
}

// The window no longer hears the mouse and keys: what they held down is let go on the device,
// or the hot key and the stylus would stay down there.
void DeviceWindow::LetGo() {
    if (keyHeld_)
        session_.ReleaseHotKey();
    keyHeld_ = false;
    if (cesim::StylusIsDown())
        cesim::StylusUp();
}

void DeviceWindow::OnEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        quit_ = true;
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED)
            exposed_ = true;
        else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
            LetGo();
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        OnMouseButton(event.button, event.type == SDL_MOUSEBUTTONDOWN);
        break;
    case SDL_MOUSEMOTION:
        OnMouseMotion(event.motion);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        OnKey(event.key, event.type == SDL_KEYDOWN);
        break;
    }
}

void DeviceWindow::PlayScript() {
    const Action& action = options_.script[nextAction_++];
    std::string error;
    if (!session_.Play(action, &error))
        Report(error);
    nextActionAt_ = Clock::now() + std::chrono::milliseconds(std::max(action.ms, kScriptPauseMs));
    if (nextAction_ == options_.script.size())
        Report("the script has ended; the mouse is the stylus now");
}

void DeviceWindow::FollowWallClock() {
    Clock::time_point now = Clock::now();
    double elapsed = std::chrono::duration<double, std::milli>(now - lastTick_).count();
    DWORD step = DWORD(std::min<double>(elapsed, kLongestStepMs));
    if (step == 0)
        return;
    // Whole milliseconds move on; the rest waits for the next frame.
    lastTick_ += std::chrono::milliseconds(step);
    if (elapsed > kLongestStepMs)
        lastTick_ = now;
    cesim::Advance(step);
}

void DeviceWindow::Present() {
    Clock::time_point start = Clock::now();
    cesim::Surface screen = cesim::ComposeScreen();
    frames_.compose.Add(MillisecondsSince(start));
    // An unchanged screen is not sent to the display again: an idle device costs little.
    if (!exposed_ && screen.width == shown_.width && screen.height == shown_.height &&
        screen.pixels == shown_.pixels)
        return;
    exposed_ = false;
    start = Clock::now();
    if (screen.width != textureWidth_ || screen.height != textureHeight_) {
        if (texture_)
            SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                     screen.width, screen.height);
        textureWidth_ = screen.width;
        textureHeight_ = screen.height;
        SDL_SetWindowSize(window_, screen.width * options_.scale, screen.height * options_.scale);
    }
    SDL_UpdateTexture(texture_, nullptr, screen.pixels.data(), screen.width * 4);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    frames_.show.Add(MillisecondsSince(start));
    shown_ = std::move(screen);
}

int DeviceWindow::Run() {
    lastTick_ = Clock::now();
    nextActionAt_ = lastTick_;
    while (!quit_) {
        Clock::time_point frameStart = Clock::now();
        SDL_Event event;
        while (SDL_PollEvent(&event))
            OnEvent(event);
        if (quit_)
            break;
        if (nextAction_ < options_.script.size()) {
            // A script sets the device's pace itself; the wall clock takes over after it.
            if (Clock::now() >= nextActionAt_)
                PlayScript();
            lastTick_ = Clock::now();
        } else {
            FollowWallClock();
        }
        for (const std::string& line : session_.TakeNews())
            Report(line);
        frames_.device.Add(MillisecondsSince(frameStart));
        Present();
        double spent = MillisecondsSince(frameStart);
        frames_.frame.Add(spent);
        if (spent < kFrameMs)
            SDL_Delay(Uint32(kFrameMs - spent));
    }
    LetGo();
    if (options_.frameStats)
        frames_.Print();
    return 0;
}

} // namespace

bool WindowAvailable(std::string* why) {
    // Without a desktop SDL would try the console's own display drivers, which is no window.
    if (!getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY") && !getenv("SDL_VIDEODRIVER")) {
        if (why)
            *why = "no DISPLAY";
        return false;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        if (why)
            *why = SDL_GetError();
        return false;
    }
    return true;
}

int RunWindow(Session& session, const WindowOptions& options) {
    DeviceWindow window(session, options);
    std::string error;
    if (!window.Open(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return window.Run();
}

} // namespace vexosim
