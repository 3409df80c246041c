// Reads scripted sessions into actions, with an error that names the line and what it expected.
#include "tools/simulator/script.h"

#include "tools/simulator/catalogue.h"

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vexosim {

namespace {

const int kDefaultTapMs = 50;
const int kDefaultDragMs = 200;
const int kDefaultKeyMs = 50;
// Longer than anything a session means; a typo of a few digits more is caught.
const long kLongestMs = 10L * 60 * 1000;

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream split(line);
    for (std::string word; split >> word;) {
        if (word[0] == '#')
            break;
        words.push_back(word);
    }
    return words;
}

bool ParseInt(const std::string& text, long& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value > INT_MIN && value < INT_MAX;
}

// "X,Y" with signed whole numbers; the sign of an offset is part of its numbers.
bool ParsePair(const std::string& text, int& x, int& y) {
    size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    long a = 0, b = 0;
    if (!ParseInt(text.substr(0, comma), a) || !ParseInt(text.substr(comma + 1), b))
        return false;
    x = int(a);
    y = int(b);
    return true;
}

class LineReader {
public:
    LineReader(int line, std::vector<std::string> words, ScreenSize screen)
        : line_(line), words_(std::move(words)), screen_(screen) {}

    bool Read(Action& action, std::string* error);

private:
    bool Fail(const std::string& why) {
        error_ = "line " + std::to_string(line_) + ": " + why;
        return false;
    }
    bool Arguments(size_t least, size_t most, const char* synopsis);
    bool Point(size_t index, ScriptPoint& point);
    bool Milliseconds(size_t index, int fallback, int& ms);

    int line_;
    std::vector<std::string> words_;
    ScreenSize screen_;
    std::string error_;
};

bool LineReader::Arguments(size_t least, size_t most, const char* synopsis) {
    size_t given = words_.size() - 1;
    if (given >= least && given <= most)
        return true;
    return Fail(std::string("expected \"") + synopsis + "\", found " + std::to_string(given) +
                (given == 1 ? " argument" : " arguments"));
}

bool LineReader::Point(size_t index, ScriptPoint& point) {
    const std::string& text = words_[index];
    std::string base = text;
    std::string offset;
    size_t sign = text.find_first_of("+-", 1);
    if (text.compare(0, 6, "button") == 0 || text.compare(0, 4, "item") == 0) {
        if (sign != std::string::npos) {
            base = text.substr(0, sign);
            offset = text.substr(text[sign] == '+' ? sign + 1 : sign);
        }
        if (!offset.empty() && !ParsePair(offset, point.x, point.y))
            return Fail("expected an offset +DX,DY after \"" + base + "\", found \"" + text + "\"");
        if (base == "button") {
            point.base = ScriptPoint::Base::Button;
            return true;
        }
        long item = -1;
        if (base.size() > 4 && ParseInt(base.substr(4), item) && item >= 0) {
            point.base = ScriptPoint::Base::MenuItem;
            point.item = int(item);
            return true;
        }
        return Fail("expected a menu item such as item0, found \"" + base + "\"");
    }
    if (!ParsePair(text, point.x, point.y))
        return Fail("expected a point X,Y, button or itemN, found \"" + text + "\"");
    if (point.x < 0 || point.y < 0 || point.x >= screen_.width || point.y >= screen_.height)
        return Fail("point " + text + " is off the " + std::to_string(screen_.width) + "x" +
                    std::to_string(screen_.height) + " screen");
    point.base = ScriptPoint::Base::Screen;
    return true;
}

bool LineReader::Milliseconds(size_t index, int fallback, int& ms) {
    if (index >= words_.size()) {
        ms = fallback;
        return true;
    }
    long value = 0;
    if (!ParseInt(words_[index], value) || value < 0 || value > kLongestMs)
        return Fail("expected milliseconds from 0 to " + std::to_string(kLongestMs) + ", found \"" +
                    words_[index] + "\"");
    ms = int(value);
    return true;
}

bool LineReader::Read(Action& action, std::string* error) {
    bool ok = false;
    const std::string& verb = words_[0];
    action.line = line_;
    if (verb == "start") {
        action.kind = Action::Kind::Start;
        ok = Arguments(1, 1, "start PROGRAM");
        if (ok && !IsKnownProgram(words_[1]))
            ok = Fail("unknown program \"" + words_[1] + "\"; known: " + KnownProgramList());
        if (ok)
            action.name = words_[1];
    } else if (verb == "tap") {
        action.kind = Action::Kind::Tap;
        ok = Arguments(1, 2, "tap POINT [MS]") && Point(1, action.from) &&
             Milliseconds(2, kDefaultTapMs, action.ms);
    } else if (verb == "hold") {
        action.kind = Action::Kind::Hold;
        ok = Arguments(2, 2, "hold POINT MS") && Point(1, action.from) &&
             Milliseconds(2, 0, action.ms);
    } else if (verb == "drag") {
        action.kind = Action::Kind::Drag;
        ok = Arguments(2, 3, "drag POINT POINT [MS]") && Point(1, action.from) &&
             Point(2, action.to) && Milliseconds(3, kDefaultDragMs, action.ms);
    } else if (verb == "down" || verb == "move") {
        action.kind = verb == "down" ? Action::Kind::Down : Action::Kind::Move;
        ok = Arguments(1, 1, verb == "down" ? "down POINT" : "move POINT") && Point(1, action.from);
    } else if (verb == "up") {
        action.kind = Action::Kind::Up;
        ok = Arguments(0, 0, "up");
    } else if (verb == "key") {
        action.kind = Action::Kind::Key;
        ok = Arguments(0, 1, "key [MS]") && Milliseconds(1, kDefaultKeyMs, action.ms);
    } else if (verb == "wait") {
        action.kind = Action::Kind::Wait;
        ok = Arguments(1, 1, "wait MS") && Milliseconds(1, 0, action.ms);
    } else if (verb == "cfg") {
        action.kind = Action::Kind::Cfg;
        ok = Arguments(1, SIZE_MAX, "cfg COMMAND [ARGUMENTS]");
        if (ok)
            action.words.assign(words_.begin() + 1, words_.end());
    } else if (verb == "rotate") {
        action.kind = Action::Kind::Rotate;
        long angle = -1;
        ok = Arguments(1, 1, "rotate 0|90|180|270");
        if (ok && !(ParseInt(words_[1], angle) &&
                    (angle == 0 || angle == 90 || angle == 180 || angle == 270)))
            ok = Fail("expected an angle of 0, 90, 180 or 270, found \"" + words_[1] + "\"");
        action.angle = int(angle);
    } else if (verb == "reload") {
        action.kind = Action::Kind::Reload;
        ok = Arguments(0, 0, "reload");
    } else if (verb == "shot") {
        action.kind = Action::Kind::Shot;
        ok = Arguments(1, 1, "shot NAME");
        if (ok && words_[1].find_first_of("/\\") != std::string::npos)
            ok = Fail("expected a file name without folders, found \"" + words_[1] + "\"");
        if (ok)
            action.name = words_[1];
    } else {
        ok = Fail("expected an action (start, tap, hold, drag, down, move, up, key, wait, cfg, "
                  "rotate, reload, shot), found \"" +
                  verb + "\"");
    }
    if (!ok && error)
        *error = error_;
    return ok;
}

} // namespace

