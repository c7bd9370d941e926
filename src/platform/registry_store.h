// The registry's file-backed store (inside src/platform only).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/win32_registry.h"

struct RegistryValue {
  DWORD type = REG_NONE;  // REG_SZ or REG_DWORD
  WString text;           // REG_SZ
  DWORD number = 0;       // REG_DWORD
};

// Keys by lower-cased full path ("hkey_local_machine\software\..."); each holds its values
// by lower-cased name.
struct RegistryContent {
  std::map<std::string, std::map<std::string, RegistryValue>> keys;
};

// The store as its file holds it now (read again when the file changed). Never null; empty
// when the file is missing. Thread-safe; usable during static initialisation.
std::shared_ptr<const RegistryContent> gf_registryContent();

// Parses the text of a store file; malformed lines are reported on stderr with `origin` and
// their line number, and skipped.
RegistryContent gf_parseRegistry(std::string_view text, const std::string& origin);

// The lower-cased canonical path of a key: root name, '\', path with single '\' separators
// and no leading or trailing one. Empty for an unknown root.
std::string gf_registryKeyPath(HKEY root, std::string_view subPath);
