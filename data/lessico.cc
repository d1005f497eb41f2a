#include "data/lessico.h"

namespace vendrix::engine_detail {

size_t LeggiTestoTraApici(std::string_view testo, size_t p, std::string& valore) {
  const char apice = testo[p];
  valore.clear();
  for (size_t q = p + 1; q < testo.size(); ++q) {
    if (testo[q] != apice) {
      valore += testo[q];
    } else if (q + 1 < testo.size() && testo[q + 1] == apice) {
      valore += apice;
      ++q;
    } else {
      return q + 1;
    }
  }
  return std::string_view::npos;
}

}  // namespace vendrix::engine_detail
