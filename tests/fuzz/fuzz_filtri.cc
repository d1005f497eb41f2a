// The reader of the agency filter file: any bytes give the file's lines, none empty, none holding
// a line end, all valid UTF-8, or a refusal naming the file when they are not text; a file
// already in UTF-8 gives exactly its non-empty lines.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "calc/pulizia.h"
#include "data/errore.h"
#include "tests/fuzz/cartella_fuzz.h"

namespace {

namespace fs = std::filesystem;

void Guasto(const std::string& cosa) {
  std::fprintf(stderr, "GUASTO: %s\n", cosa.c_str());
  std::abort();
}

bool Utf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      n = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3F);
    }
    static constexpr uint32_t kMinimo[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimo[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return false;
    i += n + 1;
  }
  return true;
}

// The filters of a UTF-8 text, found another way: every line end made one LF, then split.
std::vector<std::string> Righe(std::string testo) {
  if (testo.rfind("\xEF\xBB\xBF", 0) == 0) testo.erase(0, 3);
  std::string uniforme;
  for (size_t i = 0; i < testo.size(); ++i) {
    if (testo[i] != '\r') {
      uniforme += testo[i];
      continue;
    }
    uniforme += '\n';
    if (i + 1 < testo.size() && testo[i + 1] == '\n') ++i;
  }
  std::vector<std::string> parti;
  for (size_t inizio = 0;;) {
    const size_t fine = uniforme.find('\n', inizio);
    parti.push_back(uniforme.substr(inizio, fine - inizio));
    if (fine == std::string::npos) break;
    inizio = fine + 1;
  }
  std::vector<std::string> righe;
  if (parti[0].empty()) return righe;  // an empty first line: no filters at all
  for (std::string& p : parti) {
    if (!p.empty()) righe.push_back(std::move(p));
  }
  return righe;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t dimensione) {
  static const fs::path file = CartellaFuzz("filtri") / "VendrixFiltro.txt";
  const std::string testo(reinterpret_cast<const char*>(dati), dimensione);
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(testo.data(), static_cast<std::streamsize>(testo.size()));
  }
  std::vector<std::string> filtri;
  try {
    filtri = vendrix::LeggiFiltri(file.string());
  } catch (const vendrix::Errore& e) {
    // Only bytes that are not text are refused, with a message that names the file.
    const std::string m = e.what();
    if (m.find(file.string()) == std::string::npos) Guasto("il rifiuto non nomina il file: " + m);
    if (Utf8(testo) && testo.find('\0') == std::string::npos) Guasto("testo UTF-8 rifiutato");
    return 0;
  }
  for (const std::string& f : filtri) {
    if (f.empty()) Guasto("un filtro vuoto");
    if (f.find_first_of("\r\n") != std::string::npos) Guasto("un filtro contiene un a capo");
    if (!Utf8(f)) Guasto("un filtro non è UTF-8 valido");
  }
  if (Utf8(testo) && filtri != Righe(testo)) Guasto("le righe lette non sono quelle del file");
  return 0;
}
