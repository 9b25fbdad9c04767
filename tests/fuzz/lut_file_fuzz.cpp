// Look-up table files: any bytes read as a 12-bit or a 14-bit table, by the standard pages and
// by the Ky 29C page, either fail and leave the table exactly as it was, or give a table whose
// outputs are grey values and whose written file reads back to the same table.
#include <string_view>

#include "editors/lut_file.h"
#include "tests/fuzz/fuzz_check.h"

using namespace kelpax;

namespace {

void readAs(std::string_view text, LutType type, LutFileDialect dialect) {
  LutTable table(type);
  // Something other than the identity, so that a half-replaced table shows.
  for (int input = 0; input < table.size(); ++input)
    table[size_t(input)] = uint16_t((input * 7 + 3) % int(kLutOutputCount));
  const LutTable before = table;
  const LutFileLoad load = readLutText(text, table, dialect);
  if (!load.ok) {
    FUZZ_CHECK(table == before);
    FUZZ_CHECK(!load.message.empty());
    return;
  }
  FUZZ_CHECK(table.type() == type);
  FUZZ_CHECK(load.inputsRead >= table.size() - 1 && load.inputsRead <= table.size());
  for (uint16_t output : table.values())
    FUZZ_CHECK(output <= kLutMaxOutput);

  LutTable again(type);
  const LutFileLoad reread = readLutText(lutFileText(table), again, dialect);
  FUZZ_CHECK(reread.ok);
  FUZZ_CHECK(again == table);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  readAs(text, LutType::Bits12, LutFileDialect::Standard);
  readAs(text, LutType::Bits12, LutFileDialect::Ky29C);
  readAs(text, LutType::Bits14, LutFileDialect::Ky29C);
  return 0;
}
