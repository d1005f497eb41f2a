#include "comune/segmenti.h"

#include <algorithm>

#include "comune/file_testo.h"
#include "comune/testo.h"

namespace vendrix {

Segmenti Segmenti::Leggi(const std::filesystem::path& cartella_hotel) {
  Segmenti segmenti;
  const FileTesto file = LeggiFileTesto(cartella_hotel / kFileSegmenti);
  if (!file.presente) return segmenti;
  if (file.errore) {
    segmenti.errore_ = file.errore;
    return segmenti;
  }
  segmenti.altre_ = kSegmentoAltreAgenzie;
  segmenti.elenco_ = {kSegmentoDiretto};
  for (const std::string& riga : file.righe) {
    const size_t tab = riga.find('\t');
    if (tab == std::string::npos) continue;
    const std::string_view testo = SenzaSpazi(std::string_view(riga).substr(0, tab));
    const std::string_view segmento = SenzaSpazi(std::string_view(riga).substr(tab + 1));
    if (testo.empty() || segmento.empty()) continue;
    segmenti.regole_.push_back({std::string(testo), std::string(segmento)});
    auto& elenco = segmenti.elenco_;
    if (std::find(elenco.begin(), elenco.end(), segmento) == elenco.end()) {
      elenco.emplace_back(segmento);
    }
  }
  auto& elenco = segmenti.elenco_;
  if (std::find(elenco.begin(), elenco.end(), kSegmentoAltreAgenzie) == elenco.end()) {
    elenco.emplace_back(kSegmentoAltreAgenzie);
  }
  return segmenti;
}

const std::string& Segmenti::Di(const std::optional<std::string_view>& agenzia) const {
  if (!agenzia || agenzia->find_first_not_of(' ') == std::string_view::npos) return diretto_;
  for (const Regola& regola : regole_) {
    if (agenzia->find(regola.testo) != std::string_view::npos) return regola.segmento;
  }
  return altre_;
}

}  // namespace vendrix
