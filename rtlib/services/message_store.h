// The packed message store: its token format, the compile-time packer that builds it from
// the readable message table, the decoder that assembles one message again, and a dump
// that shows a packed message token by token. The packer, the decoder, the tests and the
// dump all work from the definitions here; nobody writes packed bytes by hand.
//
// Tokens (16 bits each). Message n starts after the n-th terminator (end or jump token),
// counting from token 0:
//   0x0000-0x7FFF  a word: the byte offset of the word in the dictionary
//   0x8000         end of the message
//   0x9000 | i     jump: the message goes on with token i (messages share their endings)
//   0xA000         text placeholder      %s
//   0xC000         integer placeholder   %d
//   0xD000         character placeholder %c
//   any other      read as a word offset (the packer never writes one)
//
// Dictionary: the words stand back to back; the first byte of each word has its high bit
// set (the word's first character is that byte without the bit) and the word goes on up to
// the next byte that has the high bit set.
//
// Assembly: a blank goes between two tokens, except in front of a word whose first
// character is a comma or a blank: such a word is joined to the token before it. So
// "D, E" is the tokens "D" "," "E", and a double blank is a word that begins with a blank.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace rtlib {

inline constexpr uint16_t MESSAGE_END = 0x8000;
inline constexpr uint16_t MESSAGE_JUMP = 0x9000;
inline constexpr uint16_t MESSAGE_TEXT_ARG = 0xA000;
inline constexpr uint16_t MESSAGE_INTEGER_ARG = 0xC000;
inline constexpr uint16_t MESSAGE_CHAR_ARG = 0xD000;
inline constexpr uint16_t MESSAGE_KIND_MASK = 0xF000;
inline constexpr uint16_t MESSAGE_INDEX_MASK = 0x0FFF;
inline constexpr uint8_t WORD_START_BIT = 0x80;

// Room for one assembled message, NUL included.
inline constexpr int32_t MESSAGE_BUFFER_SIZE = 1000;

// One row of a readable message table: the code and its text.
struct MessageEntry {
  int32_t code;
  const char* text;
};

// A view of a packed store.
struct MessageStore {
  const uint8_t* dictionary;
  int32_t dictionary_size;
  const uint16_t* tokens;
  int32_t token_count;
};

// The store of the library's messages (packed from message_table.h).
const MessageStore& message_store();

// Where message_text assembles its answer.
struct MessageBuffer {
  char text[MESSAGE_BUFFER_SIZE];
  void reset() { text[0] = '\0'; }
};

extern MessageBuffer message_buffer;

// ---- Decoding ------------------------------------------------------------------------

constexpr bool is_jump_token(uint16_t token) { return (token & MESSAGE_KIND_MASK) == MESSAGE_JUMP; }

constexpr bool ends_message(uint16_t token) { return token == MESSAGE_END || is_jump_token(token); }

// "%s", "%d" or "%c" for a placeholder token, else null.
constexpr const char* placeholder_text(uint16_t token) {
  switch (token & MESSAGE_KIND_MASK) {
    case MESSAGE_TEXT_ARG: return "%s";
    case MESSAGE_INTEGER_ARG: return "%d";
    case MESSAGE_CHAR_ARG: return "%c";
    default: return nullptr;
  }
}

// Length of the dictionary word at offset, or 0 when no word starts there.
constexpr int32_t word_length(const MessageStore& store, int32_t offset) {
  if (offset < 0 || offset >= store.dictionary_size) return 0;
  if ((store.dictionary[offset] & WORD_START_BIT) == 0) return 0;
  int32_t end = offset + 1;
  while (end < store.dictionary_size && (store.dictionary[end] & WORD_START_BIT) == 0) ++end;
  return end - offset;
}

constexpr char word_char(const MessageStore& store, int32_t offset, int32_t k) {
  return static_cast<char>(store.dictionary[offset + k] & ~WORD_START_BIT);
}

// Index of the first token of message code, or -1 when the store holds no such message.
constexpr int32_t message_start(const MessageStore& store, int32_t code) {
  if (code < 0) return -1;
  int32_t pos = 0;
  for (int32_t skipped = 0; skipped < code; ++pos) {
    if (pos >= store.token_count) return -1;
    if (ends_message(store.tokens[pos])) ++skipped;
  }
  return pos < store.token_count ? pos : -1;
}

// Assembles message code into out (capacity bytes, NUL included; a longer text is cut) and
// answers its length, or -1 (and an empty text) when the store holds no such message.
// A malformed store (a word offset where no word starts, a jump out of range or a loop)
// ends the text early instead of reading out of bounds.
constexpr int32_t assemble_message(const MessageStore& store, int32_t code, char* out,
                                   int32_t capacity) {
  if (capacity <= 0) return -1;
  out[0] = '\0';
  int32_t pos = message_start(store, code);
  if (pos < 0) return -1;
  int32_t length = 0;
  auto append = [&](char c) {
    if (length < capacity - 1) out[length++] = c;
  };
  bool first = true;
  // Every token is visited at most once unless the store loops; bound the walk by that.
  for (int32_t steps = 0; steps < store.token_count && pos < store.token_count; ++steps) {
    uint16_t token = store.tokens[pos];
    if (token == MESSAGE_END) break;
    if (is_jump_token(token)) {
      pos = token & MESSAGE_INDEX_MASK;
      continue;
    }
    if (const char* placeholder = placeholder_text(token)) {
      if (!first) append(' ');
      append(placeholder[0]);
      append(placeholder[1]);
    } else {
      int32_t n = word_length(store, token);
      if (n == 0) break;
      char lead = word_char(store, token, 0);
      if (!first && lead != ',' && lead != ' ') append(' ');
      for (int32_t k = 0; k < n; ++k) append(word_char(store, token, k));
    }
    first = false;
    ++pos;
  }
  out[length] = '\0';
  return length;
}

