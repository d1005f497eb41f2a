#ifndef VENDRIX_DATA_JET_LETTORE_H_
#define VENDRIX_DATA_JET_LETTORE_H_

// Internal to the Access reader. libmdb trusts the file it reads: a damaged page can make it read
// out of bounds, crash or loop. So the file is read by a program of its own, vendrix-lettore-jet
// (CopiaDatabase, the only code that calls libmdb), which writes every user table into a new
// SQLite file; the caller (jet.cc) checks that file and copies it into the engine. A crash or a
// hang of the reader becomes an error naming the file.
//
// The reader is started as `vendrix-lettore-jet FILE COPY BYTES`: it caps its memory at BYTES
// beyond what it starts with, writes the tables of the Access file FILE into the SQLite file
// COPY, prints libmdb's complaints on its standard output and error, and tells how it goes on
// descriptor kDescrittoreFlusso: one kAvanzamento a page read, then kFine once COPY is whole,
// or kErrore followed by the reason (UTF-8) when FILE is not readable, or kErroreCopia followed
// by SQLite's when COPY cannot be written.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vendrix::jet::detail {

enum Messaggio : char {
  kAvanzamento = 'P',
  kErrore = 'E',
  kErroreCopia = 'C',
  kFine = 'Z',
};

// Kind of a column, and so its declared SQLite type (TipoDichiarato).
enum Genere : uint8_t {
  kBooleano = 1,  // BOOLEAN, 0/1
  kIntero16 = 2,  // SMALLINT: Jet Byte and Integer
  kIntero32 = 3,  // INTEGER: Jet Long
  kValuta = 4,    // CURRENCY, the REAL nearest to the exact four-decimal amount
  kDoppio = 5,    // DOUBLE: Jet Single, Double, Decimal
  kData = 6,      // DATETIME, days since 30/12/1899
  kTesto = 7,     // VARCHAR(size)
  kMemo = 8,      // TEXT
  kBinario = 9,   // BLOB: OLE objects, binary fields, unknown kinds
};

// The declared type of a column of kind `genere`, which the engine reads back as that kind.
inline std::string TipoDichiarato(Genere genere, uint32_t dimensione) {
  static constexpr const char* kTipi[] = {"",       "BOOLEAN",  "SMALLINT", "INTEGER", "CURRENCY",
                                          "DOUBLE", "DATETIME", "VARCHAR",  "TEXT",    "BLOB"};
  if (genere == kTesto) return "VARCHAR(" + std::to_string(dimensione) + ")";
  return kTipi[genere];
}

constexpr const char* kNomeLettore = "vendrix-lettore-jet";
constexpr int kDescrittoreFlusso = 3;

// Limits of a sound file, which the caller checks the copy against.
constexpr uint32_t kMaxNome = 1024;        // bytes of a table or column name
constexpr uint32_t kMaxColonne = 255;      // columns of a Jet table
constexpr uint32_t kMaxTabelle = 32768;    // tables of a file
constexpr uint32_t kMaxValore = 1u << 30;  // bytes of one memo or OLE value

// Access allows no control characters in the names of tables and columns: a name with one was
// read from a damaged page (or written by a spoilt reader).
inline bool NomeAccettabile(std::string_view nome) {
  return !nome.empty() && nome.size() <= kMaxNome &&
         std::none_of(nome.begin(), nome.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// Reads the Access file at `percorso` with libmdb, writes its tables into the new SQLite file
// `copia` and tells how it went on `fd`, as above. Runs in the reader program only. Returns its
// exit code; never throws.
int CopiaDatabase(const char* percorso, const char* copia, int fd) noexcept;

// Caps the memory the calling process may still take at `byte` beyond what it has now, so that
// libmdb looping on a damaged file fails an allocation instead of exhausting the machine.
void LimitaMemoria(std::size_t byte) noexcept;

}  // namespace vendrix::jet::detail

#endif  // VENDRIX_DATA_JET_LETTORE_H_
