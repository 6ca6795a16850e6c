// Report texts of the statement kinds.
#include "rtlib/io/statement_kind.h"

namespace rtlib {

const char* statement_kind_text(StatementKind kind) {
  static constexpr const char* TEXTS[] = {
      ": (",
      ": CLOSE(",
      ": WRITE(",
      ": ENDFILE(",
      ": INQUIRE(",
      ": LOCKING(",
      ": OPEN(",
      ": READ(",
      ": REWIND(",
      ": BACKSPACE(",
      ": EOF(",
      ": $DEBUG\r\n- ",
      ": ALLOCATE\r\n- ",
      ": DEALLOCATE\r\n- ",
      ": BEGINTHREAD\r\n-",
      ": MATH\r\n- ",
      "\r\n- ",
      ": WINDOW\r\n- ",
  };
  auto index = static_cast<int32_t>(kind);
  if (index < 0 || index > 17) return TEXTS[0];
  return TEXTS[index];
}

}  // namespace rtlib
