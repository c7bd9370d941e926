// RegOpenKeyExW, RegGetValueW and RegCloseKey over the store. Any thread;
// the set of open keys is guarded by one mutex.
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "platform/registry_store.h"
#include "platform/win32_registry.h"
#include "platform/win32_text.h"

// An open key: the canonical path of a key that existed when it was opened.
struct HKEY__ {
  std::string path;
};

namespace {

struct OpenKeys {
  std::mutex mutex;
  std::set<const HKEY__*> keys;  // under mutex
};

OpenKeys& lf_openKeys() {
  static auto* keys = new OpenKeys;  // never destroyed: keys may close in static destructors
  return *keys;
}

bool lf_isPredefined(HKEY key) {
  const auto value = reinterpret_cast<ULONG_PTR>(key);
  return value >= 0x80000000u && value <= 0x80000060u;
}

// The canonical path of `key` (a root or an open key) joined with `subKey`; empty when `key`
// is neither.
std::string lf_path(HKEY key, LPCWSTR subKey) {
  const std::string sub = subKey == nullptr ? std::string() : gf_toUtf8(subKey);
  if (lf_isPredefined(key)) return gf_registryKeyPath(key, sub);
  OpenKeys& open = lf_openKeys();
  std::lock_guard lock(open.mutex);
  if (open.keys.count(key) == 0) return {};
  std::string path = key->path;
  std::string element;
  for (char c : sub + '\\') {
    if (c != '\\') {
      element.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    } else if (!element.empty()) {
      path += '\\' + element;
      element.clear();
    }
  }
  return path;
}

// Finds the value; sets `error` when the key or value is missing.
const RegistryValue* lf_findValue(const RegistryContent& content, const std::string& keyPath,
                                  LPCWSTR valueName, LSTATUS& error) {
  const auto key = content.keys.find(keyPath);
  if (key == content.keys.end()) {
    error = static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  std::string name = valueName == nullptr ? std::string() : gf_toUtf8(valueName);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto value = key->second.find(name);
  if (value == key->second.end()) {
    error = static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return &value->second;
}

// Copies the value's bytes with the size-query contract of both reading calls.
LSTATUS lf_deliver(const RegistryValue& value, LPDWORD type, void* data, LPDWORD dataBytes) {
  if (type != nullptr) *type = value.type;
  const void* bytes = value.type == REG_SZ ? static_cast<const void*>(value.text.c_str())
                                           : static_cast<const void*>(&value.number);
  const DWORD size = value.type == REG_SZ
                         ? static_cast<DWORD>((value.text.size() + 1) * sizeof(WCHAR))
                         : static_cast<DWORD>(sizeof(DWORD));
  if (data == nullptr) {
    if (dataBytes != nullptr) *dataBytes = size;
    return static_cast<LSTATUS>(ERROR_SUCCESS);
  }
  if (dataBytes == nullptr) return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
  const DWORD room = *dataBytes;
  *dataBytes = size;
  if (room < size) return static_cast<LSTATUS>(ERROR_MORE_DATA);
  std::memcpy(data, bytes, size);
  return static_cast<LSTATUS>(ERROR_SUCCESS);
}

bool lf_typeAllowed(DWORD type, DWORD flags) {
  if (type == REG_SZ) return (flags & RRF_RT_REG_SZ) != 0;
  if (type == REG_DWORD) return (flags & RRF_RT_REG_DWORD) != 0;
  return (flags & RRF_RT_REG_NONE) != 0;
}

}  // namespace

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (result == nullptr) return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
  *result = nullptr;
  if (lf_isPredefined(key) && (subKey == nullptr || *subKey == 0)) {
    *result = key;  // the root itself, as Windows returns it
    return static_cast<LSTATUS>(ERROR_SUCCESS);
  }
  const std::string path = lf_path(key, subKey);
  if (path.empty()) return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
  const auto content = gf_registryContent();
  if (content->keys.count(path) == 0) return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
  auto* opened = new HKEY__{path};
  OpenKeys& open = lf_openKeys();
  std::lock_guard lock(open.mutex);
  open.keys.insert(opened);
  *result = opened;
  return static_cast<LSTATUS>(ERROR_SUCCESS);
}

LSTATUS RegGetValueW(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD flags, LPDWORD type,
                     PVOID data, LPDWORD dataBytes) {
  if ((flags & RRF_RT_ANY) == 0 || (data != nullptr && dataBytes == nullptr)) {
    return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
  }
  const std::string path = lf_path(key, subKey);
  if (path.empty()) return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
  const auto content = gf_registryContent();
  LSTATUS error = static_cast<LSTATUS>(ERROR_SUCCESS);
  const RegistryValue* value = lf_findValue(*content, path, valueName, error);
  if (value == nullptr) return error;
  if (!lf_typeAllowed(value->type, flags)) return static_cast<LSTATUS>(ERROR_UNSUPPORTED_TYPE);
  return lf_deliver(*value, type, data, dataBytes);
}

LSTATUS RegCloseKey(HKEY key) {
  if (lf_isPredefined(key)) return static_cast<LSTATUS>(ERROR_SUCCESS);
  OpenKeys& open = lf_openKeys();
  {
    std::lock_guard lock(open.mutex);
    if (open.keys.erase(key) == 0) return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
  }
  delete key;
  return static_cast<LSTATUS>(ERROR_SUCCESS);
}
