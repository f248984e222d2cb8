#include "route/EmbeddedTable.h"

// Bounds of the tables that ccTLD_data.S assembles into the program.
extern "C" const char tarvo_ccTLD_begin[];
extern "C" const char tarvo_ccTLD_end[];
extern "C" const char tarvo_ccTLD6_begin[];
extern "C" const char tarvo_ccTLD6_end[];

namespace tarvo {

std::unique_ptr<TMemoryStream> TEmbeddedTable::GetDataStream() const {
  auto s = std::make_unique<TMemoryStream>(std::string(data_));
  s->SetPosition(0);
  return s;
}

const TEmbeddedTable& IPv4RangeTable() {
  static const TEmbeddedTable table = [] {
    TEmbeddedTable c(std::string_view(tarvo_ccTLD_begin, static_cast<std::size_t>(tarvo_ccTLD_end - tarvo_ccTLD_begin)));
    c.SetFileName("ccTLD.bin");
    return c;
  }();
  return table;
}

const TEmbeddedTable& IPv6RangeTable() {
  static const TEmbeddedTable table = [] {
    TEmbeddedTable c(std::string_view(tarvo_ccTLD6_begin, static_cast<std::size_t>(tarvo_ccTLD6_end - tarvo_ccTLD6_begin)));
    c.SetFileName("ccTLD6.bin");
    return c;
  }();
  return table;
}

}  // namespace tarvo
