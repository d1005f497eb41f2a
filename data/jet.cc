// Reading the hotel suite's Access files. The file is read by the program vendrix-lettore-jet,
// which copies its tables into a SQLite file of a private temporary folder. This side trusts
// that copy no more than any file from outside: it checks its schema, its tables' declarations
// and every value against its column's kind before the engine may open it. Whatever the child
// does on a damaged file (crash, endless loop, nonsense), the program gets an Errore naming the
// file, and the copy goes with its folder.

#include "data/jet.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "comune/testo.h"
#include "data/cartella_temporanea.h"
#include "data/errore.h"
#include "data/file_normale.h"
#include "data/jet_figlio.h"
#include "data/jet_lettore.h"
#include "data/sqlite_motore.h"

namespace vendrix::jet {
namespace {

using namespace detail;
using figlio::Figlio;
using figlio::LetturaFallita;

// Memory the reading process may take: libmdb's own structures are small, the largest value is
// smaller than the file, and the margin covers the allocator.
size_t MemoriaLettura(size_t dimensione_file) { return (size_t{512} << 20) + 4 * dimensione_file; }

std::string Danneggiato(const std::string& percorso, const std::string& dettaglio) {
  return "Il file '" + percorso + "' è danneggiato o non è un database Access leggibile (" +
         dettaglio + "). Ripararlo con Access (Compatta e ripristina) o usarne una copia integra.";
}

// Reads the first bytes of the file at `percorso` into `testa`, and its size; returns how many
// were read, -1 when the file cannot be opened.
ssize_t LeggiTesta(const std::string& percorso, unsigned char (&testa)[0x20], size_t* dimensione) {
  int fd = ApriFileNormale(percorso);
  if (fd < 0) return -1;
  struct stat st {};
  ssize_t letti =
      fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? pread(fd, testa, sizeof testa, 0) : 0;
  close(fd);
  *dimensione = static_cast<size_t>(st.st_size);
  return letti;
}

// True when the first 20 bytes are those of an Access database (Jet 3, Jet 4 or ACE).
bool TestaJet(const unsigned char* testa) {
  return std::memcmp(testa, "\x00\x01\x00\x00", 4) == 0 &&
         (std::memcmp(testa + 4, "Standard Jet DB", 16) == 0 ||
          std::memcmp(testa + 4, "Standard ACE DB", 16) == 0);
}

// Page size of the file's format, from its header. Jet 3 uses 2 KB pages, Jet 4 and ACE 4 KB.
size_t ControllaFile(const std::string& percorso, size_t* dimensione) {
  unsigned char testa[0x20] = {};
  const ssize_t letti = LeggiTesta(percorso, testa, dimensione);
  if (letti < 0) {
    const TipoFile tipo = TipoDiFile(percorso);
    throw Errore("Impossibile aprire il file '" + percorso + "': " +
                 (tipo != TipoFile::kNormale ? MotivoFileNonLeggibile(tipo)
                                             : std::string("il file non si può leggere")));
  }
  if (letti != static_cast<ssize_t>(sizeof testa) || !TestaJet(testa)) {
    throw Errore("Il file '" + percorso + "' non è un database Access");
  }
  const unsigned versione = testa[0x14];
  if (versione > 6) {
    throw Errore("Il file '" + percorso +
                 "' è in un formato Access più recente di quelli che il programma sa leggere. "
                 "Salvarlo con Access nel formato 2000-2003 (.mdb).");
  }
  const size_t pagina = versione == 0 ? 2048 : 4096;
  // The catalog of tables lies on page 2; a file is always a whole number of pages.
  if (*dimensione < 3 * pagina || *dimensione % pagina != 0) {
    throw Errore(Danneggiato(percorso, "il file è troncato"));
  }
  return pagina;
}

bool NomeValido(std::string_view nome) { return NomeAccettabile(nome) && Utf8Valido(nome); }

// The copy holds what a sound reader could not have written.
struct Incoerente {};

// The kind of a column declared `dichiarato`, or 0 when no column of the reader's is so declared.
Genere GenereDichiarato(const std::string& dichiarato, uint32_t* dimensione) {
  *dimensione = 0;
  if (dichiarato.starts_with("VARCHAR(") && dichiarato.ends_with(")")) {
    const std::string cifre = dichiarato.substr(8, dichiarato.size() - 9);
    if (cifre.empty() || cifre.size() > 5 || cifre[0] == '0' ||
        cifre.find_first_not_of("0123456789") != std::string::npos || std::stoul(cifre) > 65535) {
      return Genere{0};
    }
    *dimensione = static_cast<uint32_t>(std::stoul(cifre));
    return kTesto;
  }
  for (uint8_t g = kBooleano; g <= kBinario; ++g) {
    if (g != kTesto && TipoDichiarato(Genere{g}, 0) == dichiarato) return Genere{g};
  }
  return Genere{0};
}

// True when the value at column `i` of the row of `st` is one a column of kind `genere` holds:
// texts within `max_testo` bytes and valid UTF-8, bytes within `max_byte`.
bool ValoreAmmesso(sqlite3_stmt* st, int i, Genere genere, size_t max_testo, size_t max_byte) {
  const int tipo = sqlite3_column_type(st, i);
  const int64_t n = tipo == SQLITE_INTEGER ? sqlite3_column_int64(st, i) : 0;
  switch (genere) {
    case kBooleano:
      return tipo == SQLITE_INTEGER && (n == 0 || n == 1);
    case kIntero16:
      return tipo == SQLITE_NULL || (tipo == SQLITE_INTEGER && n >= INT16_MIN && n <= INT16_MAX);
    case kIntero32:
      return tipo == SQLITE_NULL || (tipo == SQLITE_INTEGER && n >= INT32_MIN && n <= INT32_MAX);
    case kValuta:
    case kDoppio:
    case kData:
      return tipo == SQLITE_NULL || tipo == SQLITE_FLOAT || tipo == SQLITE_INTEGER;
    case kTesto:
    case kMemo: {
      if (tipo == SQLITE_NULL) return true;
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      const auto byte = static_cast<size_t>(sqlite3_column_bytes(st, i));
      return tipo == SQLITE_TEXT && byte <= max_testo && Utf8Valido(std::string_view(p, byte));
    }
    case kBinario:
      return tipo == SQLITE_NULL ||
             (tipo == SQLITE_BLOB && static_cast<size_t>(sqlite3_column_bytes(st, i)) <= max_byte);
  }
  return false;
}

// One query on the copy, stepped by `riga` for each row; false when it cannot be run.
template <typename F>
bool PerOgniRiga(sqlite3* db, const std::string& sql, F riga) {
  engine_detail::Istruzione i;  // finalized also when `riga` throws
  bool riuscita = sqlite3_prepare_v2(db, sql.c_str(), -1, &i.st, nullptr) == SQLITE_OK;
  int esito = SQLITE_DONE;
  while (riuscita && (esito = sqlite3_step(i.st)) == SQLITE_ROW) riga(i.st);
  return riuscita && esito == SQLITE_DONE;
}

std::string Testo(sqlite3_stmt* st, int i) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
  return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(st, i))) : std::string();
}

