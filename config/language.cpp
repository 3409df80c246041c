// The language strings.
#include "config/language.h"

static const int kStringRingChars = 1024;

WCHAR* stringRing = NULL;
static WCHAR* stringRingCursor = NULL;

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

void CreateLanguageTable() {}

void DestroyLanguageTable() {}
