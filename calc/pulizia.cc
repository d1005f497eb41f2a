#include "calc/pulizia.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "comune/file_testo.h"
#include "data/errore.h"
#include "data/tabelle.h"

namespace vendrix {

namespace {

// Appends the plain decimal digits of `n`.
void AggiungiNumero(std::string& testo, int64_t n) {
  char cifre[24];
  const auto [fine, errore] = std::to_chars(cifre, cifre + sizeof cifre, n);
  testo.append(cifre, fine);
}

}  // namespace

std::vector<std::string> LeggiFiltri(const std::string& percorso) {
  const FileTesto file = LeggiFileTesto(percorso);
  if (!file.presente) return {};
  if (file.errore) throw Errore(*file.errore);
  std::vector<std::string> filtri;
  for (size_t i = 0; i < file.righe.size(); ++i) {
    if (i == 0 && file.righe[i].empty()) return {};  // an empty first line turns the clean-up off
    if (!file.righe[i].empty()) filtri.push_back(file.righe[i]);
  }
  return filtri;
}

bool AgenziaDaPulire(std::string_view agenzia, const std::vector<std::string>& filtri) {
  for (const std::string& filtro : filtri) {
    if (agenzia.find(filtro) != std::string_view::npos) return true;
  }
  return false;
}

void PulisciAgenzie(DBEngine& motore, const std::string& percorso_statistiche, LineaStato& linea) {
  const std::vector<std::string> filtri = LeggiFiltri((motore.Cartella() / tabelle::kFileFiltro).string());
  if (filtri.empty()) return;

  auto db = motore.OpenDatabase(percorso_statistiche);
  db->BeginTrans();
  auto righe = db->OpenRecordset(tabelle::kVendrix);
  const int campo = righe->IndiceCampo(tabelle::kAgenzia);  // read on every row
  const std::string kTutte = "NumeroHotel = 1";
  righe->FindFirst(kTutte);
  if (!righe->NoMatch()) {
    righe->MoveLast();
    const int64_t totale = righe->RecordCount() - 1;
    const std::string di = " di " + std::to_string(totale);
    int64_t i = 0;
    std::string progresso;
    righe->FindFirst(kTutte);
    while (!righe->NoMatch()) {
      progresso.assign("Pulizia record n. ");
      AggiungiNumero(progresso, i);
      progresso += di;
      linea.Imposta(progresso);
      Valore agenzia = righe->Fields(campo).Value();
      if (!agenzia.IsNull()) {
        if (agenzia.Tipo() != TipoValore::kTesto) agenzia = Valore(agenzia.Testo());
        if (AgenziaDaPulire(agenzia.ComeTesto(), filtri)) {
          righe->Edit();
          righe->Fields(campo) = Valore(" ");
          righe->Update();
        }
      }
      ++i;
      righe->FindNext(kTutte);
    }
  }
  db->CommitTrans();
  righe->Close();
  db->Close();
}

}  // namespace vendrix
