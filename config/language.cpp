// The language strings: the language file parsed into a sorted table, and the lookup that
// falls back to the string table through a ring buffer.
#include "config/language.h"

#include "config/config.h"
#include "shell/mainwindow.h"

#include <limits.h>
#include <new>

static const int kStringRingChars = 1024;
// Fewer free characters than this and the next text starts over at the ring's beginning.
static const int kMinFreeRingChars = 200;
static const int kLineChars = 1024;
static const int kTableInitialCapacity = 35;
static const int kTableGrowthStep = 10;
// An installation folder is a path; anything longer is not one.
static const DWORD kMaxInstallDirBytes = 1024 * sizeof(WCHAR);

static const WCHAR kLanguageFileName[] = L"default.lng";
static const WCHAR kLoadErrorText[] = L"ERROR LOADING STRING";
static const WCHAR kNoRingText[] = L"ERROR LOADING STRING - INSUFFICIENT MEMORY";

LanguageTable* languageTable = NULL;
WCHAR* stringRing = NULL;
WCHAR* stringRingCursor = NULL;

WCHAR* GetLanguageFilePath() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return NULL;
    WCHAR* folder = NULL;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, L"InstallDir", NULL, &type, NULL, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && size <= kMaxInstallDirBytes) {
        // The stored text may lack its terminator or end in half a character; it ends at
        // the last whole one.
        DWORD units = size / sizeof(WCHAR) + 1;
        folder = static_cast<WCHAR*>(malloc(units * sizeof(WCHAR)));
        DWORD read = size;
        if (folder &&
            RegQueryValueExW(key, L"InstallDir", NULL, NULL, reinterpret_cast<BYTE*>(folder),
                             &read) == ERROR_SUCCESS &&
            read <= size) {
            folder[read / sizeof(WCHAR)] = 0;
        } else {
            free(folder);
            folder = NULL;
        }
    }
    RegCloseKey(key);
    // An empty folder is the root, where the Settings command looks for VexoCfg.exe too.
    if (!folder)
        return NULL;
    size_t folderLength = wcslen(folder);
    size_t nameLength = wcslen(kLanguageFileName);
    WCHAR* path = static_cast<WCHAR*>(malloc((folderLength + nameLength + 2) * sizeof(WCHAR)));
    if (path) {
        memcpy(path, folder, folderLength * sizeof(WCHAR));
        path[folderLength] = L'\\';
        memcpy(path + folderLength + 1, kLanguageFileName, (nameLength + 1) * sizeof(WCHAR));
    }
    free(folder);
    return path;
}

// ---- PtrArray ------------------------------------------------------------------------------

// The size of the storage for n elements, or 0 when it can't be expressed.
static size_t StorageBytes(int n) {
    if (n <= 0 || size_t(n) > size_t(-1) / sizeof(void*))
        return 0;
    return size_t(n) * sizeof(void*);
}

PtrArray::PtrArray(int initialCapacity, int growthStep)
    : state(STATE_USABLE), count(0), storage(NULL), capacity(0),
      initialCapacity(initialCapacity < 1 ? 1 : initialCapacity),
      growthStep(growthStep < 1 ? 1 : growthStep) {
    size_t bytes = StorageBytes(this->initialCapacity);
    storage = bytes ? static_cast<void**>(malloc(bytes)) : NULL;
    if (storage)
        capacity = this->initialCapacity;
    else
        state = STATE_ALLOCATION_FAILED;
}

PtrArray::~PtrArray() {
    FreeAll();
}

void PtrArray::FreeItem(int index) {}

int PtrArray::SetError(int code) {
    int previous = state;
    if (state == STATE_USABLE)
        state = code;
    return previous;
}

int PtrArray::Add(void* element) {
    if (state == STATE_USABLE && count == capacity) {
        size_t bytes = capacity > INT_MAX - growthStep ? 0 : StorageBytes(capacity + growthStep);
        void** grown = bytes ? static_cast<void**>(realloc(storage, bytes)) : NULL;
        if (grown) {
            storage = grown;
            capacity += growthStep;
        } else {
            SetError(STATE_ALLOCATION_FAILED);
        }
    }
    if (state != STATE_USABLE)
        return -1;
    storage[count] = element;
    return count++;
}

void PtrArray::RemoveRange(int first, int n) {
    if (!storage || first < 0 || n <= 0 || first > count || n > count - first)
        return;
    for (int i = first; i < first + n; ++i)
        FreeItem(i);
    memmove(storage + first, storage + first + n, (count - first - n) * sizeof(void*));
    count -= n;
    if (capacity <= initialCapacity || capacity - growthStep < count)
        return;
    int shrunk = initialCapacity;
    if (count > initialCapacity)
        shrunk += growthStep * ((count - initialCapacity - 1) / growthStep + 1);
    void** smaller = static_cast<void**>(realloc(storage, StorageBytes(shrunk)));
    if (!smaller) {
        SetError(STATE_ALLOCATION_FAILED);
        return;
    }
    storage = smaller;
    capacity = shrunk;
}

