// The simulated device's registry: a tree of keys under the predefined roots, the CE registry
// API over it, and the driver's direct access to it.

// The standard headers come first: windows.h maps C runtime names onto the device's own.
#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

#include <cesim/registry.h>

#include "platform/portable/regedit4.h"

#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif

namespace {

using cesim::reg::Value;

// The registry compares names without case; folding Latin-1 letters costs nothing more.
char16_t FoldChar(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char16_t>(c + 0x20);
    if (c == 0x178)
        return 0xFF;
    return c;
}

std::u16string Fold(const std::u16string& s) {
    std::u16string out(s);
    for (char16_t& c : out)
        c = FoldChar(c);
    return out;
}

constexpr size_t kMaxKeyName = 255;
// Windows documents this limit; it also bounds the recursive walks below for imported files.
constexpr size_t kMaxDepth = 512;

struct ValueEntry {
    std::u16string name;
    std::u16string folded;
    Value value;
};

struct Key {
    std::u16string name; // as created, for enumeration and export
    std::u16string folded;
    Key* parent = nullptr; // meaningful only while the key is not deleted
    bool deleted = false;
    std::vector<std::shared_ptr<Key>> subkeys; // creation order
    std::vector<ValueEntry> values;            // creation order

    std::shared_ptr<Key> Subkey(const std::u16string& foldedName) const {
        for (const std::shared_ptr<Key>& k : subkeys) {
            if (k->folded == foldedName)
                return k;
        }
        return nullptr;
    }

    ValueEntry* FindValue(const std::u16string& name) {
        const std::u16string folded = Fold(name);
        for (ValueEntry& v : values) {
            if (v.folded == folded)
                return &v;
        }
        return nullptr;
    }

    // Rewriting a value keeps its place and the case of its name, as Windows does.
    void Set(const std::u16string& name, Value value) {
        if (ValueEntry* existing = FindValue(name)) {
            existing->value = std::move(value);
            return;
        }
        values.push_back(ValueEntry{name, Fold(name), std::move(value)});
    }

    bool Remove(const std::u16string& name) {
        const ValueEntry* v = FindValue(name);
        if (!v)
            return false;
        values.erase(values.begin() + (v - values.data()));
        return true;
    }
};

struct RootInfo {
    uintptr_t handle;
    const char* name;
    const char* abbreviation;
};

constexpr std::array<RootInfo, 4> kRoots = {{
    {0x80000000u, "HKEY_CLASSES_ROOT", "HKCR"},
    {0x80000001u, "HKEY_CURRENT_USER", "HKCU"},
    {0x80000002u, "HKEY_LOCAL_MACHINE", "HKLM"},
    {0x80000003u, "HKEY_USERS", "HKU"},
}};

struct Path {
    size_t root = 0;
    std::vector<std::u16string> parts;
};

struct Registry {
    std::mutex mutex;
    std::array<std::shared_ptr<Key>, kRoots.size()> roots;
    // Handles are numbers looked up here, never node addresses, so a stale or forged handle is
    // an error code and not a crash. Numbers are not reused.
    std::unordered_map<uintptr_t, std::shared_ptr<Key>> handles;
    uintptr_t nextHandle = 0x1000;
    std::map<std::u16string, LONG> openFailures; // by folded full path
    std::map<std::u16string, LONG> writeFailures;

    Registry() { Reset(); }

    void Reset() {
        for (size_t i = 0; i < roots.size(); ++i) {
            roots[i] = std::make_shared<Key>();
            roots[i]->name = *cesim::reg::FromUtf8(kRoots[i].name);
            roots[i]->folded = Fold(roots[i]->name);
        }
        handles.clear();
        openFailures.clear();
        writeFailures.clear();
    }
};

// Never destroyed: simulated threads may still be using the registry while the process exits.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

bool IsPredefined(HKEY key) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(key);
    return value >= kRoots.front().handle && value <= kRoots.back().handle;
}

LONG Resolve(Registry& reg, HKEY handle, std::shared_ptr<Key>* key) {
    if (IsPredefined(handle)) {
        *key = reg.roots[reinterpret_cast<uintptr_t>(handle) - kRoots.front().handle];
        return ERROR_SUCCESS;
    }
    const auto found = reg.handles.find(reinterpret_cast<uintptr_t>(handle));
    if (found == reg.handles.end())
        return ERROR_INVALID_HANDLE;
    if (found->second->deleted)
        return ERROR_KEY_DELETED;
    *key = found->second;
    return ERROR_SUCCESS;
}

