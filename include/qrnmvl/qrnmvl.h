/* The C interface of the component: create an object, call an operation by
 * name with a JSON call, read the JSON answer, free it, release the object.
 * Plus the four standard entry points of an in-process component server. */
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

/* A new object, or NULL when memory is short. */
QRNMVL_API qrnmvl_object* qrnmvl_create(void);

/* Calls an operation (for example "gConsulta_Porto_Ponto") with a JSON object
 * of parameter values keyed by parameter name. On return *answer holds a JSON
 * text to free with qrnmvl_free:
 *   0: the call ran; *answer is {"result": 0|10, "parameters": {...}}.
 *   2: a usage error (unknown operation or parameter, malformed JSON);
 *      *answer is {"error": "<one line>"}.
 *   1: out of memory; *answer may be NULL. */
QRNMVL_API int qrnmvl_invoke(qrnmvl_object* object, const char* operation, const char* json_call,
                             char** answer);

QRNMVL_API void qrnmvl_free(char* text);
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