void PtrArray::FreeAll() {
    // An array whose growth failed still holds its elements and storage: they are freed too.
    if (!storage)
        return;
    for (int i = 0; i < count; ++i)
        FreeItem(i);
    free(storage);
    storage = NULL;
    count = 0;
    capacity = 0;
    state = STATE_FREED;
}

// ---- LanguageEntryArray ---------------------------------------------------------------------

static void FreeEntry(LanguageEntry* entry) {
    if (!entry)
        return;
    free(entry->text);
    delete entry;
}

LanguageEntryArray::LanguageEntryArray(int initialCapacity, int growthStep)
    : PtrArray(initialCapacity, growthStep), ownsElements(1) {}

// Here, unlike in the base destructor, FreeAll still reaches this class's FreeItem.
LanguageEntryArray::~LanguageEntryArray() {
    FreeAll();
}

void LanguageEntryArray::FreeItem(int index) {
    if (ownsElements == 1)
        FreeEntry(static_cast<LanguageEntry*>(storage[index]));
}

// ---- LanguageFileReader ----------------------------------------------------------------------

LanguageFileReader::LanguageFileReader(HANDLE file)
    : file(file), data(chunk), length(0), position(0), failed(false) {}

LanguageFileReader::LanguageFileReader(const BYTE* bytes, DWORD size)
    : file(INVALID_HANDLE_VALUE), data(bytes), length(bytes ? size : 0), position(0),
      failed(false) {}

bool LanguageFileReader::ReadByte(BYTE* byte) {
    if (position == length) {
        if (file == INVALID_HANDLE_VALUE || failed)
            return false;
        DWORD read = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &read, NULL)) {
            failed = true;
            return false;
        }
        if (read == 0)
            return false;
        length = read;
        position = 0;
    }
    *byte = data[position++];
    return true;
}

bool LanguageFileReader::ReadUnit(WCHAR* unit) {
    BYTE low, high;
    if (!ReadByte(&low) || !ReadByte(&high))
        return false;
    *unit = WCHAR(low | high << 8);
    return true;
}

bool LanguageFileReader::ReadLine(WCHAR* line, int capacity) {
    int n = 0;
    WCHAR unit;
    while (n < capacity - 1 && ReadUnit(&unit)) {
        line[n++] = unit;
        if (unit == L'\n')
            break;
    }
    if (capacity > 0)
        line[n] = 0;
    return n > 0;
}

// ---- LanguageTable ---------------------------------------------------------------------------

// Decimal as "%d" reads it: leading white space, an optional sign, digits; anything after the
// digits is ignored. False without digits or beyond 32 bits, where "%d" gives no usable id.
static bool ParseId(const WCHAR* text, int* id) {
    while (*text && iswspace(*text))
        ++text;
    bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+')
        ++text;
    if (*text < L'0' || *text > L'9')
        return false;
    // Accumulated as a negative number, whose range reaches INT_MIN.
    int value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        int digit = *text - L'0';
        if (value < (INT_MIN + digit) / 10)
            return false;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == INT_MIN)
            return false;
        value = -value;
    }
    *id = value;
    return true;
}

