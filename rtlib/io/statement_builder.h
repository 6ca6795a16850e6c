// The statement builder: turns begin, item and end calls into an IoControlList and hands
// it to the executor. It keeps copies of character output values for the life of their
// WRITE, grows the list buffer and saves the state of enclosing WRITE statements.
#pragma once

#include <cstdint>

namespace rtlib {

struct FormatProgram;

inline constexpr int32_t LIST_INITIAL_SIZE = 20000;
inline constexpr int32_t LIST_GROWTH = 20000;
inline constexpr int32_t LIST_RESERVE = 1000;
inline constexpr int32_t NEST_SLOTS = 12;

struct TempCopy {
  TempCopy* next;
  char* data;
};

struct SavedStatement {
  int32_t list_len = 0;
  uint8_t* list_copy = nullptr;
  FormatProgram* format = nullptr;
  int32_t read_pending = 0;
  int32_t list_cap = 0;
  int32_t close_disposition = 0;
  TempCopy* temps_head = nullptr;  // the enclosing statement's copies, freed at its end
  TempCopy* temps_tail = nullptr;
};

struct StatementState {
  uint8_t* list = nullptr;
  int32_t list_len = 0;
  int32_t list_cap = 0;
  int32_t list_alloc = 0;  // bytes actually allocated for list
  FormatProgram* format = nullptr;
  int32_t read_pending = 0;
  int32_t io_status = 0;
  int32_t in_transfer = 1;
  TempCopy* temps_head = nullptr;
  TempCopy* temps_tail = nullptr;
  int32_t nest_depth = 0;
  int32_t close_disposition = 0;
  SavedStatement saved[NEST_SLOTS + 1];  // slots 1 to 12
  void reset();
};

extern StatementState statement_state;

// Allocates the list buffer (start-up); frees it and every copy (exit).
void statement_state_init();
void statement_state_release();

}  // namespace rtlib
