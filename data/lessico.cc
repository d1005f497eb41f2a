#include "data/lessico.h"

namespace vendrix::engine_detail {

std::string DescriviGuasto(std::string_view testo, const Lessema& l) {
  static constexpr const char* kGuasti[] = {
      "testo tra apici non chiuso",      "nome tra parentesi quadre non chiuso",
      "nome vuoto tra parentesi quadre", "numero non valido",
      "le date tra # non sono gestite",  "carattere non ammesso"};
  const std::string cosa = kGuasti[l.guasto];
  if (l.guasto == Lessema::kNumeroMalformato) {
    return cosa + " '" + std::string(testo.substr(l.inizio, l.fine - l.inizio)) + "'";
  }
  if (l.guasto == Lessema::kCarattere) return cosa + " '" + testo[l.inizio] + "'";
  return cosa;
}

}  // namespace vendrix::engine_detail
