// The process-wide handle table. Any thread; one mutex guards the map.
#include "platform/files_handle_table.h"

#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<HandleObject>> objects;  // under mutex
  std::uintptr_t nextValue = 0x1000;  // multiples of 4, as Windows hands them out; under mutex
};

// Never destroyed: handles may be closed from static destructors.
HandleTable& lf_table() {
  static auto* table = new HandleTable;
  return *table;
}

}  // namespace

HandleObject::~HandleObject() {
  if (fd >= 0) ::close(fd);
}

HANDLE gf_addHandle(std::shared_ptr<HandleObject> object) {
  HandleTable& table = lf_table();
  std::lock_guard lock(table.mutex);
  const std::uintptr_t value = table.nextValue;
  table.nextValue += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<HandleObject> gf_findHandle(HANDLE handle) {
  HandleTable& table = lf_table();
  std::lock_guard lock(table.mutex);
  const auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == table.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

std::shared_ptr<HandleObject> gf_takeHandle(HANDLE handle) {
  HandleTable& table = lf_table();
  std::lock_guard lock(table.mutex);
  const auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == table.objects.end()) return nullptr;
  auto object = std::move(it->second);
  table.objects.erase(it);
  return object;
}
