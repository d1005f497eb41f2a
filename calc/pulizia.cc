#include "calc/pulizia.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "data/errore.h"
#include "data/tabelle.h"

namespace vendrix {

namespace {

bool Utf8Valido(const std::string& testo) {
  size_t i = 0;
  while (i < testo.size()) {
    const auto c = static_cast<unsigned char>(testo[i]);
    int seguito;
    uint32_t codice;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      seguito = 1;
      codice = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      seguito = 2;
      codice = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      seguito = 3;
      codice = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(seguito) >= testo.size()) return false;
    for (int k = 1; k <= seguito; ++k) {
      const auto s = static_cast<unsigned char>(testo[i + k]);
      if ((s & 0xC0) != 0x80) return false;
      codice = (codice << 6) | (s & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if ((seguito == 2 && codice < 0x800) || (seguito == 3 && codice < 0x10000) ||
        (codice >= 0xD800 && codice <= 0xDFFF) || codice > 0x10FFFF) {
      return false;
    }
    i += seguito + 1;
  }
  return true;
}

void AggiungiUtf8(std::string& testo, uint32_t codice) {
  if (codice < 0x80) {
    testo.push_back(static_cast<char>(codice));
  } else if (codice < 0x800) {
    testo.push_back(static_cast<char>(0xC0 | (codice >> 6)));
    testo.push_back(static_cast<char>(0x80 | (codice & 0x3F)));
  } else {
    testo.push_back(static_cast<char>(0xE0 | (codice >> 12)));
    testo.push_back(static_cast<char>(0x80 | ((codice >> 6) & 0x3F)));
    testo.push_back(static_cast<char>(0x80 | (codice & 0x3F)));
  }
}

// Windows-1252 to UTF-8. The five codes that 1252 leaves undefined keep their C1 code points.
std::string Da1252(const std::string& testo) {
  static constexpr uint16_t k80[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string risultato;
  risultato.reserve(testo.size() * 2);
  for (char ch : testo) {
    const auto c = static_cast<unsigned char>(ch);
    AggiungiUtf8(risultato, c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : c);
  }
  return risultato;
}

// Appends the plain decimal digits of `n`.
void AggiungiNumero(std::string& testo, int64_t n) {
  char cifre[24];
  const auto [fine, errore] = std::to_chars(cifre, cifre + sizeof cifre, n);
  testo.append(cifre, fine);
}

}  // namespace

std::vector<std::string> LeggiFiltri(const std::string& percorso) {
  std::error_code errore;
  if (!std::filesystem::is_regular_file(percorso, errore)) return {};
  std::ifstream file(percorso, std::ios::binary);
  if (!file) throw Errore("Impossibile leggere il file dei filtri " + percorso + ".");
  std::string testo((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw Errore("Impossibile leggere il file dei filtri " + percorso + ".");
  if (!Utf8Valido(testo)) {
    testo = Da1252(testo);
  } else if (testo.rfind("\xEF\xBB\xBF", 0) == 0) {
    testo.erase(0, 3);
  }

  std::vector<std::string> filtri;
  size_t inizio = 0;
  bool prima = true;
  while (inizio < testo.size()) {
    size_t fine = testo.find_first_of("\r\n", inizio);
    if (fine == std::string::npos) fine = testo.size();
    std::string riga = testo.substr(inizio, fine - inizio);
    inizio = fine;
    if (inizio < testo.size()) {
      inizio +=
          (testo[inizio] == '\r' && inizio + 1 < testo.size() && testo[inizio + 1] == '\n') ? 2 : 1;
    }
    if (prima && riga.empty()) return {};  // an empty first line turns the clean-up off
    prima = false;
    if (!riga.empty()) filtri.push_back(std::move(riga));
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
  auto righe = db->OpenRecordset(tabelle::kVendrix, dbOpenDynaset);
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
          righe->Update(dbUpdateRegular, false);
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
