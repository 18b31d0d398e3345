/* The C functions the extractor libraries export; the host binds them by name at run time. */
#ifndef VESKLAR_EXTRACTORS_EXPORTS_H
#define VESKLAR_EXTRACTORS_EXPORTS_H

#include <stdint.h>

#define VESKLAR_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/*
 * kestrelgrab (in kestrelgrab.so, Taobao) and falcongrab (in falcongrab.so, Tmall) take the
 * address of one item page (zero-terminated GBK text; a null pointer counts as "") and return
 * that item's record: a zero-terminated GBK JSON text. Every call returns a complete record,
 * never a null pointer; a page that could not be fetched or read gives empty values.
 *
 * Lifetime of the returned text: it belongs to the library and stays valid only until the
 * next call of the same function or until the library is unloaded, whichever comes first.
 * The caller copies it at once and never frees it. Calls of one function must not overlap.
 */
VESKLAR_EXPORT const char* kestrelgrab(const char* url);
VESKLAR_EXPORT const char* falcongrab(const char* url);

/*
 * In falcongrab.so: 1 when the stock pattern built around `key` finds, in `text`, an entry
 * after the key whose stock figure is above 0, else 0. Null pointers count as "". Both texts
 * are read during the call only; nothing is kept.
 */
VESKLAR_EXPORT int32_t shuxingtushifoubaoliu_tmall(const char* text, const char* key);

/* The shape of kestrelgrab and falcongrab, for callers that look them up by name. */
typedef const char* (*vesklar_extract_fn)(const char* url);
typedef int32_t (*vesklar_stock_fn)(const char* text, const char* key);

#ifdef __cplusplus
}
#endif

#endif
