#include <qrnmvl/qrnmvl.h>
#include <qrnmvl/qrnmvl.hpp>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

struct qrnmvl_object {
  qrnmvl::QrnMvl component;
};

namespace {

char* copy_out(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

char* error_answer(const std::string& message) {
  return copy_out(nlohmann::json{{"error", message}}.dump());
}

qrnmvl_object* create_instance() { return qrnmvl_create(); }

const qrnmvl_class_factory kFactory{create_instance};

}  // namespace

extern "C" {

qrnmvl_object* qrnmvl_create(void) { return new (std::nothrow) qrnmvl_object; }

int qrnmvl_invoke(qrnmvl_object* object, const char* operation, const char* json_call,
                  char** answer) {
  if (!answer) return 2;
  *answer = nullptr;
  try {
    if (!object || !operation || !json_call) {
      *answer = error_answer("object, operation and JSON call are required");
      return 2;
    }
    *answer = copy_out(qrnmvl::invoke_json(object->component, operation, json_call));
    return *answer ? 0 : 1;
  } catch (const std::invalid_argument& e) {
    *answer = error_answer(e.what());
    return 2;
  } catch (...) {
    return 1;
  }
}

void qrnmvl_free(char* text) { std::free(text); }

void qrnmvl_release(qrnmvl_object* object) { delete object; }

int32_t DllGetClassObject(const char* class_name, const qrnmvl_class_factory** factory) {
  if (!factory) return QRNMVL_E_INVALIDARG;
  *factory = nullptr;
  if (!class_name || std::strcmp(class_name, "QrnMvla61.QrnMvl") != 0)
    return QRNMVL_CLASS_E_CLASSNOTAVAILABLE;
  *factory = &kFactory;
  return QRNMVL_S_OK;
}

int32_t DllCanUnloadNow(void) {
  return qrnmvl::QrnMvl::objects_alive() == 0 ? QRNMVL_S_OK : QRNMVL_S_FALSE;
}

int32_t DllRegisterServer(void) { return QRNMVL_S_OK; }
int32_t DllUnregisterServer(void) { return QRNMVL_S_OK; }

}  // extern "C"