// ---- Packing (compile time) ----------------------------------------------------------

namespace message_packing {

inline constexpr int32_t MAX_DICTIONARY = 8192;  // word offsets must stay below 0x8000
inline constexpr int32_t MAX_TOKENS = 4096;      // a jump holds a 12-bit token index
inline constexpr int32_t MAX_WORDS = 1024;
inline constexpr int32_t MAX_MESSAGE_TOKENS = 32;

constexpr bool joins_previous(char c) { return c == ' ' || c == ','; }

// Packing stops the build (a throw during constant evaluation) when a text cannot be
// stored: the compiler shows the call with the reason, which names the rule the text breaks.
constexpr void refuse(const char* reason) {
  if (reason != nullptr) throw reason;
}

template <size_t N>
struct Packer {
  uint8_t dictionary[MAX_DICTIONARY] = {};
  int32_t dictionary_size = 0;
  int32_t word_offsets[MAX_WORDS] = {};
  int32_t word_lengths[MAX_WORDS] = {};
  int32_t word_count = 0;
  uint16_t tokens[MAX_TOKENS] = {};
  int32_t token_count = 0;
  // Every packed message as its full token sequence, and the token index each of those
  // tokens is read from (after jumps): the candidates for a shared ending.
  uint16_t sequence[N][MAX_MESSAGE_TOKENS] = {};
  uint16_t position[N][MAX_MESSAGE_TOKENS] = {};
  int32_t sequence_length[N] = {};

  constexpr uint16_t word_token(const char* word, int32_t length) {
    if (length == 2 && word[0] == '%') {
      if (word[1] == 's') return MESSAGE_TEXT_ARG;
      if (word[1] == 'd') return MESSAGE_INTEGER_ARG;
      if (word[1] == 'c') return MESSAGE_CHAR_ARG;
    }
    for (int32_t k = 0; k < length; ++k) {
      if (word[k] == '%') refuse("a placeholder must be a word of its own: %s, %d or %c");
      if (static_cast<unsigned char>(word[k]) >= WORD_START_BIT) refuse("not a 7-bit character");
    }
    for (int32_t w = 0; w < word_count; ++w) {
      if (word_lengths[w] != length) continue;
      int32_t at = word_offsets[w];
      bool same = true;
      for (int32_t k = 0; k < length && same; ++k) {
        same = static_cast<char>(dictionary[at + k] & ~WORD_START_BIT) == word[k];
      }
      if (same) return static_cast<uint16_t>(at);
    }
    if (word_count == MAX_WORDS || dictionary_size + length > MAX_DICTIONARY) {
      refuse("dictionary full");
    }
    int32_t at = dictionary_size;
    word_offsets[word_count] = at;
    word_lengths[word_count] = length;
    ++word_count;
    dictionary[at] = static_cast<uint8_t>(word[0] | WORD_START_BIT);
    for (int32_t k = 1; k < length; ++k) dictionary[at + k] = static_cast<uint8_t>(word[k]);
    dictionary_size += length;
    return static_cast<uint16_t>(at);
  }

  // Splits text into tokens. A word runs up to the next blank or comma. One blank between
  // two words is the separator that assembly puts back; a comma, or a blank followed by a
  // blank, a comma or the end, begins a word of its own that is joined to the one before.
  constexpr int32_t tokenize(const char* text, uint16_t* out) {
    int32_t n = 0;
    while (text[n] != '\0') ++n;
    int32_t count = 0;
    int32_t pos = 0;
    while (pos < n) {
      int32_t start = pos++;
      while (pos < n && !joins_previous(text[pos])) ++pos;
      if (count == MAX_MESSAGE_TOKENS) refuse("message has too many words");
      out[count++] = word_token(text + start, pos - start);
      if (pos + 1 < n && text[pos] == ' ' && !joins_previous(text[pos + 1])) ++pos;
    }
    return count;
  }

  constexpr void emit(uint16_t token) {
    if (token_count == MAX_TOKENS) refuse("too many tokens for 12-bit jumps");
    tokens[token_count++] = token;
  }

