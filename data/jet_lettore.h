#ifndef VENDRIX_DATA_JET_LETTORE_H_
#define VENDRIX_DATA_JET_LETTORE_H_

// Internal to the Access reader. libmdb trusts the file it reads: a damaged page can make it read
// out of bounds, crash or loop. So the file is read by a program of its own, vendrix-lettore-jet
// (ScriviDatabase, the only code that calls libmdb), which sends what it reads through a pipe as
// the stream described here; the caller (jet.cc) checks the stream and copies it into SQLite. A
// crash or a hang of the reader becomes an error naming the file.
//
// The reader is started as `vendrix-lettore-jet FILE BYTES`: it caps its memory at BYTES beyond
// what it starts with, writes the stream to descriptor kDescrittoreFlusso, prints libmdb's
// complaints on its standard output and error, and exits 0 once the stream is sent.
//
// The stream, in the machine's byte order (both ends are built together and run on one machine):
//   kTabella  name(str) columns(u32) then per column: name(str) kind(u8) size(u32)
//   kRiga     one value per column: tag(u8) then int64 / double / str / nothing (Null)
//   kFineTabella  rows(u64), the count of kRiga sent for the table
//   kAvanzamento  nothing: one more page read (so that a table of deleted rows still shows life)
//   kErrore   detail(str): the file is not readable; the child stops
//   kFine     tables(u32): the whole file has been sent
// where str is a u32 byte count and the bytes (UTF-8 for names and texts).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vendrix::jet::detail {

enum Messaggio : uint8_t {
  kTabella = 'T',
  kRiga = 'R',
  kFineTabella = 'F',
  kAvanzamento = 'P',
  kErrore = 'E',
  kFine = 'Z',
};

// Kind of a column, and so its declared SQLite type.
enum Genere : uint8_t {
  kBooleano = 1,  // BOOLEAN, 0/1
  kIntero16 = 2,  // SMALLINT: Jet Byte and Integer
  kIntero32 = 3,  // INTEGER: Jet Long
  kValuta = 4,    // CURRENCY
  kDoppio = 5,    // DOUBLE: Jet Single, Double, Decimal
  kData = 6,      // DATETIME, days since 30/12/1899
  kTesto = 7,     // VARCHAR(size)
  kMemo = 8,      // TEXT
  kBinario = 9,   // BLOB: OLE objects, binary fields, unknown kinds
};

// Tag of a value in a kRiga message.
enum Etichetta : uint8_t {
  kNullo = 0,
  kNumeroIntero = 1,   // int64: booleans and integers
  kNumeroReale = 2,    // double: doubles and dates
  kDecimillesimi = 3,  // int64: Currency in ten-thousandths
  kStringa = 4,        // str: UTF-8 text
  kByte = 5,           // str: raw bytes
};

constexpr const char* kNomeLettore = "vendrix-lettore-jet";
constexpr int kDescrittoreFlusso = 3;

// Limits the parent enforces on the stream (the child keeps within them for a sound file).
constexpr uint32_t kMaxNome = 1024;        // bytes of a table or column name
constexpr uint32_t kMaxColonne = 255;      // columns of a Jet table
constexpr uint32_t kMaxTabelle = 32768;    // tables of a file
constexpr uint32_t kMaxValore = 1u << 30;  // bytes of one memo or OLE value

// Access allows no control characters in the names of tables and columns: a name with one was
// read from a damaged page (or sent by a spoilt reader).
inline bool NomeAccettabile(std::string_view nome) {
  return !nome.empty() && std::none_of(nome.begin(), nome.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// Reads the Access file at `percorso` with libmdb and writes it to `fd` as the stream above.
// Runs in the reader program only. Returns its exit code; never throws.
int ScriviDatabase(const char* percorso, int fd) noexcept;

// Caps the memory the calling process may still take at `byte` beyond what it has now, so that
// libmdb looping on a damaged file fails an allocation instead of exhausting the machine.
void LimitaMemoria(std::size_t byte) noexcept;

}  // namespace vendrix::jet::detail

#endif  // VENDRIX_DATA_JET_LETTORE_H_
