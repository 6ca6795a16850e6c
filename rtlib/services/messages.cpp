// The message store of the run-time errors: the number table that turns an error code into
// the number a report shows, and the assembly of a code's message from the packed store.
// raise_error calls message_text once per raise; the store is packed at compile time from
// the readable table in message_table.h.
#include "rtlib/services/messages.h"

#include "rtlib/services/errors.h"
#include "rtlib/services/message_store.h"
#include "rtlib/services/message_table.h"

namespace rtlib {

namespace {

static_assert(sizeof(MESSAGE_TABLE) / sizeof(MESSAGE_TABLE[0]) == MESSAGE_CODE_COUNT,
              "one message per error code");

constexpr auto PACKED_SIZE = measure_messages(MESSAGE_TABLE);
constexpr auto PACKED =
    pack_messages<PACKED_SIZE.dictionary_size, PACKED_SIZE.token_count>(MESSAGE_TABLE);
constexpr MessageStore STORE = PACKED.view();

static_assert(store_matches_table(STORE, MESSAGE_TABLE),
              "every packed message assembles to its table text");

// The number table by ranges: codes from first_code on take values from first_value on,
// one more per code, up to the next range.
struct NumberRange {
  int32_t first_code;
  int32_t first_value;
};

constexpr NumberRange NUMBER_RANGES[] = {
    {0, 96},   {11, 200}, {26, 300}, {46, 400}, {72, 500},
    {89, 600}, {92, 700}, {94, 970}, {97, 980}, {117, 702},
};

// Shown for a code outside 0..219, which only a fault in the library can raise: the report
// still says something sensible and its number (6000) belongs to no real error.
constexpr int32_t UNKNOWN_CODE_VALUE = 0;
constexpr char UNKNOWN_CODE_TEXT[] = "unknown error";

}  // namespace

MessageBuffer message_buffer;

const MessageStore& message_store() { return STORE; }

int32_t error_table_value(int32_t code) {
  if (code < 0 || code >= MESSAGE_CODE_COUNT) return UNKNOWN_CODE_VALUE;
  const NumberRange* range = &NUMBER_RANGES[0];
  for (const NumberRange& r : NUMBER_RANGES) {
    if (r.first_code <= code) range = &r;
  }
  return range->first_value + (code - range->first_code);
}

const char* message_text(int32_t code) {
  error_state.current_error_number = error_table_value(code);
  if (assemble_message(STORE, code, message_buffer.text, MESSAGE_BUFFER_SIZE) < 0) {
    static_assert(sizeof(UNKNOWN_CODE_TEXT) <= MESSAGE_BUFFER_SIZE);
    for (size_t k = 0; k < sizeof(UNKNOWN_CODE_TEXT); ++k) {
      message_buffer.text[k] = UNKNOWN_CODE_TEXT[k];
    }
  }
  return message_buffer.text;
}

}  // namespace rtlib