HKEY NewHandle(Registry& reg, std::shared_ptr<Key> key) {
    const uintptr_t value = reg.nextHandle;
    reg.nextHandle += 4;
    reg.handles.emplace(value, std::move(key));
    return reinterpret_cast<HKEY>(value);
}

std::u16string FoldedPath(const Key* key) {
    std::vector<const std::u16string*> names;
    for (; key; key = key->parent)
        names.push_back(&key->folded);
    std::u16string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        path += (path.empty() ? u"" : u"\\") + **it;
    return path;
}

std::u16string FoldedPath(const Key* base, const std::vector<std::u16string>& parts) {
    std::u16string path = FoldedPath(base);
    for (const std::u16string& part : parts)
        path += u"\\" + Fold(part);
    return path;
}

std::u16string FoldedPath(const Path& path) {
    std::u16string folded = Fold(*cesim::reg::FromUtf8(kRoots[path.root].name));
    for (const std::u16string& part : path.parts)
        folded += u"\\" + Fold(part);
    return folded;
}

std::string DisplayPath(const Key* key) {
    std::string path;
    for (; key; key = key->parent)
        path = cesim::reg::ToUtf8(key->name) + (path.empty() ? "" : "\\") + path;
    return path;
}

std::shared_ptr<Key> Descend(std::shared_ptr<Key> key, const std::vector<std::u16string>& parts) {
    for (const std::u16string& part : parts) {
        key = key->Subkey(Fold(part));
        if (!key)
            return nullptr;
    }
    return key;
}

std::shared_ptr<Key> DescendCreating(std::shared_ptr<Key> key,
                                     const std::vector<std::u16string>& parts, bool* created) {
    for (const std::u16string& part : parts) {
        const std::u16string folded = Fold(part);
        std::shared_ptr<Key> next = key->Subkey(folded);
        if (!next) {
            next = std::make_shared<Key>();
            next->name = part;
            next->folded = folded;
            next->parent = key.get();
            key->subkeys.push_back(next);
            if (created)
                *created = true;
        }
        key = std::move(next);
    }
    return key;
}

void MarkDeleted(Key* key) {
    key->deleted = true;
    key->parent = nullptr;
    for (const std::shared_ptr<Key>& sub : key->subkeys)
        MarkDeleted(sub.get());
}

// Open handles keep the nodes alive; they only learn that the key is gone.
void DeleteSubtree(Key* key) {
    std::vector<std::shared_ptr<Key>>& siblings = key->parent->subkeys;
    for (auto it = siblings.begin(); it != siblings.end(); ++it) {
        if (it->get() == key) {
            std::shared_ptr<Key> keepAlive = *it;
            siblings.erase(it);
            MarkDeleted(key);
            return;
        }
    }
}

const char16_t* U16(LPCWSTR s) {
    return reinterpret_cast<const char16_t*>(s);
}

std::u16string NameOf(LPCWSTR name) {
    return name ? std::u16string(U16(name)) : std::u16string();
}

void CopyName(const std::u16string& name, LPWSTR out) {
    std::memcpy(out, name.c_str(), (name.size() + 1) * sizeof(char16_t));
}

