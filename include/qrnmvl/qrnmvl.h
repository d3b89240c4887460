/* The C interface of the component: create an object, call an operation by
 * name with a JSON call, read the JSON answer, free it, release the object.
 * Plus the four standard entry points of an in-process component server.
 *
 * Every function may be called from any thread. A qrnmvl_object* is a handle,
 * not a pointer to follow: the library checks it against the objects alive,
 * so a released, made-up or NULL handle is refused (status 2), never
 * followed. Handles are never reused. */
#ifndef QRNMVL_QRNMVL_H
#define QRNMVL_QRNMVL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QRNMVL_API __attribute__((visibility("default")))

typedef struct qrnmvl_object qrnmvl_object;

/* Status codes of the entry points, with their classic values. */
#define QRNMVL_S_OK ((int32_t)0)
#define QRNMVL_S_FALSE ((int32_t)1)
#define QRNMVL_E_OUTOFMEMORY ((int32_t)0x8007000E)
#define QRNMVL_E_INVALIDARG ((int32_t)0x80070057)
#define QRNMVL_CLASS_E_CLASSNOTAVAILABLE ((int32_t)0x80040111)

/* A new object (a handle), or NULL when memory is short. */
QRNMVL_API qrnmvl_object* qrnmvl_create(void);

/* Calls an operation (for example "gConsulta_Porto_Ponto") with a JSON object
 * of parameter values keyed by parameter name. operation and json_call are
 * NUL-terminated UTF-8 texts. On return *answer holds a JSON text to free with
 * qrnmvl_free:
 *   0: the call ran, whatever its result; *answer is
 *      {"result": 0|10, "parameters": {...}}. A database that is missing,
 *      busy, read-only or corrupt is the operation's failure (result 10).
 *   2: a usage error: a NULL argument, an unknown or released object, an
 *      unknown operation or parameter, malformed JSON, JSON nested deeper than
 *      64 levels, a number out of range (1e400), a text holding a NUL
 *      character; *answer is {"error": "<one line>"}. When answer
 *      itself is NULL, 2 and nothing is written.
 *   1: an internal error such as out of memory; *answer may be NULL. */
QRNMVL_API int qrnmvl_invoke(qrnmvl_object* object, const char* operation, const char* json_call,
                             char** answer);

/* Frees an answer of qrnmvl_invoke. NULL, an answer already freed and any
 * pointer the library did not give out are ignored. */
QRNMVL_API void qrnmvl_free(char* text);
/* Releases an object; calls still running on it finish first. NULL, an object
 * already released and an unknown handle are ignored. */
QRNMVL_API void qrnmvl_release(qrnmvl_object* object);

/* The class factory handed out by DllGetClassObject. */
typedef struct qrnmvl_class_factory {
  qrnmvl_object* (*create_instance)(void);
} qrnmvl_class_factory;

/* The class "QrnMvla61.QrnMvl" is the only one; any other name gives
 * QRNMVL_CLASS_E_CLASSNOTAVAILABLE. */
QRNMVL_API int32_t DllGetClassObject(const char* class_name, const qrnmvl_class_factory** factory);
/* QRNMVL_S_OK when no object is alive, QRNMVL_S_FALSE otherwise. */
QRNMVL_API int32_t DllCanUnloadNow(void);
/* Nothing to write on this platform: both succeed. */
QRNMVL_API int32_t DllRegisterServer(void);
QRNMVL_API int32_t DllUnregisterServer(void);

#ifdef __cplusplus
}
#endif

#endif
