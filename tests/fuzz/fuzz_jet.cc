// The Access reader on damaged files: a copy of a sound Access file, changed as the input says,
// must be read whole or refused with an error naming it; never a crash or a hang. libmdb itself
// may crash on the copy: it runs in its own program, and that crash must come back as an error.
//
// Input: a first byte, which with its high bit set truncates the copy to (low bits + 3) pages;
// then groups of four bytes, a 24-bit offset (modulo the file's size) and the byte written there.
// The sound file is a public sample kept outside the repository; without it the target does
// nothing.

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "data/errore.h"
#include "data/jet.h"
#include "tests/fuzz/cartella_fuzz.h"

namespace {

namespace fs = std::filesystem;

void Guasto(const std::string& cosa) {
  std::fprintf(stderr, "GUASTO: %s\n", cosa.c_str());
  std::abort();
}

std::string LeggiFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int Conta(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  int n = -1;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW) {
    n = sqlite3_column_int(st, 0);
  }
  sqlite3_finalize(st);
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t dimensione) {
  static const std::string originale =
      LeggiFile(fs::path(VENDRIX_SHARED_DIR) / "jet" / "DateTestDatabase.mdb");
  static const fs::path copia = CartellaFuzz("jet") / "Danneggiato.mdb";
  if (originale.size() < 3 * 4096) return 0;

  std::string file = originale;
  if (dimensione > 0 && (dati[0] & 0x80)) {
    file.resize(std::min(file.size(), ((dati[0] & 0x7Fu) + 3) * size_t{4096}));
  }
  for (size_t i = 1; i + 4 <= dimensione && i < 1 + 4 * 256; i += 4) {
    const size_t dove =
        (size_t{dati[i]} | size_t{dati[i + 1]} << 8 | size_t{dati[i + 2]} << 16) % file.size();
    file[dove] = static_cast<char>(dati[i + 3]);
  }
  {
    std::ofstream out(copia, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
  }

  vendrix::jet::Limiti limiti;
  limiti.secondi_senza_dati = 5;
  try {
    vendrix::jet::Copia letta(copia.string(), limiti);
    sqlite3* db = nullptr;
    sqlite3_open_v2(letta.Percorso().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (Conta(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'") < 0) {
      Guasto("la copia letta non si interroga");
    }
    sqlite3_close(db);
  } catch (const vendrix::Errore& e) {
    const std::string m = e.what();
    if (m.find(copia.string()) == std::string::npos) Guasto("l'errore non nomina il file: " + m);
  }
  return 0;
}
