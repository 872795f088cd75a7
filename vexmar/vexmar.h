/* VexmarExt for hosts in any language: a C interface (C11, also usable from C++).
 *
 * Every class of the library is reached by late binding: create an object by ProgID or
 * CLSID, then read, write and call its members by name (letter case ignored), the same
 * members, dispatch rules and conversions as the C++ late-binding layer and the Python
 * module (docs/reference.md lists them). No C++ type crosses this interface.
 *
 *   vexmar_object* matcher = NULL;
 *   if (vexmar_create("VexmarExt.ClsPatternMatchStr", &matcher) != VEXMAR_OK) { ... }
 *   vexmar_value args[4] = {vexmar_string("Sheet12"), vexmar_string("S?eet*2"),
 *                           vexmar_int32(1), vexmar_int32(0)};
 *   vexmar_value found;
 *   vexmar_call(matcher, "MatchString", args, 4, &found);  // found.as.int32 == 1,
 *                                                           // args[3].as.int32 == 7
 *   vexmar_value_clear(&found);
 *   vexmar_value_clear(&args[3]);
 *   vexmar_release(matcher);
 *
 * Status. Every function that can fail returns a vexmar_status: VEXMAR_OK (0), or the
 * Automation error number of the failure (5 invalid argument, 13 type mismatch, 91 no
 * object, 429 no such class, 438 no such member, 450 wrong argument count, 53/75/76 file
 * errors, ...). vexmar_error_description() then gives its Simplified Chinese description.
 *
 * Values. A vexmar_value is a tag and a union. Values a caller fills are the caller's:
 * the library copies what it needs and frees nothing of them. Values the library fills
 * (a result, the new value of an in/out argument, a worksheet list) have `owned` set and
 * must be given back with vexmar_value_clear, which leaves a caller's values alone, so it
 * is safe to clear every argument after a call.
 *   VEXMAR_STRING       UTF-8, NUL-terminated, with its length in bytes (an input length
 *                       of 0 means "up to the NUL"). A file name that is not valid UTF-8
 *                       comes back byte for byte as the file system gave it, and such
 *                       bytes passed in reach the file system unchanged.
 *   VEXMAR_INT32, VEXMAR_FLOAT32
 *   VEXMAR_BOOL         0 false, 1 true (any non-zero is true on input)
 *   VEXMAR_STRING_LIST  items 0..count-1; count 0 is the absent list (the contract's
 *                       lists otherwise always have an item). An item ends at its NUL.
 *   VEXMAR_OBJECT       an object handle (a collection for the contract's members);
 *                       NULL is Nothing. One given by the library is a new handle.
 *   VEXMAR_EMPTY        no value: 0, "" or the absent list, as the member reads it.
 * Arguments convert to the member's declared types as in the other surfaces ("7.5" to a
 * float, 7 to a string, ...).
 *
 * Threads. As for the C++ objects: distinct objects may be used on different threads at
 * the same time; one object must not be used by two threads at once (the host serialises
 * its calls on it). A handle may move from thread to thread. The last failure is kept per
 * thread, so vexmar_error_description() tells of the calling thread's own call.
 *
 * The interface is part of libVexmarExt.so.1 and follows its SONAME: within one major
 * version functions keep their signatures and the structure keeps its layout. */
#ifndef VEXMAR_VEXMAR_H
#define VEXMAR_VEXMAR_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define VEXMAR_C_API __attribute__((visibility("default")))
#else
#define VEXMAR_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 0, or the Automation error number of the failure. */
typedef int32_t vexmar_status;
#define VEXMAR_OK 0

/* An object of the library: one of its classes, or a collection. */
typedef struct vexmar_object vexmar_object;

typedef enum vexmar_type {
  VEXMAR_EMPTY = 0,
  VEXMAR_STRING = 1,
  VEXMAR_INT32 = 2,
  VEXMAR_FLOAT32 = 3,
  VEXMAR_BOOL = 4,
  VEXMAR_STRING_LIST = 5,
  VEXMAR_OBJECT = 6
} vexmar_type;

typedef struct vexmar_string_list {
  const char* const* items;
  size_t count;
} vexmar_string_list;

typedef struct vexmar_text {
  const char* data;
  size_t length;
} vexmar_text;

typedef struct vexmar_value {
  int32_t type;  /* a vexmar_type; any other number is a type mismatch (13) */
  int32_t owned; /* set by the library on values it filled; see vexmar_value_clear */
  union {
    vexmar_text string;
    int32_t int32;
    float float32;
    int32_t boolean;
    vexmar_string_list list;
    vexmar_object* object;
  } as;
} vexmar_value;