// Checks the table `nome` of the copy: declared as the reader declares its tables, every value
// of its column's kind. Throws Incoerente.
void ControllaTabella(sqlite3* copia, const std::string& nome, const std::string& sql,
                      size_t dimensione_file) {
  std::vector<Genere> generi;
  std::string attesa = "CREATE TABLE " + QuotaNome(nome) + " (";
  const bool letta =
      PerOgniRiga(copia, "SELECT name, type FROM pragma_table_info(" + Quota(nome) + ")",
                  [&](sqlite3_stmt* st) {
                    const std::string colonna = Testo(st, 0);
                    uint32_t dimensione = 0;
                    const Genere genere = GenereDichiarato(Testo(st, 1), &dimensione);
                    if (!NomeValido(colonna) || genere == 0) throw Incoerente();
                    attesa += (generi.empty() ? "" : ", ") + QuotaNome(colonna) + " " +
                              TipoDichiarato(genere, dimensione);
                    generi.push_back(genere);
                  });
  if (!letta || generi.empty() || generi.size() > kMaxColonne || attesa + ")" != sql) {
    throw Incoerente();
  }
  const size_t max_testo = std::min<size_t>(kMaxValore, 3 * dimensione_file + 64);
  const size_t max_byte = std::min<size_t>(kMaxValore, dimensione_file);
  if (!PerOgniRiga(copia, "SELECT * FROM " + QuotaNome(nome), [&](sqlite3_stmt* st) {
        for (size_t i = 0; i < generi.size(); ++i) {
          if (!ValoreAmmesso(st, static_cast<int>(i), generi[i], max_testo, max_byte)) {
            throw Incoerente();
          }
        }
      })) {
    throw Incoerente();
  }
}