bool ReadScript(const std::string& text, ScreenSize screen, std::vector<Action>& actions,
                std::string* error) {
    std::vector<Action> read;
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        std::vector<std::string> words = SplitWords(line);
        if (words.empty())
            continue;
        Action action;
        if (!LineReader(number, words, screen).Read(action, error))
            return false;
        // Points on later lines are checked against the screen as it will be turned.
        if (action.kind == Action::Kind::Rotate) {
            bool portrait = action.angle == 0 || action.angle == 180;
            int shortSide = std::min(screen.width, screen.height);
            int longSide = std::max(screen.width, screen.height);
            screen.width = portrait ? shortSide : longSide;
            screen.height = portrait ? longSide : shortSide;
        }
        read.push_back(action);
    }
    actions = std::move(read);
    return true;
}

bool ReadScriptFile(const std::string& path, ScreenSize screen, std::vector<Action>& actions,
                    std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!ReadScript(text.str(), screen, actions, error)) {
        if (error)
            *error = path + ": " + *error;
        return false;
    }
    return true;
}

std::string DescribePoint(const ScriptPoint& point) {
    std::string base;
    if (point.base == ScriptPoint::Base::Screen)
        return std::to_string(point.x) + "," + std::to_string(point.y);
    base = point.base == ScriptPoint::Base::Button ? "button" : "item" + std::to_string(point.item);
    if (point.x == 0 && point.y == 0)
        return base;
    return base + (point.x < 0 ? "" : "+") + std::to_string(point.x) + "," +
           std::to_string(point.y);
}

} // namespace vexosim