// Windows refuses a leading backslash and tolerates trailing ones.
LONG SplitSubKey(LPCWSTR subKey, std::vector<std::u16string>* parts) {
    if (!subKey)
        return ERROR_SUCCESS;
    const char16_t* s = U16(subKey);
    if (*s == u'\\')
        return ERROR_BAD_PATHNAME;
    std::u16string part;
    for (;; ++s) {
        if (*s == u'\\' || *s == 0) {
            parts->push_back(part);
            part.clear();
            if (*s == 0)
                break;
        } else {
            part += *s;
        }
    }
    while (!parts->empty() && parts->back().empty())
        parts->pop_back();
    for (const std::u16string& p : *parts) {
        if (p.empty())
            return ERROR_BAD_PATHNAME;
        if (p.size() > kMaxKeyName)
            return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

LONG OpenKey(HKEY key, LPCWSTR subKey, PHKEY result, LPDWORD disposition, bool create) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::shared_ptr<Key> base;
    LONG status = Resolve(reg, key, &base);
    if (status != ERROR_SUCCESS)
        return status;
    std::vector<std::u16string> parts;
    status = SplitSubKey(subKey, &parts);
    if (status != ERROR_SUCCESS)
        return status;
    if (!reg.openFailures.empty()) {
        const auto failure = reg.openFailures.find(FoldedPath(base.get(), parts));
        if (failure != reg.openFailures.end())
            return failure->second;
    }
    bool created = false;
    std::shared_ptr<Key> target =
        create ? DescendCreating(base, parts, &created) : Descend(base, parts);
    if (!target)
        return ERROR_FILE_NOT_FOUND;
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    // Windows hands back the root itself for an empty path under a predefined handle.
    *result = parts.empty() && IsPredefined(key) ? key : NewHandle(reg, std::move(target));
    return ERROR_SUCCESS;
}

LONG WriteFailure(const Registry& reg, const Key* key) {
    if (reg.writeFailures.empty())
        return ERROR_SUCCESS;
    const auto failure = reg.writeFailures.find(FoldedPath(key));
    return failure == reg.writeFailures.end() ? ERROR_SUCCESS : failure->second;
}

// Both the data and the answer's size follow Win32: probe with no buffer, ERROR_MORE_DATA and
// the size needed when the buffer is short, the buffer left alone then.
LONG CopyData(const Value& value, LPBYTE data, LPDWORD dataSize) {
    const DWORD size = static_cast<DWORD>(value.data.size());
    if (data) {
        if (*dataSize < size) {
            *dataSize = size;
            return ERROR_MORE_DATA;
        }
        if (size)
            std::memcpy(data, value.data.data(), size);
    }
    if (dataSize)
        *dataSize = size;
    return ERROR_SUCCESS;
}

void ClearClass(LPWSTR className, LPDWORD classLength) {
    if (className && classLength && *classLength > 0)
        className[0] = 0;
    if (classLength)
        *classLength = 0;
}

// ---- the driver's paths ----------------------------------------------------------------
bool SameAscii(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b))
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != b[i])
            return false;
    }
    return true;
}

std::optional<Path> ParsePath(const std::string& text, std::string* why) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\\', start);
        pieces.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    Path path;
    size_t root = 0;
    while (root < kRoots.size() && !SameAscii(pieces[0], kRoots[root].name) &&
           !SameAscii(pieces[0], kRoots[root].abbreviation))
        ++root;
    if (root == kRoots.size()) {
        *why = "\"" + pieces[0] + "\" is not a root key";
        return std::nullopt;
    }
    path.root = root;
    if (pieces.size() - 1 > kMaxDepth) {
        *why = "the path is deeper than 512 keys";
        return std::nullopt;
    }
    for (size_t i = 1; i < pieces.size(); ++i) {
        const std::optional<std::u16string> part = cesim::reg::FromUtf8(pieces[i]);
        if (pieces[i].empty()) {
            *why = "the path has an empty key name";
            return std::nullopt;
        }
        if (!part) {
            *why = "the path is not UTF-8";
            return std::nullopt;
        }
        if (part->size() > kMaxKeyName) {
            *why = "a key name is longer than 255 characters";
            return std::nullopt;
        }
        path.parts.push_back(*part);
    }
    return path;
}

Path DriverPath(const std::string& text) {
    std::string why;
    std::optional<Path> path = ParsePath(text, &why);
    if (!path)
        throw std::invalid_argument("registry path \"" + text + "\": " + why);
    return *path;
}

std::u16string DriverName(const std::string& name) {
    std::optional<std::u16string> wide = cesim::reg::FromUtf8(name);
    if (!wide)
        throw std::invalid_argument("registry value name is not UTF-8");
    return *wide;
}

std::shared_ptr<Key> FindKey(Registry& reg, const Path& path) {
    return Descend(reg.roots[path.root], path.parts);
}

std::shared_ptr<Key> MakeKey(Registry& reg, const Path& path) {
    return DescendCreating(reg.roots[path.root], path.parts, nullptr);
}

