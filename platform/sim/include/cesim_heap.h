// The device's heap as the program sees it: the C allocation functions and nothrow new are
// counted and can be made to fail, so tests can find leaks and exercise out-of-memory paths.
// Only the program's own code is compiled with CESIM_COUNTED_HEAP.
#ifndef CESIM_HEAP_H
#define CESIM_HEAP_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void* cesim_malloc(size_t size);
void* cesim_calloc(size_t count, size_t size);
void* cesim_realloc(void* block, size_t size);
void cesim_free(void* block);

#ifdef __cplusplus
}
#endif

#ifdef CESIM_COUNTED_HEAP
#define malloc cesim_malloc
#define calloc cesim_calloc
#define realloc cesim_realloc
#define free cesim_free
#endif

#endif
