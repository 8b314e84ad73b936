// The database writer's statement from pos: whatever the text, a statement is either not built
// or has the form the parameters rely on: the text before the last "values", " VALUES(", one
// "@name" per column name without blanks around it, ")".
#include "bench/fuzz/fuzz_support.h"
#include "output/database_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> names;
  const std::string pos(tarvex::fuzz::AsText(data, size));
  const std::string statement = tarvex::output::BuildInsertStatement(pos, names);
  if (statement.empty()) return 0;
  std::string markers;
  for (const std::string& name : names) {
    if (!name.empty() && (name.front() == ' ' || name.back() == ' ')) __builtin_trap();
    markers += (markers.empty() ? "@" : ",@") + name;
  }
  const std::string tail = " VALUES(" + markers + ")";
  if (!statement.ends_with(tail)) __builtin_trap();
  if (pos.compare(0, statement.size() - tail.size(), statement, 0,
                  statement.size() - tail.size()) != 0) {
    __builtin_trap();
  }
  return 0;
}