static int CompareIds(int a, int b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

static const LanguageEntry* EntryAt(const void* element) {
    return static_cast<const LanguageEntry*>(*static_cast<void* const*>(element));
}

// For qsort and bsearch over the array's elements, which are untyped pointers.
static int CompareEntries(const void* a, const void* b) {
    return CompareIds(EntryAt(a)->id, EntryAt(b)->id);
}

// An entry with its place in the file, so that sorting keeps the file's order among equals.
struct RankedEntry {
    LanguageEntry* entry;
    int line;
};

static int CompareRankedEntries(const void* a, const void* b) {
    const RankedEntry* x = static_cast<const RankedEntry*>(a);
    const RankedEntry* y = static_cast<const RankedEntry*>(b);
    int order = CompareIds(x->entry->id, y->entry->id);
    return order ? order : CompareIds(x->line, y->line);
}

LanguageTable::LanguageTable() : entries(kTableInitialCapacity, kTableGrowthStep) {
    // The table frees its entries itself, in its destructor.
    entries.ownsElements = 0;
}

LanguageTable::~LanguageTable() {
    for (int i = 0; i < entries.count; ++i)
        FreeEntry(static_cast<LanguageEntry*>(entries.storage[i]));
    entries.RemoveRange(0, entries.count);
}

void LanguageTable::ParseLine(WCHAR* line) {
    if (line[0] == L';')
        return;
    WCHAR* equals = wcschr(line, L'=');
    if (!equals)
        return;
    *equals = 0;
    int id;
    if (!ParseId(line, &id))
        return;
    WCHAR* rest = equals + 1;
    WCHAR* closing = wcsrchr(rest, L'"');
    if (!closing)
        return;
    *closing = 0;
    WCHAR* opening = wcschr(rest, L'"');
    if (!opening)
        return;
    const WCHAR* text = opening + 1;
    size_t bytes = (wcslen(text) + 1) * sizeof(WCHAR);

    LanguageEntry* entry = new (std::nothrow) LanguageEntry;
    if (!entry)
        return;
    entry->id = id;
    entry->text = static_cast<WCHAR*>(malloc(bytes));
    if (!entry->text) {
        delete entry;
        return;
    }
    memcpy(entry->text, text, bytes);
    // A refused entry is dropped, not kept half-owned.
    if (entries.Add(entry) < 0)
        FreeEntry(entry);
}

// Ascending ids, one entry per id: of an id given twice the later line wins, as a later
// setting overrides an earlier one.
void LanguageTable::SortEntries() {
    int n = entries.count;
    if (n < 2)
        return;
    void** items = entries.storage;
    RankedEntry* ranked = static_cast<RankedEntry*>(malloc(n * sizeof(RankedEntry)));
    if (ranked) {
        for (int i = 0; i < n; ++i) {
            ranked[i].entry = static_cast<LanguageEntry*>(items[i]);
            ranked[i].line = i;
        }
        qsort(ranked, n, sizeof(RankedEntry), CompareRankedEntries);
        for (int i = 0; i < n; ++i)
            items[i] = ranked[i].entry;
        free(ranked);
    } else {
        // Without room for the ranks equal ids still end up next to each other; which one of
        // them stays is then not the file's choice.
        qsort(items, n, sizeof(void*), CompareEntries);
    }
    int kept = 0;
    for (int i = 0; i < n; ++i) {
        if (i + 1 < n && EntryAt(&items[i + 1])->id == EntryAt(&items[i])->id) {
            FreeEntry(static_cast<LanguageEntry*>(items[i]));
            continue;
        }
        items[kept++] = items[i];
    }
    // The dropped entries are freed already; ownsElements keeps RemoveRange off them.
    entries.RemoveRange(kept, n - kept);
}

int LanguageTable::Read(LanguageFileReader& reader) {
    WCHAR line[kLineChars];
    // The byte-order mark; files are written little-endian, so it is not looked at.
    WCHAR mark;
    reader.ReadUnit(&mark);
    while (reader.ReadLine(line, kLineChars))
        ParseLine(line);
    SortEntries();
    return reader.Failed() ? 0 : 1;
}

int LanguageTable::Load() {
    WCHAR* path = GetLanguageFilePath();
    if (!path)
        return 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    free(path);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    LanguageFileReader reader(file);
    int result = Read(reader);
    CloseHandle(file);
    return result;
}

LPCWSTR LanguageTable::Find(int id) const {
    if (!entries.storage || entries.count == 0)
        return NULL;
    LanguageEntry key;
    key.id = id;
    key.text = NULL;
    void* keyPointer = &key;
    void* found =
        bsearch(&keyPointer, entries.storage, entries.count, sizeof(void*), CompareEntries);
    return found ? EntryAt(found)->text : NULL;
}

// ---- the string ring and the lookup ------------------------------------------------------------

bool AllocateStringRing() {
    if (stringRing)
        return true;
    stringRing = static_cast<WCHAR*>(malloc(kStringRingChars * sizeof(WCHAR)));
    stringRingCursor = stringRing;
    return stringRing != NULL;
}

void FreeStringRing() {
    free(stringRing);
    stringRing = NULL;
    stringRingCursor = NULL;
}

void CreateLanguageTable() {
    if (languageTable)
        return;
    languageTable = new (std::nothrow) LanguageTable;
    if (languageTable)
        languageTable->Load();
}

void DestroyLanguageTable() {
    delete languageTable;
    languageTable = NULL;
}

LPCWSTR LoadUiString(int id) {
    if (languageTable) {
        LPCWSTR text = languageTable->Find(id);
        if (text)
            return text;
    }
    if (!stringRing)
        return kNoRingText;
    int room = kStringRingChars - int(stringRingCursor - stringRing);
    if (room < kMinFreeRingChars) {
        stringRingCursor = stringRing;
        room = kStringRingChars;
    }
    int length = LoadStringW(appInstance, UINT(id), stringRingCursor, room);
    if (length <= 0)
        return kLoadErrorText;
    // A text that filled what was left may have been cut; the whole ring holds more of it.
    if (length + 1 == room && stringRingCursor != stringRing) {
        stringRingCursor = stringRing;
        room = kStringRingChars;
        length = LoadStringW(appInstance, UINT(id), stringRingCursor, room);
        if (length <= 0)
            return kLoadErrorText;
    }
    LPCWSTR text = stringRingCursor;
    stringRingCursor += length + 1;
    return text;
}
