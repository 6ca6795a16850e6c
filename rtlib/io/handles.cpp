// The handle layer on POSIX: each handle holds a file descriptor; handles 0, 1 and 2 are
// descriptors 0, 1 and 2. Bytes pass unchanged in both directions. Every failure answers
// -1 (or a short count for writes) and leaves last_errno and last_os_error set.
#include "rtlib/io/handles.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace rtlib {

HandleTable handle_table;
HandleErrors handle_errors;

namespace {

constexpr int32_t ZERO_PIECE = 4096;
constexpr uint32_t STANDARD_FLAGS = HANDLE_OPEN | HANDLE_WRITABLE | HANDLE_TEXT;

// Records the failure errno and answers -1.
int32_t fail(int os_error) {
  handle_errors.last_os_error = os_error;
  handle_errors.last_errno = library_errno(os_error);
  return -1;
}

int32_t fail_bad_handle() { return fail(EBADF); }

uint32_t kind_flags(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return 0;
  if (S_ISCHR(st.st_mode)) return HANDLE_DEVICE;
  if (S_ISFIFO(st.st_mode)) return HANDLE_PIPE;
  return 0;
}

// Adds a block of free entries; false when the table is full or memory is short.
bool add_block() {
  HandleTable& t = handle_table;
  if (t.block_count == HANDLE_BLOCK_COUNT) return false;
  auto* block = static_cast<HandleEntry*>(std::calloc(HANDLE_BLOCK, sizeof(HandleEntry)));
  if (block == nullptr) return false;
  for (int32_t i = 0; i < HANDLE_BLOCK; ++i) block[i].fd = -1;
  t.blocks[t.block_count++] = block;
  return true;
}

// The lowest free handle number, adding a block when every entry is in use; -1 when the
// table is full or the block cannot be had.
int32_t free_handle() {
  HandleTable& t = handle_table;
  if (t.block_count == 0 && !handles_init()) return -1;
  for (int32_t b = 0; b < t.block_count; ++b) {
    for (int32_t i = 0; i < HANDLE_BLOCK; ++i) {
      if (!(t.blocks[b][i].flags & HANDLE_OPEN)) return b * HANDLE_BLOCK + i;
    }
  }
  if (!add_block()) return -1;
  return HANDLE_BLOCK * (t.block_count - 1);
}

// The open entry of h. A library used before start-up still reaches the standard
// handles: the table is made on first use.
HandleEntry* open_entry(int32_t h) {
  if (handle_table.block_count == 0) handles_init();
  return handle_table.entry(h);
}

HandleEntry& slot(int32_t h) { return handle_table.blocks[h / HANDLE_BLOCK][h % HANDLE_BLOCK]; }

// Waits until a descriptor in non-blocking mode can go on (events POLLIN or POLLOUT).
void wait_ready(int fd, short events) {
  pollfd p{fd, events, 0};
  while (poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
}

// The lock that a sharing mode asks for, 0 for none.
int lock_for_share(int32_t share) {
  switch (share) {
    case SHARE_DENYRW:
    case SHARE_DENYWR: return LOCK_EX;
    case SHARE_DENYRD: return LOCK_SH;
    default: return 0;
  }
}

// A regular file without any write permission bit is read-only for every user, the
// super-user included.
bool read_only_file(const char* name) {
  struct stat st;
  return stat(name, &st) == 0 && S_ISREG(st.st_mode) &&
         (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

int32_t library_errno(int os_error) {
  switch (os_error) {
    case 0: return HERR_NONE;
    case ENOENT:
    case ENOTDIR: return HERR_NO_FILE;
    case EBADF: return HERR_BAD_HANDLE;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EWOULDBLOCK:  // a lock held by another open
      return HERR_ACCESS;
    case EEXIST: return HERR_EXISTS;
    case EMFILE:
    case ENFILE: return HERR_TOO_MANY;
    case ENOSPC:
    case EDQUOT: return HERR_DISK_FULL;
    default: return HERR_INVALID;
  }
}

void HandleTable::reset() {
  for (int32_t b = 0; b < block_count; ++b) {
    for (int32_t i = 0; i < HANDLE_BLOCK; ++i) {
      const HandleEntry& e = blocks[b][i];
      if ((e.flags & HANDLE_OPEN) && b * HANDLE_BLOCK + i >= 3) close(e.fd);
    }
    std::free(blocks[b]);
    blocks[b] = nullptr;
  }
  block_count = 0;
}

bool handles_init() {
  handle_table.reset();
  handle_errors.reset();
  // A write to a pipe without reader fails with EPIPE instead of ending the process.
  std::signal(SIGPIPE, SIG_IGN);
  if (!add_block()) return false;
  for (int fd = 0; fd < 3; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int null_fd = open("/dev/null", O_RDWR);  // takes the lowest free number: fd
      if (null_fd != fd && null_fd >= 0) close(null_fd);
    }
    slot(fd) = HandleEntry{fd, STANDARD_FLAGS | kind_flags(fd)};
  }
  return true;
}

void handles_release() { handle_table.reset(); }

int32_t handle_enter(int fd) {
  const int32_t h = free_handle();
  if (h < 0) return fail(EMFILE);
  const int access = fcntl(fd, F_GETFL);
  uint32_t flags = HANDLE_OPEN | kind_flags(fd);
  if (access != -1 && (access & O_ACCMODE) != O_RDONLY) flags |= HANDLE_WRITABLE;
  slot(h) = HandleEntry{fd, flags};
  return h;
}

int32_t file_open(const char* name, int32_t flags, int32_t share, int32_t mode) {
  if (name == nullptr) return fail(EINVAL);
  const int32_t h = free_handle();
  if (h < 0) return fail(EMFILE);

  int oflags = 0;
  bool writing = true;
  switch (flags & OPEN_ACCESS_MASK) {
    case OPEN_READ:
      oflags = O_RDONLY;
      writing = false;
      break;
    case OPEN_WRITE: oflags = O_WRONLY; break;
    case OPEN_READWRITE: oflags = O_RDWR; break;
    default: return fail(EINVAL);
  }
  if (flags & OPEN_CREATE) oflags |= O_CREAT;
  if (flags & OPEN_EXCLUSIVE) oflags |= O_EXCL;
  if (flags & OPEN_TRUNCATE) oflags |= O_TRUNC;
  if (flags & OPEN_APPEND) oflags |= O_APPEND;
  if (writing && read_only_file(name)) return fail(EACCES);

  const mode_t permissions = mode != 0 ? static_cast<mode_t>(mode) : 0666;
  int fd;
  do {
    fd = open(name, oflags, permissions);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return fail(errno);

  struct stat st;
  const int err = fstat(fd, &st) != 0 ? errno : (S_ISDIR(st.st_mode) ? EISDIR : 0);
  if (err != 0) {
    close(fd);
    return fail(err);
  }
  const int lock = lock_for_share(share);
  if (lock != 0 && flock(fd, lock | LOCK_NB) != 0) {
    const int err = errno;
    close(fd);
    return fail(err);
  }
  uint32_t entry_flags = HANDLE_OPEN | kind_flags(fd);
  if (writing) entry_flags |= HANDLE_WRITABLE;
  if (flags & OPEN_TEXT) entry_flags |= HANDLE_TEXT;
  slot(h) = HandleEntry{fd, entry_flags};
  return h;
}

int32_t file_read(int32_t h, void* buffer, int32_t n) {
  HandleEntry* e = open_entry(h);
  if (e == nullptr) return fail_bad_handle();
  if (n <= 0) return 0;
  for (;;) {
    const ssize_t r = read(e->fd, buffer, static_cast<size_t>(n));
    if (r >= 0) return static_cast<int32_t>(r);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) {
      wait_ready(e->fd, POLLIN);
      continue;
    }
    if (errno == EPIPE) return 0;  // a broken pipe is the end of the input
    return fail(errno);
  }
}

int32_t file_write(int32_t h, const void* bytes, int32_t n) {
  HandleEntry* e = open_entry(h);
  if (e == nullptr) return fail_bad_handle();
  if (n <= 0) return 0;
  if (!(e->flags & HANDLE_WRITABLE)) {
    fail(EBADF);
    handle_errors.last_errno = HERR_ACCESS;  // opened for reading only: refused
    return 0;
  }
  const auto* p = static_cast<const char*>(bytes);
  int32_t done = 0;
  while (done < n) {
    const ssize_t r = write(e->fd, p + done, static_cast<size_t>(n - done));
    if (r > 0) {
      done += static_cast<int32_t>(r);
    } else if (r < 0 && errno == EINTR) {
      continue;
    } else if (r < 0 && errno == EAGAIN) {
      wait_ready(e->fd, POLLOUT);
    } else {
      fail(r < 0 ? errno : EIO);
      break;
    }
  }
  return done;
}

int32_t file_seek(int32_t h, int32_t offset, int32_t origin) {
  HandleEntry* e = open_entry(h);
  if (e == nullptr) return fail_bad_handle();
  int whence;
  switch (origin) {
    case SEEK_FROM_START: whence = SEEK_SET; break;
    case SEEK_FROM_CURRENT: whence = SEEK_CUR; break;
    case SEEK_FROM_END: whence = SEEK_END; break;
    default: return fail(EINVAL);
  }
  const off_t r = lseek(e->fd, offset, whence);
  if (r < 0) return fail(errno);
  if (r > INT32_MAX) return fail(EOVERFLOW);
  return static_cast<int32_t>(r);
}

int32_t file_set_size(int32_t h, int32_t size) {
  HandleEntry* e = open_entry(h);
  if (e == nullptr) return fail_bad_handle();
  if (size < 0) return fail(EINVAL);
  const off_t position = lseek(e->fd, 0, SEEK_CUR);
  if (position < 0) return fail(errno);
  struct stat st;
  if (fstat(e->fd, &st) != 0) return fail(errno);
  if (st.st_size == size) return 0;
  if (!(e->flags & HANDLE_WRITABLE)) {
    fail(EBADF);
    handle_errors.last_errno = HERR_ACCESS;
    return -1;
  }
  int32_t result = 0;
  if (size < st.st_size) {
    int r;
    do {
      r = ftruncate(e->fd, size);
    } while (r != 0 && errno == EINTR);
    if (r != 0) result = fail(errno);
  } else if (lseek(e->fd, 0, SEEK_END) < 0) {
    result = fail(errno);
  } else {
    static const char zeros[ZERO_PIECE] = {};
    off_t missing = size - st.st_size;
    while (missing > 0) {
      const int32_t piece = missing < ZERO_PIECE ? static_cast<int32_t>(missing) : ZERO_PIECE;
      const int32_t written = file_write(h, zeros, piece);
      if (written < piece) {
        result = -1;  // file_write has set the error
        break;
      }
      missing -= piece;
    }
  }
  if (lseek(e->fd, position, SEEK_SET) < 0 && result == 0) result = fail(errno);
  return result;
}

int32_t file_close(int32_t h) {
  HandleEntry* e = open_entry(h);
  if (e == nullptr) return fail_bad_handle();
  if (h < 3) return 0;  // the standard handles stay with the process
  const int fd = e->fd;
  *e = HandleEntry{-1, 0};
  // The descriptor is gone after close whatever it answers, so it is never retried.
  if (close(fd) != 0 && errno != EINTR) return fail(errno);
  return 0;
}

int32_t file_delete(const char* name) {
  if (name == nullptr) return fail(EINVAL);
  if (unlink(name) != 0) return fail(errno);
  return 0;
}

int32_t file_exists(const char* name, int32_t write) {
  if (name == nullptr) return fail(EINVAL);
  struct stat st;
  if (stat(name, &st) != 0) return fail(errno);
  if (write == 2) {
    if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      return fail(EACCES);
    }
    if (access(name, W_OK) != 0) return fail(errno);
  }
  return 0;
}

int32_t file_temp_name(char* name) {
  if (name == nullptr) return fail(EINVAL);
  const size_t length = std::strlen(name);
  if (length < 6 || std::strspn(name + length - 6, "X") != 6) return fail(EINVAL);
  char* place = name + length - 6;
  int32_t digits = static_cast<int32_t>(getpid() % 100000);
  for (int i = 5; i >= 1; --i) {
    place[i] = static_cast<char>('0' + digits % 10);
    digits /= 10;
  }
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    place[0] = letter;
    struct stat st;
    // A name that exists, or that cannot be examined, is passed over.
    if (lstat(name, &st) != 0 && errno == ENOENT) return 0;
  }
  return fail(EEXIST);
}

int32_t file_is_device(int32_t h) {
  HandleEntry* e = open_entry(h);
  return (e != nullptr && (e->flags & HANDLE_DEVICE)) ? 1 : 0;
}

int32_t file_is_pipe(int32_t h) {
  HandleEntry* e = open_entry(h);
  return (e != nullptr && (e->flags & HANDLE_PIPE)) ? 1 : 0;
}

int32_t file_set_binary(int32_t h, int32_t mode) {
  HandleEntry* e = open_entry(h);
  if (e == nullptr) return fail_bad_handle();
  const int32_t previous = (e->flags & HANDLE_TEXT) ? MODE_TEXT : MODE_BINARY;
  if (mode == MODE_TEXT) {
    e->flags |= HANDLE_TEXT;
  } else if (mode == MODE_BINARY) {
    e->flags &= ~HANDLE_TEXT;
  } else {
    return fail(EINVAL);
  }
  return previous;
}

int32_t raw_read(int32_t h, void* buffer, int32_t n) {
  if (h != 0) return file_read(h, buffer, n);
  const int32_t previous = file_set_binary(h, MODE_BINARY);
  const int32_t r = file_read(h, buffer, n);
  if (previous == MODE_TEXT) file_set_binary(h, MODE_TEXT);
  return r;
}

int32_t raw_write(int32_t h, const void* bytes, int32_t n) {
  if (h != 1 && h != 2) return file_write(h, bytes, n);
  const int32_t previous = file_set_binary(h, MODE_BINARY);
  const int32_t r = file_write(h, bytes, n);
  if (previous == MODE_TEXT) file_set_binary(h, MODE_TEXT);
  return r;
}

}  // namespace rtlib
