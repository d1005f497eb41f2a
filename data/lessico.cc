#include "data/lessico.h"

namespace vendrix::engine_detail {

std::string DescriviGuasto(std::string_view testo, const Lessema& l) {
  switch (l.guasto) {
    case Lessema::kApiceAperto:
      return "testo tra apici non chiuso";
    case Lessema::kNomeAperto:
      return "nome tra parentesi quadre non chiuso";
    case Lessema::kNomeVuoto:
      return "nome vuoto tra parentesi quadre";
    case Lessema::kNumeroMalformato:
      return "numero non valido '" + std::string(testo.substr(l.inizio, l.fine - l.inizio)) + "'";
    case Lessema::kData:
      return "le date tra # non sono gestite";
    case Lessema::kCarattere:
      break;
  }
  return "carattere non ammesso '" + std::string(1, testo[l.inizio]) + "'";
}

}  // namespace vendrix::engine_detail
