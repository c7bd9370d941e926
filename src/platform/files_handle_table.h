// The objects behind HANDLE values of files, pipes and mutexes (inside src/platform only).
// A HANDLE is a number looked up in one process-wide table; calls hold a shared reference to
// the object for their whole duration, so CloseHandle on another thread never frees an object
// (or reuses its descriptor) under a blocked call. Values are never reused.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/win32_base.h"

enum class HandleKind { file, pipe, mutex };

struct HandleObject {
  HandleObject(HandleKind kind_, int fd_) : kind(kind_), fd(fd_) {}
  HandleObject(const HandleObject&) = delete;
  HandleObject& operator=(const HandleObject&) = delete;
  ~HandleObject();  // closes fd

  const HandleKind kind;
  const int fd;                        // -1 when the object has no descriptor
  std::atomic<bool> cancelled{false};  // set by CancelIo / CloseHandle on a pipe
};

// Registers the object; returns its new handle value.
HANDLE gf_addHandle(std::shared_ptr<HandleObject> object);

// The object of a live handle; null (and GetLastError ERROR_INVALID_HANDLE) otherwise.
std::shared_ptr<HandleObject> gf_findHandle(HANDLE handle);

// Removes the handle from the table and returns its object (null when unknown).
std::shared_ptr<HandleObject> gf_takeHandle(HANDLE handle);

// Connects to a pipe's server (files_open.cpp calls it for "\\server\pipe\name" names).
// Returns the new handle, or INVALID_HANDLE_VALUE with GetLastError set.
HANDLE gf_openPipeClient(const std::string& pipeName);
