// Files and named-pipe client handles as the program opens them: CreateFileW, ReadFile,
// WriteFile, CancelIo, CloseHandle. Overlapped I/O is not emulated: an OVERLAPPED argument is
// refused (ERROR_NOT_SUPPORTED) and FILE_FLAG_OVERLAPPED is accepted and ignored, so reads and
// writes block. Handles are thread-safe: CloseHandle or CancelIo from another thread wakes a
// thread blocked in ReadFile on a pipe (it returns FALSE with ERROR_OPERATION_ABORTED or
// ERROR_BROKEN_PIPE).
#pragma once

#include <filesystem>

#include "platform/win32_base.h"

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

// Further Win32 error codes of files and pipes.
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_BAD_NETPATH = 53;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_BROKEN_PIPE = 109;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_NO_DATA = 232;
constexpr DWORD ERROR_PIPE_NOT_CONNECTED = 233;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_PENDING = 997;

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Declared so that code written for overlapped I/O compiles; never filled in here.
struct OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;

// Opens a file, or with a name of the form \\server\pipe\name the client end of a named pipe
// (see gf_pipeSocketPath in platform/win32_net.h; only the local server "." is reachable).
// A path beginning with a drive letter ("C:\...") goes through gf_winPath. Share modes,
// security attributes, attributes and the template are accepted and ignored.
// CREATE_ALWAYS / OPEN_ALWAYS on an existing file succeed with GetLastError
// ERROR_ALREADY_EXISTS. Failure: INVALID_HANDLE_VALUE and GetLastError (2 file not found,
// 3 path not found, 5 access denied (also for a folder), 80 file exists, 231 pipe busy ...).
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);

// Reads up to `toRead` bytes. A file at its end gives TRUE with 0 bytes read; a pipe whose
// server has gone gives FALSE with ERROR_BROKEN_PIPE.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);

// Writes all `toWrite` bytes (a pipe whose server has gone: FALSE with ERROR_NO_DATA; never a
// signal).
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped);

// Wakes every thread blocked in ReadFile or WriteFile on the pipe handle (the pipe is shut
// down; further reads fail). On a file handle it does nothing and returns TRUE.
BOOL CancelIo(HANDLE file);

// Closes a handle of CreateFileW or CreateMutexA. The object is freed once no other thread
// is inside a call with it.
BOOL CloseHandle(HANDLE object);

// The Win32 error code that stands for a POSIX errno value (ENOENT -> 2, ENOTDIR -> 3,
// EACCES -> 5, ...); unknown values give ERROR_GEN_FAILURE (31).
DWORD gf_win32ErrorFromErrno(int errnoValue);
