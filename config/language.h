// The language strings: texts from the language file, falling back to the string table.
#ifndef VEXO_CONFIG_LANGUAGE_H
#define VEXO_CONFIG_LANGUAGE_H

#include <windows.h>

// The folder of InstallDir, a backslash, then "default.lng"; the caller frees it. Null when
// the settings key or a non-empty text value InstallDir can't be read.
WCHAR* GetLanguageFilePath();

struct LanguageEntry {
    int id;
    WCHAR* text;
};

// A growable array of untyped pointers that never stores into storage it could not get.
class PtrArray {
public:
    enum { STATE_USABLE = 0, STATE_ALLOCATION_FAILED = 1, STATE_FREED = 9 };

    // Both values are raised to at least 1.
    PtrArray(int initialCapacity, int growthStep);
    virtual ~PtrArray();
    virtual void FreeItem(int index);
    // Records code only while the state is STATE_USABLE; returns the previous state.
    virtual int SetError(int code);

    // The new element's index, or -1 when the array is not usable.
    int Add(void* element);
    void RemoveRange(int first, int n);
    void FreeAll();

    int state;
    int count;
    void** storage;
    int capacity;
    int initialCapacity;
    int growthStep;

private:
    PtrArray(const PtrArray&);
    PtrArray& operator=(const PtrArray&);
};

class LanguageEntryArray : public PtrArray {
public:
    LanguageEntryArray(int initialCapacity, int growthStep);
    virtual ~LanguageEntryArray();
    // Frees the entry and its text when ownsElements is 1.
    virtual void FreeItem(int index);

    int ownsElements;
};

// The 16-bit units of a language file, little-endian whatever the host, from an open file or
// from memory. A last odd byte is not a unit and is dropped.
class LanguageFileReader {
public:
    explicit LanguageFileReader(HANDLE file);
    LanguageFileReader(const BYTE* bytes, DWORD size);

    bool ReadUnit(WCHAR* unit);
    // Up to capacity - 1 units, through the first line feed; false at the end of the input.
    bool ReadLine(WCHAR* line, int capacity);
    bool Failed() const { return failed; }

private:
    bool ReadByte(BYTE* byte);

    HANDLE file;
    const BYTE* data;
    DWORD length;
    DWORD position;
    bool failed;
    BYTE chunk[512];
};

class LanguageTable {
public:
    LanguageTable();
    virtual ~LanguageTable();

    // 1 when the language file was opened and read to its end, otherwise 0.
    int Load();
    // Parses a whole language file, byte-order mark included; 0 when reading it failed.
    int Read(LanguageFileReader& reader);
    // Borrowed: valid until the table is destroyed. Null when the file has no such id.
    LPCWSTR Find(int id) const;

    LanguageEntryArray entries;

private:
    void ParseLine(WCHAR* line);
    void SortEntries();

    LanguageTable(const LanguageTable&);
    LanguageTable& operator=(const LanguageTable&);
};

// Null until start-up creates it, and when it could not be allocated.
extern LanguageTable* languageTable;

// The ring buffer that texts from the string table are loaded into (1024 characters), and
// where the next one goes.
extern WCHAR* stringRing;
extern WCHAR* stringRingCursor;

// Allocates the ring unless it exists; false when it cannot be allocated.
bool AllocateStringRing();
void FreeStringRing();

// Creates the language table once and loads the language file into it.
void CreateLanguageTable();
void DestroyLanguageTable();

// The text for a string id: the language file's, else the string table's. Never null; a
// text from the string table lasts only until the ring wraps over it, so use it at once.
LPCWSTR LoadUiString(int id);

#endif