/* A new object by ProgID ("VexmarExt.ClsScoreState", letter case ignored) or by CLSID in
 * braces. *object is NULL on failure (429 for an unknown class). */
VEXMAR_C_API vexmar_status vexmar_create(const char* progid_or_clsid, vexmar_object** object);
/* A new, empty collection, for a host to write to FilesName or PingRules. */
VEXMAR_C_API vexmar_status vexmar_new_collection(vexmar_object** collection);
/* Gives the handle back; the object ends when no handle, property or collection holds it.
 * NULL is allowed. */
VEXMAR_C_API void vexmar_release(vexmar_object* object);

/* Calls a method, or reads a property that takes arguments (a collection's Item), by
 * name. args[0..count-1] in declaration order; after the call each in/out argument holds
 * its new value (owned; also when the member failed after writing it). The old value of
 * such an argument is overwritten: freed if the library had given it, else left to the
 * caller. *result is overwritten with the result (VEXMAR_EMPTY for none and on failure);
 * result may be NULL. */
VEXMAR_C_API vexmar_status vexmar_call(vexmar_object* object, const char* name,
                                       vexmar_value* args, size_t count,
                                       vexmar_value* result);
/* Reads a property (or calls a method without arguments) by name. */
VEXMAR_C_API vexmar_status vexmar_get(vexmar_object* object, const char* name,
                                      vexmar_value* result);
/* Writes a property by name. An object value (or a NULL object, Nothing) is written by
 * reference, as an object property takes it; VEXMAR_EMPTY is Nothing to an object
 * property and the empty value to any other; any other value is written by value. */
VEXMAR_C_API vexmar_status vexmar_put(vexmar_object* object, const char* name,
                                      const vexmar_value* value);

/* The worksheet names of a workbook file in tab order: *names becomes a string list, or
 * VEXMAR_EMPTY when the file is not a workbook. A damaged, encrypted or unreadable file
 * is a failure with its number and description. */
VEXMAR_C_API vexmar_status vexmar_list_worksheets(const char* path, vexmar_value* names);

/* Frees what the library put in an owned value (releasing an object handle) and makes it
 * VEXMAR_EMPTY; a value the caller filled is left as it is. NULL is allowed. */
VEXMAR_C_API void vexmar_value_clear(vexmar_value* value);

/* The last failure on the calling thread: its number (0 when none yet) and its
 * description in UTF-8, valid until the next failure on this thread. */
VEXMAR_C_API int32_t vexmar_error_number(void);
VEXMAR_C_API const char* vexmar_error_description(void);

/* Values for arguments; nothing is copied, the caller's text must outlive the call. */
static inline vexmar_value vexmar_string(const char* text) {
  vexmar_value v;
  v.type = VEXMAR_STRING;
  v.owned = 0;
  v.as.string.data = text;
  v.as.string.length = 0;
  return v;
}
static inline vexmar_value vexmar_int32(int32_t number) {
  vexmar_value v;
  v.type = VEXMAR_INT32;
  v.owned = 0;
  v.as.int32 = number;
  return v;
}
static inline vexmar_value vexmar_float32(float number) {
  vexmar_value v;
  v.type = VEXMAR_FLOAT32;
  v.owned = 0;
  v.as.float32 = number;
  return v;
}
static inline vexmar_value vexmar_bool(int32_t truth) {
  vexmar_value v;
  v.type = VEXMAR_BOOL;
  v.owned = 0;
  v.as.boolean = truth;
  return v;
}
static inline vexmar_value vexmar_list(const char* const* items, size_t count) {
  vexmar_value v;
  v.type = VEXMAR_STRING_LIST;
  v.owned = 0;
  v.as.list.items = items;
  v.as.list.count = count;
  return v;
}
static inline vexmar_value vexmar_object_value(vexmar_object* object) {
  vexmar_value v;
  v.type = VEXMAR_OBJECT;
  v.owned = 0;
  v.as.object = object;
  return v;
}
static inline vexmar_value vexmar_empty(void) {
  vexmar_value v;
  v.type = VEXMAR_EMPTY;
  v.owned = 0;
  v.as.int32 = 0;
  return v;
}

#ifdef __cplusplus
}
#endif

#endif /* VEXMAR_VEXMAR_H */