void CollectEdits(const Key& key, const std::u16string& path,
                  std::vector<regedit4::Statement>* edits) {
    using regedit4::Statement;
    Statement open;
    open.kind = Statement::Kind::OpenKey;
    open.key = path;
    edits->push_back(open);
    for (const ValueEntry& v : key.values) {
        Statement set;
        set.kind = Statement::Kind::SetValue;
        set.key = path;
        set.name = v.name;
        set.value.type = v.value.type;
        set.value.data = v.value.data;
        edits->push_back(set);
    }
    for (const std::shared_ptr<Key>& sub : key.subkeys)
        CollectEdits(*sub, path + u"\\" + sub->name, edits);
}

bool SetError(std::string* error, const std::string& what) {
    if (error)
        *error = what;
    return false;
}

} // namespace

// ---- the CE registry API ------------------------------------------------------------------
extern "C" {

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    return OpenKey(key, subKey, result, nullptr, false);
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES attributes, PHKEY result,
                     LPDWORD disposition) {
    return OpenKey(key, subKey, result, disposition, true);
}

LONG RegCloseKey(HKEY key) {
    if (IsPredefined(key))
        return ERROR_SUCCESS;
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    return reg.handles.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS
                                                               : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::shared_ptr<Key> k;
    const LONG status = Resolve(reg, key, &k);
    if (status != ERROR_SUCCESS)
        return status;
    const ValueEntry* v = k->FindValue(NameOf(valueName));
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = v->value.type;
    return CopyData(v->value, data, dataSize);
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    if (!data && dataSize)
        return ERROR_INVALID_PARAMETER;
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::shared_ptr<Key> k;
    LONG status = Resolve(reg, key, &k);
    if (status == ERROR_SUCCESS)
        status = WriteFailure(reg, k.get());
    if (status != ERROR_SUCCESS)
        return status;
    // Stored exactly as given: the registry does not check or add terminators.
    Value value;
    value.type = type;
    if (dataSize)
        value.data.assign(data, data + dataSize);
    k->Set(NameOf(valueName), std::move(value));
    return ERROR_SUCCESS;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::shared_ptr<Key> k;
    LONG status = Resolve(reg, key, &k);
    if (status == ERROR_SUCCESS)
        status = WriteFailure(reg, k.get());
    if (status != ERROR_SUCCESS)
        return status;
    return k->Remove(NameOf(valueName)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// CE deletes the whole subtree; desktop NT would refuse a key that has subkeys.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    if (!subKey)
        return ERROR_INVALID_PARAMETER;
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::shared_ptr<Key> base;
    LONG status = Resolve(reg, key, &base);
    if (status != ERROR_SUCCESS)
        return status;
    std::vector<std::u16string> parts;
    status = SplitSubKey(subKey, &parts);
    if (status != ERROR_SUCCESS)
        return status;
    const std::shared_ptr<Key> target = Descend(base, parts);
    if (!target)
        return ERROR_FILE_NOT_FOUND;
    if (!target->parent)
        return ERROR_ACCESS_DENIED;
    status = WriteFailure(reg, target.get());
    if (status != ERROR_SUCCESS)
        return status;
    DeleteSubtree(target.get());
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPWSTR className, LPDWORD classLength, PFILETIME lastWrite) {
    if (!name || !nameLength)
        return ERROR_INVALID_PARAMETER;
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::shared_ptr<Key> k;
    const LONG status = Resolve(reg, key, &k);
    if (status != ERROR_SUCCESS)
        return status;
    if (index >= k->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    const std::u16string& subName = k->subkeys[index]->name;
    // Lengths count characters without the terminator, but the buffer must hold it.
    if (subName.size() + 1 > *nameLength)
        return ERROR_MORE_DATA;
    CopyName(subName, name);
    *nameLength = static_cast<DWORD>(subName.size());
    ClearClass(className, classLength);
    if (lastWrite)
        *lastWrite = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (!name || !nameLength || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::shared_ptr<Key> k;
    const LONG status = Resolve(reg, key, &k);
    if (status != ERROR_SUCCESS)
        return status;
    if (index >= k->values.size())
        return ERROR_NO_MORE_ITEMS;
    const ValueEntry& v = k->values[index];
    if (type)
        *type = v.value.type;
    // A short name buffer leaves name, length and data alone but still reports the data size.
    if (v.name.size() + 1 > *nameLength) {
        if (dataSize)
            *dataSize = static_cast<DWORD>(v.value.data.size());
        return ERROR_MORE_DATA;
    }
    CopyName(v.name, name);
    *nameLength = static_cast<DWORD>(v.name.size());
    return CopyData(v.value, data, dataSize);
}

LONG RegQueryInfoKeyW(HKEY key, LPWSTR className, LPDWORD classLength, LPDWORD reserved,
                      LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                      LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                      LPDWORD securityDescriptor, PFILETIME lastWrite) {
    if (className && !classLength)
        return ERROR_INVALID_PARAMETER;
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::shared_ptr<Key> k;
    const LONG status = Resolve(reg, key, &k);
    if (status != ERROR_SUCCESS)
        return status;
    size_t longestSubKey = 0, longestName = 0, longestData = 0;
    for (const std::shared_ptr<Key>& sub : k->subkeys)
        longestSubKey = std::max(longestSubKey, sub->name.size());
    for (const ValueEntry& v : k->values) {
        longestName = std::max(longestName, v.name.size());
        longestData = std::max(longestData, v.value.data.size());
    }
    ClearClass(className, classLength);
    if (subKeys)
        *subKeys = static_cast<DWORD>(k->subkeys.size());
    if (maxSubKeyLength)
        *maxSubKeyLength = static_cast<DWORD>(longestSubKey);
    if (maxClassLength)
        *maxClassLength = 0;
    if (values)
        *values = static_cast<DWORD>(k->values.size());
    if (maxValueNameLength)
        *maxValueNameLength = static_cast<DWORD>(longestName);
    if (maxValueLength)
        *maxValueLength = static_cast<DWORD>(longestData);
    if (securityDescriptor)
        *securityDescriptor = 0;
    if (lastWrite)
        *lastWrite = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

} // extern "C"

// ---- the driver's access ------------------------------------------------------------------
namespace cesim::reg {

void Clear() {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.Reset();
}

bool ImportRegText(const std::string& text, std::string* error) {
    using regedit4::Statement;
    const std::optional<std::vector<Statement>> edits = regedit4::Parse(text, error);
    if (!edits)
        return false;
    // Every path is checked before anything changes, so a bad file changes nothing.
    struct Step {
        const Statement* edit;
        Path path;
        std::u16string name;
    };
    std::vector<Step> steps;
    for (const Statement& edit : *edits) {
        std::string why;
        std::optional<Path> path = ParsePath(ToUtf8(edit.key), &why);
        if (path && edit.kind == Statement::Kind::DeleteKey && path->parts.empty())
            why = "a root key cannot be deleted";
        if (!why.empty())
            return SetError(error, "line " + std::to_string(edit.line) + ": " + why);
        steps.push_back(Step{&edit, std::move(*path), edit.name});
    }
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (const Step& step : steps) {
        switch (step.edit->kind) {
        case Statement::Kind::OpenKey:
            MakeKey(reg, step.path);
            break;
        case Statement::Kind::SetValue:
            MakeKey(reg, step.path)
                ->Set(step.name, Value{step.edit->value.type, step.edit->value.data});
            break;
        case Statement::Kind::DeleteKey:
            if (const std::shared_ptr<Key> key = FindKey(reg, step.path))
                DeleteSubtree(key.get());
            break;
        case Statement::Kind::DeleteValue:
            if (const std::shared_ptr<Key> key = FindKey(reg, step.path))
                key->Remove(step.name);
            break;
        }
    }
    return true;
}

bool ImportRegFile(const std::string& hostPath, std::string* error) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in)
        return SetError(error, hostPath + ": cannot be read");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string why;
    if (ImportRegText(text, &why))
        return true;
    return SetError(error, hostPath + ": " + why);
}

std::string ExportRegText(const std::string& keyPath) {
    const Path path = DriverPath(keyPath);
    std::vector<regedit4::Statement> edits;
    {
        Registry& reg = TheRegistry();
        std::lock_guard<std::mutex> lock(reg.mutex);
        const std::shared_ptr<Key> key = FindKey(reg, path);
        if (!key)
            return std::string();
        CollectEdits(*key, *FromUtf8(DisplayPath(key.get())), &edits);
    }
    return regedit4::Format(edits);
}

bool ExportRegFile(const std::string& keyPath, const std::string& hostPath) {
    const std::string text = ExportRegText(keyPath);
    if (text.empty())
        return false;
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

void SetValue(const std::string& keyPath, const std::string& name, DWORD type,
              std::vector<uint8_t> data) {
    const Path path = DriverPath(keyPath);
    const std::u16string wideName = DriverName(name);
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    MakeKey(reg, path)->Set(wideName, Value{type, std::move(data)});
}

void SetDword(const std::string& keyPath, const std::string& name, DWORD value) {
    SetValue(keyPath, name, REG_DWORD,
             {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)});
}

void SetString(const std::string& keyPath, const std::string& name, const std::u16string& text) {
    std::vector<uint8_t> data;
    for (char16_t c : text + u'\0') {
        data.push_back(static_cast<uint8_t>(c & 0xFF));
        data.push_back(static_cast<uint8_t>(c >> 8));
    }
    SetValue(keyPath, name, REG_SZ, std::move(data));
}

std::optional<Value> GetValue(const std::string& keyPath, const std::string& name) {
    const Path path = DriverPath(keyPath);
    const std::u16string wideName = DriverName(name);
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    const std::shared_ptr<Key> key = FindKey(reg, path);
    const ValueEntry* v = key ? key->FindValue(wideName) : nullptr;
    return v ? std::optional<Value>(v->value) : std::nullopt;
}

std::optional<DWORD> GetDword(const std::string& keyPath, const std::string& name) {
    const std::optional<Value> v = GetValue(keyPath, name);
    if (!v || v->type != REG_DWORD || v->data.size() != 4)
        return std::nullopt;
    return v->data[0] | (v->data[1] << 8) | (v->data[2] << 16) |
           (static_cast<DWORD>(v->data[3]) << 24);
}

std::optional<std::u16string> GetString(const std::string& keyPath, const std::string& name) {
    const std::optional<Value> v = GetValue(keyPath, name);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ) || v->data.size() % 2 != 0)
        return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i < v->data.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(v->data[i] | (v->data[i + 1] << 8));
        if (c == 0)
            break;
        text += c;
    }
    return text;
}

