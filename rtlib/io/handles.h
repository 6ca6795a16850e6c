// The handle layer: numbered low-level handles (0, 1, 2 are standard input, output and
// error) on which bytes are read, written, positioned and cut without any translation.
// It is the only place that calls the operating system's file services.
#pragma once

#include <cstdint>

namespace rtlib {

inline constexpr int32_t HANDLE_BLOCK = 32;
inline constexpr int32_t HANDLE_MAX = 2048;

// Library error codes of last_errno.
enum HandleErrno : int32_t {
  HERR_NONE = 0,
  HERR_NO_FILE = 2,
  HERR_BAD_HANDLE = 9,
  HERR_ACCESS = 13,
  HERR_EXISTS = 17,
  HERR_INVALID = 22,
  HERR_TOO_MANY = 24,
  HERR_DISK_FULL = 28,
};

// file_open flags: access, creation and mode, as the file connection passes them.
inline constexpr int32_t OPEN_READ = 0x0000;
inline constexpr int32_t OPEN_WRITE = 0x0001;
inline constexpr int32_t OPEN_READWRITE = 0x0002;
inline constexpr int32_t OPEN_APPEND = 0x0008;
inline constexpr int32_t OPEN_CREATE = 0x0100;
inline constexpr int32_t OPEN_TRUNCATE = 0x0200;
inline constexpr int32_t OPEN_EXCLUSIVE = 0x0400;
inline constexpr int32_t OPEN_TEXT = 0x4000;
inline constexpr int32_t OPEN_BINARY = 0x8000;

// Sharing modes.
inline constexpr int32_t SHARE_COMPAT = 0x00;
inline constexpr int32_t SHARE_DENYRW = 0x10;
inline constexpr int32_t SHARE_DENYWR = 0x20;
inline constexpr int32_t SHARE_DENYRD = 0x30;
inline constexpr int32_t SHARE_DENYNONE = 0x40;

inline constexpr int32_t SEEK_FROM_START = 0;
inline constexpr int32_t SEEK_FROM_CURRENT = 1;
inline constexpr int32_t SEEK_FROM_END = 2;

inline constexpr int32_t MODE_TEXT = 0x4000;
inline constexpr int32_t MODE_BINARY = 0x8000;

struct HandleErrors {
  int32_t last_errno = 0;
  int32_t last_os_error = 0;
  void reset() { last_errno = last_os_error = 0; }
};
extern HandleErrors handle_errors;

// Enters the standard handles 0, 1 and 2; false when the table cannot be made.
bool handles_init();
// Closes every handle the library opened and empties the table.
void handles_release();

int32_t file_open(const char* name, int32_t flags, int32_t share, int32_t mode);
int32_t file_read(int32_t h, void* buffer, int32_t n);
int32_t file_write(int32_t h, const void* bytes, int32_t n);
int32_t file_seek(int32_t h, int32_t offset, int32_t origin);
int32_t file_set_size(int32_t h, int32_t size);
int32_t file_close(int32_t h);
int32_t file_delete(const char* name);
int32_t file_exists(const char* name, int32_t write);
int32_t file_temp_name(char* name);
int32_t file_is_device(int32_t h);
int32_t file_is_pipe(int32_t h);
int32_t file_set_binary(int32_t h, int32_t mode);

// The raw transfers of the record layer and the error report: the handle is switched to
// binary mode for the one call (a no-op here: no byte is ever translated).
int32_t raw_read(int32_t h, void* buffer, int32_t n);
int32_t raw_write(int32_t h, const void* bytes, int32_t n);

}  // namespace rtlib
