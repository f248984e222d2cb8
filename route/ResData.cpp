#include "route/ResData.h"

// Bounds of the tables that ccTLD_data.S assembles into the program.
extern "C" const char tarvo_ccTLD_begin[];
extern "C" const char tarvo_ccTLD_end[];
extern "C" const char tarvo_ccTLD6_begin[];
extern "C" const char tarvo_ccTLD6_end[];

namespace tarvo {

std::unique_ptr<TMemoryStream> TResData::GetDataStream() const {
  auto s = std::make_unique<TMemoryStream>(std::string(data_));
  s->SetPosition(0);
  return s;
}

const TResData& ccTDL() {
  static const TResData component = [] {
    TResData c(std::string_view(tarvo_ccTLD_begin, static_cast<std::size_t>(tarvo_ccTLD_end - tarvo_ccTLD_begin)));
    c.SetFileName("ccTLD.bin");
    return c;
  }();
  return component;
}

const TResData& ccTDL6() {
  static const TResData component = [] {
    TResData c(std::string_view(tarvo_ccTLD6_begin, static_cast<std::size_t>(tarvo_ccTLD6_end - tarvo_ccTLD6_begin)));
    c.SetFileName("ccTLD6.bin");
    return c;
  }();
  return component;
}

}  // namespace tarvo
