// The handle layer: numbered low-level handles (0, 1, 2 are standard input, output and
// error) on which bytes are read, written, positioned and cut without any translation.
// It is the only place that calls the operating system's file services. The record layer
// reads and writes through it, the file connection opens, closes and deletes files with
// it, the error report writes to standard error through it, and start-up enters the
// standard handles.
#pragma once

#include <cstdint>

namespace rtlib {

inline constexpr int32_t HANDLE_BLOCK = 32;
inline constexpr int32_t HANDLE_MAX = 2048;
inline constexpr int32_t HANDLE_BLOCK_COUNT = HANDLE_MAX / HANDLE_BLOCK;

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

// file_open flags. The low two bits are the access; without OPEN_CREATE only an existing
// file is opened. OPEN_NEW (create, fail when the file exists) is the creation the file
// connection uses for a new file. Files are always binary unless OPEN_TEXT is given.
inline constexpr int32_t OPEN_READ = 0x0000;
inline constexpr int32_t OPEN_WRITE = 0x0001;
inline constexpr int32_t OPEN_READWRITE = 0x0002;
inline constexpr int32_t OPEN_ACCESS_MASK = 0x0003;
inline constexpr int32_t OPEN_APPEND = 0x0008;
inline constexpr int32_t OPEN_CREATE = 0x0100;
inline constexpr int32_t OPEN_TRUNCATE = 0x0200;
inline constexpr int32_t OPEN_EXCLUSIVE = 0x0400;
inline constexpr int32_t OPEN_NEW = OPEN_CREATE | OPEN_EXCLUSIVE;
inline constexpr int32_t OPEN_TEXT = 0x4000;
inline constexpr int32_t OPEN_BINARY = 0x8000;

// Sharing modes, carried out with advisory whole-file locks held while the handle is
// open: DENYRW and DENYWR take an exclusive lock, DENYRD a shared one, the others none.
// A conflict fails the open with last_errno 13.
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

// Flags of a handle-table entry.
inline constexpr uint32_t HANDLE_OPEN = 0x01;
inline constexpr uint32_t HANDLE_DEVICE = 0x02;    // a character device
inline constexpr uint32_t HANDLE_PIPE = 0x04;      // a pipe
inline constexpr uint32_t HANDLE_TEXT = 0x08;      // text mode (recorded only)
inline constexpr uint32_t HANDLE_WRITABLE = 0x10;  // opened with write access

struct HandleEntry {
  int32_t fd;
  uint32_t flags;
};

// The handle table: entries in blocks of 32, a block added when every entry is in use,
// at most 64 blocks (2048 handles).
struct HandleTable {
  HandleEntry* blocks[HANDLE_BLOCK_COUNT] = {};
  int32_t block_count = 0;
  // The open entry of handle h, or null.
  HandleEntry* entry(int32_t h) {
    if (h < 0 || h >= block_count * HANDLE_BLOCK) return nullptr;
    HandleEntry* e = &blocks[h / HANDLE_BLOCK][h % HANDLE_BLOCK];
    return (e->flags & HANDLE_OPEN) ? e : nullptr;
  }
  // Closes every descriptor the library opened (handles 3 and up) and empties the table.
  void reset();
};

extern HandleTable handle_table;

struct HandleErrors {
  int32_t last_errno = 0;
  int32_t last_os_error = 0;
  void reset() { last_errno = last_os_error = 0; }
};
extern HandleErrors handle_errors;

// The library error code for an operating-system errno value.
int32_t library_errno(int os_error);

// Enters the standard handles 0, 1 and 2 (a closed standard descriptor is first opened on
// the null device, so that no file ever lands on it) and makes a write to a pipe without
// reader fail instead of ending the process. False when the table cannot be made.
bool handles_init();
// Closes every handle the library opened and empties the table.
void handles_release();
// Enters an open descriptor as the lowest free handle; answers it, or -1 (last_errno 24).
int32_t handle_enter(int fd);

// Opens name; flags as above, share a SHARE_ value, mode the permission bits of a file
// that is created (0 gives read and write for everyone, less the umask).
int32_t file_open(const char* name, int32_t flags, int32_t share, int32_t mode);
// Reads up to n bytes; 0 at end of file (also from a pipe whose writer has gone).
int32_t file_read(int32_t h, void* buffer, int32_t n);
// Writes n bytes; answers the count written (short after a failure, last_errno set).
int32_t file_write(int32_t h, const void* bytes, int32_t n);
int32_t file_seek(int32_t h, int32_t offset, int32_t origin);
// Cuts the file to size or extends it with zero bytes; the position is kept.
int32_t file_set_size(int32_t h, int32_t size);
// Closes h; handles 0, 1 and 2 stay with the process.
int32_t file_close(int32_t h);
int32_t file_delete(const char* name);
// 0 when name exists (with write = 2: and is not read-only).
int32_t file_exists(const char* name, int32_t write);
// Replaces the six X that end name with a letter and the last five digits of the
// process id, the letter running from a to z until no file of that name exists.
int32_t file_temp_name(char* name);
int32_t file_is_device(int32_t h);
int32_t file_is_pipe(int32_t h);
// Records binary or text mode; answers the previous mode.
int32_t file_set_binary(int32_t h, int32_t mode);

// The raw transfers of the record layer and the error report: the handle is switched to
// binary mode for the one call (nothing is translated in either mode).
int32_t raw_read(int32_t h, void* buffer, int32_t n);
int32_t raw_write(int32_t h, const void* bytes, int32_t n);

}  // namespace rtlib