// Checks the copy the child wrote at `percorso`, opened read-only with SQLite's defences against
// a crafted file: its schema, then every row of each table (a damaged page is found on the way).
// Throws Incoerente.
void ControllaCopia(const std::string& percorso, size_t dimensione_file) {
  sqlite3* db = nullptr;
  const int aperta = sqlite3_open_v2(percorso.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  try {
    if (aperta != SQLITE_OK) throw Incoerente();
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_exec(db, "PRAGMA trusted_schema = OFF; PRAGMA cell_size_check = ON", nullptr, nullptr,
                 nullptr);
    std::vector<std::pair<std::string, std::string>> tabelle;
    if (!PerOgniRiga(db, "SELECT type, name, sql FROM sqlite_schema",
                     [&](sqlite3_stmt* st) {
                       if (Testo(st, 0) != "table" || !NomeValido(Testo(st, 1))) throw Incoerente();
                       tabelle.emplace_back(Testo(st, 1), Testo(st, 2));
                     }) ||
        tabelle.size() > kMaxTabelle) {
      throw Incoerente();
    }
    for (const auto& [nome, sql] : tabelle) ControllaTabella(db, nome, sql, dimensione_file);
  } catch (...) {
    sqlite3_close_v2(db);
    throw;
  }
  sqlite3_close_v2(db);
}

// Waits for the child to end, reading what it tells; returns once the copy is whole. Throws
// LetturaFallita when the child found the file damaged or stopped before its end, Errore when it
// could not write the copy.
void Ascolta(Figlio& figlio, const std::string& percorso) {
  std::string esito;  // what the child told after its pages
  char blocco[4096];
  for (size_t n; (n = figlio.Leggi(blocco, sizeof blocco)) > 0;) {
    for (size_t i = 0; i < n; ++i) {
      if (esito.empty() && blocco[i] == kAvanzamento) continue;
      if (esito.size() > 4 * kMaxNome)
        throw LetturaFallita{"la libreria di lettura ha prodotto dati incoerenti"};
      esito += blocco[i];
    }
  }
  std::string fine = figlio.Fine();
  if (esito.empty() || !fine.empty()) {
    const std::string diagnostica = figlio.Diagnostica();
    throw LetturaFallita{(fine.empty() ? "la lettura si è fermata prima della fine" : fine) +
                         (diagnostica.empty() ? "" : "; libmdb: " + diagnostica)};
  }
  const std::string dettaglio = esito.substr(1);
  if (esito[0] == kFine && dettaglio.empty()) {
    // Pages past the end were read as empty: the tables are whole, but the file is not.
    if (figlio.OltreLaFine()) {
      throw LetturaFallita{"il file è troncato: mancano pagine a cui il file rimanda"};
    }
    return;
  }
  if (!Utf8Valido(dettaglio) || (esito[0] != kErrore && esito[0] != kErroreCopia)) {
    throw LetturaFallita{"la libreria di lettura ha prodotto dati incoerenti"};
  }
  if (esito[0] == kErrore) throw LetturaFallita{dettaglio};
  throw Errore("Impossibile copiare il database Access '" + percorso + "': " + dettaglio);
}

}  // namespace

bool EFileJet(const std::string& percorso) {
  unsigned char testa[0x20] = {};
  size_t dimensione = 0;
  return LeggiTesta(percorso, testa, &dimensione) >= 20 && TestaJet(testa);
}

Copia::Copia(const std::string& percorso, const Limiti& limiti,
             const std::filesystem::path& riserva)
    : cartella_(riserva), percorso_(cartella_.Percorso() / "copia.db") {
  size_t dimensione = 0;
  ControllaFile(percorso, &dimensione);
  try {
    Figlio figlio(percorso, percorso_.string(), MemoriaLettura(dimensione),
                  limiti.secondi_senza_dati);
    Ascolta(figlio, percorso);
    ControllaCopia(percorso_.string(), dimensione);
  } catch (const Incoerente&) {
    throw Errore(Danneggiato(percorso, "la libreria di lettura ha prodotto dati incoerenti"));
  } catch (const LetturaFallita& f) {
    throw Errore(Danneggiato(percorso, f.dettaglio));
  }
}

}  // namespace vendrix::jet
