// Applying a .reg file to the settings held in memory, refusing anything set would refuse.
#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/import.h"
#include "tools/vexocfg/lists.h"
#include "tools/vexocfg/settings.h"
#include "tools/vexocfg/text.h"

namespace vexocfg {

namespace {

enum class Place { Settings, Exceptions, Exception, Ignored, Outside, Unknown };

std::vector<std::u16string> Split(const std::u16string& path) {
    std::vector<std::u16string> parts(1);
    for (char16_t c : path) {
        if (c == u'\\')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    while (parts.size() > 1 && parts.back().empty())
        parts.pop_back();
    return parts;
}

// Where a key of the file lies; *name is the subkey of an exception.
Place Locate(const std::u16string& path, std::u16string* name) {
    const std::vector<std::u16string> parts = Split(path);
    const char16_t* const settings[] = {u"Software", u"Holmvest", u"Vexo"};
    if (parts.size() < 4 ||
        !(SameNoCase(parts[0], u"HKEY_CURRENT_USER") || SameNoCase(parts[0], u"HKCU")))
        return Place::Outside;
    for (size_t i = 0; i < 3; ++i) {
        if (!SameNoCase(parts[i + 1], settings[i]))
            return Place::Outside;
    }
    for (const std::u16string& part : parts) {
        if (part.empty())
            return Place::Unknown;
    }
    if (parts.size() == 4)
        return Place::Settings;
    if (parts.size() == 5 && SameNoCase(parts[4], kIgnoredKey))
        return Place::Ignored;
    if (!SameNoCase(parts[4], kExceptionsKey) || parts.size() > 6)
        return Place::Unknown;
    if (parts.size() == 5)
        return Place::Exceptions;
    *name = parts[5];
    return Place::Exception;
}

class Importer {
public:
    explicit Importer(std::optional<RegKey>* settings) : settings_(*settings) {}

    bool Run(const std::vector<RegEdit>& edits, std::string* why) {
        for (const RegEdit& edit : edits) {
            if (!Statement(edit, why))
                return false;
        }
        return CheckExceptions(why) && CheckIgnored(why);
    }

private:
    bool Refuse(const RegEdit& edit, const std::string& what, std::string* why) {
        *why = "line " + std::to_string(edit.line) + ": " + what;
        return false;
    }

    RegKey& Settings() {
        if (!settings_)
            settings_ = RegKey{kSettingsPath, {}, {}};
        return *settings_;
    }

    // The key of a place, created as a [key] line creates it.
    RegKey& Open(Place place, const std::u16string& name) {
        switch (place) {
        case Place::Exceptions:
            return Settings().OpenSubkey(kExceptionsKey);
        case Place::Exception:
            return Settings().OpenSubkey(kExceptionsKey).OpenSubkey(name);
        case Place::Ignored:
            return Settings().OpenSubkey(kIgnoredKey);
        default:
            return Settings();
        }
    }

    void Delete(Place place, const std::u16string& name) {
        if (place == Place::Settings) {
            settings_.reset();
            return;
        }
        if (!settings_)
            return;
        if (place == Place::Exception) {
            if (RegKey* exceptions = settings_->Subkey(kExceptionsKey))
                exceptions->RemoveSubkey(name);
        } else {
            settings_->RemoveSubkey(place == Place::Ignored ? kIgnoredKey : kExceptionsKey);
        }
    }

    bool Statement(const RegEdit& edit, std::string* why) {
        std::u16string name;
        const Place place = Locate(edit.key, &name);
        const std::string key = "[" + ToUtf8(edit.key) + "]";
        if (place == Place::Outside)
            return Refuse(edit, key + " is outside " + kSettingsKeyName, why);
        if (place == Place::Unknown)
            return Refuse(edit, key + " is no key of vexo's settings", why);
        if (place == Place::Ignored)
            ignoredTouched_ = true;
        if (place == Place::Exception)
            exceptionsTouched_.push_back(name);
        switch (edit.kind) {
        case RegEdit::Kind::OpenKey:
            Open(place, name);
            return true;
        case RegEdit::Kind::DeleteKey:
            Delete(place, name);
            return true;
        default:
            return Value(edit, place, name, why);
        }
    }

    bool Value(const RegEdit& edit, Place place, const std::u16string& name, std::string* why) {
        const std::string valueName = edit.name.empty() ? "@" : ToUtf8(edit.name);
        const Setting* setting = nullptr;
        RegValue value{edit.name, edit.value.type, edit.value.data};
        switch (place) {
        case Place::Settings:
            setting = FindSetting(vexocfg::Settings(), edit.name);
            if (!setting)
                return Refuse(edit, "unknown setting \"" + valueName + "\"", why);
            value.name = *FromUtf8(setting->name);
            break;
        case Place::Exception:
            setting = FindSetting(ExceptionFields(), edit.name);
            if (!setting)
                return Refuse(edit,
                              "an exception holds ExeName, TapAction and GestureAction, "
                              "not \"" +
                                  valueName + "\"",
                              why);
            value.name = *FromUtf8(setting->name);
            break;
        case Place::Ignored:
            if (ItemNumber(edit.name) < 0)
                return Refuse(edit,
                              "IgnoredApps holds values named Item0, Item1, ..., not \"" +
                                  valueName + "\"",
                              why);
            setting = &IgnoredItem();
            break;
        default:
            return Refuse(edit, "the Exceptions key holds one subkey per program, no values", why);
        }
        RegKey& key = Open(place, name);
        if (edit.kind == RegEdit::Kind::DeleteValue) {
            key.Remove(value.name);
            return true;
        }
        std::string problem;
        if (!CheckValue(*setting, value, &problem))
            return Refuse(edit, problem, why);
        key.Set(value);
        return true;
    }

    bool Touched(const std::u16string& name) const {
        for (const std::u16string& touched : exceptionsTouched_) {
            if (SameNoCase(touched, name))
                return true;
        }
        return false;
    }

    // vexo matches an exception by its ExeName alone: one without it matches nothing.
    bool CheckExceptions(std::string* why) {
        for (const RegKey* exception : Exceptions(settings_)) {
            if (Touched(exception->name) && ExeNameOf(*exception).empty()) {
                *why = "the exception " + ToUtf8(exception->name) + " has no ExeName";
                return false;
            }
        }
        return true;
    }

    // vexo reads Item0 up to the number of values less one: a gap would lose the paths after it.
    bool CheckIgnored(std::string* why) {
        const RegKey* ignored = settings_ ? settings_->Subkey(kIgnoredKey) : nullptr;
        if (!ignoredTouched_ || !ignored)
            return true;
        for (size_t i = 0; i < ignored->values.size(); ++i) {
            const std::u16string item = u"Item" + *FromUtf8(std::to_string(i));
            if (!ignored->Value(item)) {
                *why = "IgnoredApps would have " + std::to_string(ignored->values.size()) +
                       " values without Item" + std::to_string(i) +
                       ": number them Item0, Item1, ... without gaps";
                return false;
            }
        }
        return true;
    }

    std::optional<RegKey>& settings_;
    bool ignoredTouched_ = false;
    std::vector<std::u16string> exceptionsTouched_;
};

} // namespace

bool ApplyImport(const std::vector<RegEdit>& edits, std::optional<RegKey>* settings,
                 std::string* why) {
    return Importer(settings).Run(edits, why);
}

} // namespace vexocfg