  // Packs message index: its own tokens, then a jump into the longest ending it shares
  // with an earlier message, or the end token when it shares none.
  constexpr void add_message(int32_t index, const char* text) {
    uint16_t words[MAX_MESSAGE_TOKENS] = {};
    int32_t length = tokenize(text, words);
    int32_t shared = 0;
    int32_t source = -1;
    for (int32_t j = 0; j < index; ++j) {
      int32_t other = sequence_length[j];
      int32_t k = 0;
      while (k < length && k < other && words[length - 1 - k] == sequence[j][other - 1 - k]) ++k;
      if (k > shared) {
        shared = k;
        source = j;
      }
    }
    int32_t own = length - shared;
    for (int32_t k = 0; k < length; ++k) sequence[index][k] = words[k];
    sequence_length[index] = length;
    for (int32_t k = 0; k < own; ++k) {
      position[index][k] = static_cast<uint16_t>(token_count);
      emit(words[k]);
    }
    if (shared == 0) {
      emit(MESSAGE_END);
      return;
    }
    int32_t from = sequence_length[source] - shared;
    for (int32_t k = 0; k < shared; ++k) position[index][own + k] = position[source][from + k];
    emit(static_cast<uint16_t>(MESSAGE_JUMP | position[source][from]));
  }

  constexpr void pack(const MessageEntry (&table)[N]) {
    for (size_t i = 0; i < N; ++i) {
      if (table[i].code != static_cast<int32_t>(i)) refuse("table rows must run 0, 1, 2, ...");
      add_message(static_cast<int32_t>(i), table[i].text);
    }
  }
};

struct PackedSize {
  int32_t dictionary_size;
  int32_t token_count;
};

}  // namespace message_packing

// The packed form, sized exactly.
template <int32_t DICTIONARY_SIZE, int32_t TOKEN_COUNT>
struct PackedMessages {
  std::array<uint8_t, DICTIONARY_SIZE> dictionary{};
  std::array<uint16_t, TOKEN_COUNT> tokens{};

  constexpr MessageStore view() const {
    return {dictionary.data(), DICTIONARY_SIZE, tokens.data(), TOKEN_COUNT};
  }
};

// The sizes that packing table gives: the template arguments of pack_messages.
template <size_t N>
constexpr message_packing::PackedSize measure_messages(const MessageEntry (&table)[N]) {
  message_packing::Packer<N> packer;
  packer.pack(table);
  return {packer.dictionary_size, packer.token_count};
}

// Packs table (rows for codes 0 to N-1). Use at compile time:
//   constexpr auto SIZE = measure_messages(TABLE);
//   constexpr auto PACKED = pack_messages<SIZE.dictionary_size, SIZE.token_count>(TABLE);
template <int32_t DICTIONARY_SIZE, int32_t TOKEN_COUNT, size_t N>
constexpr PackedMessages<DICTIONARY_SIZE, TOKEN_COUNT> pack_messages(
    const MessageEntry (&table)[N]) {
  message_packing::Packer<N> packer;
  packer.pack(table);
  if (packer.dictionary_size != DICTIONARY_SIZE || packer.token_count != TOKEN_COUNT) {
    message_packing::refuse("sizes differ from measure_messages");
  }
  PackedMessages<DICTIONARY_SIZE, TOKEN_COUNT> packed;
  for (int32_t k = 0; k < DICTIONARY_SIZE; ++k) packed.dictionary[k] = packer.dictionary[k];
  for (int32_t k = 0; k < TOKEN_COUNT; ++k) packed.tokens[k] = packer.tokens[k];
  return packed;
}

// True when every message of store assembles to the text of its table row.
template <size_t N>
constexpr bool store_matches_table(const MessageStore& store, const MessageEntry (&table)[N]) {
  char text[MESSAGE_BUFFER_SIZE] = {};
  for (size_t i = 0; i < N; ++i) {
    int32_t length = assemble_message(store, static_cast<int32_t>(i), text, MESSAGE_BUFFER_SIZE);
    if (length < 0) return false;
    const char* expected = table[i].text;
    for (int32_t k = 0; k <= length; ++k) {
      if (text[k] != expected[k]) return false;
    }
  }
  return true;
}

// ---- Dump ----------------------------------------------------------------------------

// One message token by token, for tests and debugging, for example
//   154 @499: "SUM:" -> @490 "DIM" "argument" %d "is" "greater" "than" "rank" %d end
inline std::string dump_message(const MessageStore& store, int32_t code) {
  std::string out = std::to_string(code);
  int32_t pos = message_start(store, code);
  if (pos < 0) return out + " missing";
  out += " @" + std::to_string(pos) + ":";
  for (int32_t steps = 0; steps < store.token_count && pos < store.token_count; ++steps) {
    uint16_t token = store.tokens[pos];
    if (token == MESSAGE_END) return out + " end";
    if (is_jump_token(token)) {
      pos = token & MESSAGE_INDEX_MASK;
      out += " -> @" + std::to_string(pos);
      continue;
    }
    if (const char* placeholder = placeholder_text(token)) {
      out += std::string(" ") + placeholder;
    } else if (int32_t n = word_length(store, token); n > 0) {
      out += " \"";
      for (int32_t k = 0; k < n; ++k) out += word_char(store, token, k);
      out += "\"";
    } else {
      return out + " bad-word@" + std::to_string(token);
    }
    ++pos;
  }
  return out + " unterminated";
}

}  // namespace rtlib
