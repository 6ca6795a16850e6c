// Tests of the message store: the number table, the packed store against the readable
// table, the packing rules (joined words, shared endings, placeholders) on a small store of
// its own, and the decoder's behaviour on damaged stores.
#include "rtlib/services/messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "rtlib/services/errors.h"
#include "rtlib/services/message_store.h"
#include "rtlib/services/message_table.h"

namespace rtlib {
namespace {

std::string assemble(const MessageStore& store, int32_t code) {
  char text[MESSAGE_BUFFER_SIZE];
  assemble_message(store, code, text, MESSAGE_BUFFER_SIZE);
  return text;
}

// The printf conversions of a text in order, for example "%d%d".
std::string conversions(const char* text) {
  std::string out;
  for (const char* p = std::strchr(text, '%'); p != nullptr; p = std::strchr(p + 2, '%')) {
    out += std::string(p, p[1] == '\0' ? 1 : 2);
    if (p[1] == '\0') break;
  }
  return out;
}

TEST(MessagesNumberTable, RangeBoundaries) {
  struct Case {
    int32_t code;
    int32_t value;
  };
  const Case cases[] = {
      {0, 96},   {10, 106}, {11, 200}, {25, 214}, {26, 300},  {45, 319},  {46, 400},
      {71, 425}, {72, 500}, {73, 501}, {88, 516}, {89, 600},  {91, 602},  {92, 700},
      {93, 701}, {94, 970}, {96, 972}, {97, 980}, {116, 999}, {117, 702}, {219, 804},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(error_table_value(c.code), c.value) << "code " << c.code;
  }
}

TEST(MessagesNumberTable, CodesOutsideTheTableShowAsUnknown) {
  for (int32_t code : {-3, -2, -1, 220, 100000}) {
    EXPECT_EQ(error_table_value(code), 0) << "code " << code;
    error_state.current_error_number = 77;
    EXPECT_STREQ(message_text(code), "unknown error") << "code " << code;
    EXPECT_EQ(error_state.current_error_number, 0) << "code " << code;
  }
}

TEST(MessagesStore, EveryMessageAssemblesToItsTableText) {
  const MessageStore& store = message_store();
  for (int32_t code = 0; code < MESSAGE_CODE_COUNT; ++code) {
    ASSERT_EQ(MESSAGE_TABLE[code].code, code);
    EXPECT_EQ(assemble(store, code), MESSAGE_TABLE[code].text)
        << "code " << code << ": " << dump_message(store, code);
  }
  EXPECT_EQ(message_start(store, MESSAGE_CODE_COUNT), -1) << "no message after the last code";
}

TEST(MessagesStore, MessageTextSetsTheCurrentErrorNumber) {
  for (int32_t code = 0; code < MESSAGE_CODE_COUNT; ++code) {
    error_state.current_error_number = -1;
    EXPECT_STREQ(message_text(code), MESSAGE_TABLE[code].text) << "code " << code;
    EXPECT_EQ(error_state.current_error_number, error_table_value(code)) << "code " << code;
  }
}

TEST(MessagesStore, EveryMessageIsShownAfterTheDash) {
  for (int32_t code = 0; code < MESSAGE_CODE_COUNT; ++code) {
    std::string text = MESSAGE_TABLE[code].text;
    ASSERT_FALSE(text.empty()) << "code " << code;
    EXPECT_NE(text.front(), ' ') << "code " << code;
    EXPECT_NE(text.back(), ' ') << "code " << code;
  }
}

// The raisers pass printf arguments only for the reductions (DIM, and the rank when DIM is
// too large); any other placeholder would read an argument that is not there.
TEST(MessagesStore, PlaceholdersOnlyWhereTheRaiserPassesValues) {
  struct Case {
    int32_t code;
    const char* conversions;
  };
  const Case expected[] = {{152, "%d"}, {153, "%d%d"}, {154, "%d%d"}, {157, "%d"}};
  for (int32_t code = 0; code < MESSAGE_CODE_COUNT; ++code) {
    std::string want;
    for (const Case& c : expected) {
      if (c.code == code) want = c.conversions;
    }
    EXPECT_EQ(conversions(message_text(code)), want) << "code " << code;
  }
}

TEST(MessagesStore, ReductionMessagesFormatTheirArguments) {
  struct Case {
    int32_t code;
    int32_t dim;
    int32_t rank;
    const char* shown;
  };
  const Case cases[] = {
      {152, 0, 0, "PRODUCT: DIM argument 0 is less than 1"},
      {153, 3, 2, "PRODUCT: DIM argument 3 is greater than rank 2"},
      {154, 3, 2, "SUM: DIM argument 3 is greater than rank 2"},
      {157, -1, 0, "SUM: DIM argument -1 is less than 1"},
  };
  for (const Case& c : cases) {
    char shown[200];
    std::snprintf(shown, sizeof shown, message_text(c.code), c.dim, c.rank);
    EXPECT_STREQ(shown, c.shown) << "code " << c.code;
  }
}

TEST(MessagesStore, SharedEndingsUseJumps) {
  const MessageStore& store = message_store();
  int32_t jumps = 0;
  for (int32_t k = 0; k < store.token_count; ++k) jumps += is_jump_token(store.tokens[k]);
  EXPECT_GT(jumps, 0);
  // SUM's message goes on with the ending of PRODUCT's; a repeated text is one jump.
  EXPECT_NE(dump_message(store, 154).find("->"), std::string::npos) << dump_message(store, 154);
  int32_t repeated = message_start(store, 12);  // "unknown error", as code 2
  ASSERT_GE(repeated, 0);
  EXPECT_TRUE(is_jump_token(store.tokens[repeated])) << dump_message(store, 12);
}

TEST(MessagesStore, CommaWordsAreJoined) {
  const MessageStore& store = message_store();
  std::string dump = dump_message(store, 17);
  EXPECT_NE(dump.find("\"D\" \",\" \"E\""), std::string::npos) << dump;
  EXPECT_EQ(assemble(store, 17), "REAL item requires D, E, F or G edit descriptor");
}

TEST(MessagesStore, LongTextIsCutAndTerminated) {
  const MessageStore& store = message_store();
  char text[10];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(assemble_message(store, 17, text, sizeof text), 9);
  EXPECT_STREQ(text, "REAL item");
}

// A small store of its own for the packing rules.
constexpr MessageEntry SAMPLE[] = {
    {0, "a, b"},          {1, "x,y"},    {2, "two  blanks"},
    {3, " lead"},         {4, "trail "}, {5, "value %d, name %s, mark %c"},
    {6, "mark %c"},       {7, ""},       {8, "first mark %c"},
    {9, "first mark %c"},
};
constexpr auto SAMPLE_SIZE = measure_messages(SAMPLE);
constexpr auto SAMPLE_PACKED =
    pack_messages<SAMPLE_SIZE.dictionary_size, SAMPLE_SIZE.token_count>(SAMPLE);
constexpr MessageStore SAMPLE_STORE = SAMPLE_PACKED.view();
static_assert(store_matches_table(SAMPLE_STORE, SAMPLE));

TEST(MessagesPacking, TokensOfEachText) {
  struct Case {
    int32_t code;
    const char* dump;
  };
  const Case cases[] = {
      {0, "0 @0: \"a\" \",\" \"b\" end"},
      {1, "1 @4: \"x\" \",y\" end"},
      {2, "2 @7: \"two\" \" \" \"blanks\" end"},
      {3, "3 @11: \" lead\" end"},
      {4, "4 @13: \"trail\" \" \" end"},
      {5, "5 @16: \"value\" %d \",\" \"name\" %s \",\" \"mark\" %c end"},
      {6, "6 @25: -> @22 \"mark\" %c end"},
      {7, "7 @26: end"},
      {8, "8 @27: \"first\" -> @22 \"mark\" %c end"},
      {9, "9 @29: -> @27 \"first\" -> @22 \"mark\" %c end"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dump_message(SAMPLE_STORE, c.code), c.dump);
    EXPECT_EQ(assemble(SAMPLE_STORE, c.code), SAMPLE[c.code].text) << "code " << c.code;
  }
  EXPECT_EQ(SAMPLE_STORE.token_count, 30);
}

TEST(MessagesPacking, DictionaryHoldsEachWordOnce) {
  // a , b x ,y two " " blanks " lead" trail value name mark first
  std::string dictionary;
  for (int32_t k = 0; k < SAMPLE_STORE.dictionary_size; ++k) {
    uint8_t byte = SAMPLE_STORE.dictionary[k];
    if (byte & WORD_START_BIT) dictionary += '|';
    dictionary += static_cast<char>(byte & ~WORD_START_BIT);
  }
  EXPECT_EQ(dictionary, "|a|,|b|x|,y|two| |blanks| lead|trail|value|name|mark|first");
}

TEST(MessagesPacking, PlaceholdersRoundTripThroughPrintf) {
  char shown[100];
  std::snprintf(shown, sizeof shown, assemble(SAMPLE_STORE, 5).c_str(), -42, "CON", 'q');
  EXPECT_STREQ(shown, "value -42, name CON, mark q");
}

// The decoder never reads outside a damaged store and always terminates its text.
TEST(MessagesDecoding, DamagedStores) {
  static constexpr uint8_t DICTIONARY[] = {0x80 | 'a', 'b', 0x80 | 'c'};
  struct Case {
    const char* name;
    std::vector<uint16_t> tokens;
    int32_t code;
    int32_t length;
    const char* text;
  };
  const Case cases[] = {
      {"jump to itself", {0x9000}, 0, 0, ""},
      {"word then jump back", {0x0000, 0x9000}, 0, 2, "ab"},
      {"jump out of range", {0x9FFF}, 0, 0, ""},
      {"offset past dictionary", {0x0005, MESSAGE_END}, 0, 0, ""},
      {"offset inside a word", {0x0001, MESSAGE_END}, 0, 0, ""},
      {"token 0x8001 read as a word", {0x0002, 0x8001, MESSAGE_END}, 0, 1, "c"},
      {"no end token", {0x0002, 0x0000}, 0, 4, "c ab"},
      {"code past the last message", {0x0000, MESSAGE_END}, 1, -1, ""},
      {"negative code", {0x0000, MESSAGE_END}, -1, -1, ""},
      {"empty store", {}, 0, -1, ""},
  };
  for (const Case& c : cases) {
    MessageStore store{DICTIONARY, 3, c.tokens.data(), static_cast<int32_t>(c.tokens.size())};
    char text[8];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(assemble_message(store, c.code, text, sizeof text), c.length) << c.name;
    EXPECT_STREQ(text, c.text) << c.name;
  }
}

}  // namespace
}  // namespace rtlib