bool KeyExists(const std::string& keyPath) {
    const Path path = DriverPath(keyPath);
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    return FindKey(reg, path) != nullptr;
}

bool DeleteKey(const std::string& keyPath) {
    const Path path = DriverPath(keyPath);
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    const std::shared_ptr<Key> key = FindKey(reg, path);
    if (!key || path.parts.empty())
        return false;
    DeleteSubtree(key.get());
    return true;
}

bool DeleteValue(const std::string& keyPath, const std::string& name) {
    const Path path = DriverPath(keyPath);
    const std::u16string wideName = DriverName(name);
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    const std::shared_ptr<Key> key = FindKey(reg, path);
    return key && key->Remove(wideName);
}

std::vector<std::string> SubKeys(const std::string& keyPath) {
    const Path path = DriverPath(keyPath);
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::vector<std::string> names;
    if (const std::shared_ptr<Key> key = FindKey(reg, path)) {
        for (const std::shared_ptr<Key>& sub : key->subkeys)
            names.push_back(ToUtf8(sub->name));
    }
    return names;
}

std::vector<std::string> ValueNames(const std::string& keyPath) {
    const Path path = DriverPath(keyPath);
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::vector<std::string> names;
    if (const std::shared_ptr<Key> key = FindKey(reg, path)) {
        for (const ValueEntry& v : key->values)
            names.push_back(ToUtf8(v.name));
    }
    return names;
}

size_t OpenHandleCount() {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    return reg.handles.size();
}

void FailOpen(const std::string& keyPath, LONG error) {
    const std::u16string folded = FoldedPath(DriverPath(keyPath));
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (error == ERROR_SUCCESS)
        reg.openFailures.erase(folded);
    else
        reg.openFailures[folded] = error;
}

void FailWrite(const std::string& keyPath, LONG error) {
    const std::u16string folded = FoldedPath(DriverPath(keyPath));
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (error == ERROR_SUCCESS)
        reg.writeFailures.erase(folded);
    else
        reg.writeFailures[folded] = error;
}

void ClearFailures() {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.openFailures.clear();
    reg.writeFailures.clear();
}

} // namespace cesim::reg
