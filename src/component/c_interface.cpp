// The C interface. A host may hand it anything: a handle it released, one it
// made up, a pointer it freed twice. Handles are numbers looked up among the
// live objects, never pointers followed, and answers are freed only when this
// library gave them out; a handle is never reused, so a stale one cannot reach
// a newer object.
#include <qrnmvl/qrnmvl.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <random>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "common/json_value.hpp"

namespace {

using Handle = std::uintptr_t;

class LiveObjects {
 public:
  qrnmvl_object* add(std::shared_ptr<qrnmvl::QrnMvl> object) {
    const std::lock_guard lock(mutex_);
    Handle handle = 0;
    // Spread over the whole range from a random start, so a small number or a
    // pointer a host made up is not a handle by chance.
    do handle = (++issued_ * 0x9E3779B97F4A7C15u) ^ salt_;
    while (handle == 0 || objects_.count(handle) != 0);
    objects_.emplace(handle, std::move(object));
    return reinterpret_cast<qrnmvl_object*>(handle);
  }

  std::shared_ptr<qrnmvl::QrnMvl> find(const qrnmvl_object* object) {
    const std::lock_guard lock(mutex_);
    const auto found = objects_.find(reinterpret_cast<Handle>(object));
    return found == objects_.end() ? nullptr : found->second;
  }

  // The object itself goes when the last call still running on it ends.
  void remove(const qrnmvl_object* object) {
    std::shared_ptr<qrnmvl::QrnMvl> released;
    const std::lock_guard lock(mutex_);
    const auto found = objects_.find(reinterpret_cast<Handle>(object));
    if (found == objects_.end()) return;
    released = std::move(found->second);
    objects_.erase(found);
  }

  char* give_out(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    try {
      const std::lock_guard lock(mutex_);
      answers_.insert(copy);
    } catch (...) {
      std::free(copy);
      return nullptr;
    }
    return copy;
  }

  void take_back(char* text) {
    {
      const std::lock_guard lock(mutex_);
      if (answers_.erase(text) == 0) return;
    }
    std::free(text);
  }

 private:
  std::mutex mutex_;
  std::unordered_map<Handle, std::shared_ptr<qrnmvl::QrnMvl>> objects_;
  std::unordered_set<char*> answers_;
  Handle issued_ = 0;
  const Handle salt_ = static_cast<Handle>(std::random_device{}()) << 32 ^ std::random_device{}();
};

// Never destroyed: a host may still call in while the process exits.
LiveObjects& live() {
  static LiveObjects* objects = new LiveObjects;
  return *objects;
}

char* error_answer(const std::string& message) {
  return live().give_out(nlohmann::json{{"error", message}}.dump(
      -1, ' ', false, nlohmann::json::error_handler_t::replace));
}

qrnmvl_object* create_instance() { return qrnmvl_create(); }

const qrnmvl_class_factory kFactory{create_instance};

}  // namespace

extern "C" {

qrnmvl_object* qrnmvl_create(void) {
  try {
    return live().add(std::make_shared<qrnmvl::QrnMvl>());
  } catch (...) {
    return nullptr;
  }
}

int qrnmvl_invoke(qrnmvl_object* object, const char* operation, const char* json_call,
                  char** answer) {
  if (answer == nullptr) return 2;
  *answer = nullptr;
  try {
    if (object == nullptr || operation == nullptr || json_call == nullptr) {
      *answer = error_answer("object, operation and JSON call are required");
      return 2;
    }
    const std::shared_ptr<qrnmvl::QrnMvl> component = live().find(object);
    if (!component) {
      *answer = error_answer("unknown or released object");
      return 2;
    }
    *answer = live().give_out(qrnmvl::invoke_json(*component, operation, json_call));
    return *answer != nullptr ? 0 : 1;
  } catch (const std::invalid_argument& e) {
    *answer = error_answer(e.what());
    return 2;
  } catch (const std::exception& e) {
    *answer = error_answer(std::string("internal error: ") + e.what());
    return 1;
  } catch (...) {
    return 1;
  }
}

void qrnmvl_free(char* text) {
  if (text == nullptr) return;
  try {
    live().take_back(text);
  } catch (...) {
    // A lock that cannot be taken leaves the text allocated: better than freeing blind.
  }
}

void qrnmvl_release(qrnmvl_object* object) {
  if (object == nullptr) return;
  try {
    live().remove(object);
  } catch (...) {
  }
}

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
