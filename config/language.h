// The language strings: texts from the language file, falling back to the string table.
#ifndef VEXO_CONFIG_LANGUAGE_H
#define VEXO_CONFIG_LANGUAGE_H

#include <windows.h>

// The ring buffer that texts from the string table are loaded into (1024 characters).
extern WCHAR* stringRing;

// Allocates the ring unless it exists; false when it cannot be allocated.
bool AllocateStringRing();
void FreeStringRing();

// Creates the language table once and loads the language file into it.
void CreateLanguageTable();
void DestroyLanguageTable();

#endif
