#ifndef VENDRIX_DATA_RIGHE_H_
#define VENDRIX_DATA_RIGHE_H_

// The in-memory rows of a recordset: one compact column per field (a tag byte and an 8-byte
// payload per cell, texts of up to 8 bytes inside the payload, longer ones in the column's
// arena), and the per-field equality index the finds take their candidates from.

#include <sqlite3.h>

#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/valore.h"

namespace vendrix::engine_detail {

// The type of a field, from the column's declared SQLite type.
enum class TipoCampo : uint8_t {
  kDinamico,  // no declared type (expressions): values as stored
  kIntero,    // SMALLINT: 16-bit
  kLungo,     // INTEGER: 32-bit
  kValuta,    // CURRENCY: exact four decimals
  kDoppio,    // DOUBLE
  kTesto,     // VARCHAR(n) or TEXT
  kBooleano,  // BOOLEAN
  kData,      // DATETIME: days since 30/12/1899
};

struct DefinizioneCampo {
  std::string nome;
  TipoCampo tipo = TipoCampo::kDinamico;
  int dimensione = 0;  // characters of a text field; 0 = unlimited
};

// Reads a declared column type ("VARCHAR(30)", "CURRENCY", ...) into a field type and size.
DefinizioneCampo TipoDaDichiarato(std::string nome, const char* dichiarato);

// Tags of a cell.
enum Etichetta : uint8_t {
  kCellaNull = 0,
  kCellaIntero = 1,  // int64
  kCellaReale = 2,   // double
  kCellaValuta = 3,  // int64 ten-thousandths
  kCellaBool = 4,    // 0 or 1
  kCellaData = 5,    // double days
  kCellaArena = 6,   // offset (40 bits) and length (24 bits) in the arena
  kCellaCorta = 16,  // + length 0..8: bytes in the payload
};

class Colonna {
 public:
  size_t Righe() const { return etichette_.size(); }
  void Riserva(size_t n) {
    etichette_.reserve(n);
    dati_.reserve(n);
  }
  void Svuota();
  void AggiungiNull() { Aggiungi(kCellaNull, 0); }
  // A value already converted to the field's type.
  void AggiungiValore(const Valore& v);
  // A value read from SQLite, converted as the field's type asks.
  void AggiungiDaSqlite(sqlite3_stmt* st, int i, TipoCampo tipo);
  // The same value as Leggi gives it back.
  static Valore ValoreDaSqlite(sqlite3_stmt* st, int i, TipoCampo tipo);
  // The same for a value of SQLite's given by its kind and content.
  void AggiungiInteroSqlite(int64_t n, TipoCampo tipo);
  void AggiungiRealeSqlite(double x, TipoCampo tipo);
  void AggiungiTestoSqlite(std::string_view s, TipoCampo tipo);
  // Replaces the cell of row r (the text of a replaced long text stays in the arena).
  void Sostituisci(size_t r, const Valore& v);

  uint8_t Tag(size_t r) const { return etichette_[r]; }
  bool ETesto(size_t r) const { return etichette_[r] >= kCellaArena; }
  int64_t Intero(size_t r) const { return static_cast<int64_t>(dati_[r]); }
  double Reale(size_t r) const;
  std::string_view Testo(size_t r) const;
  // The number of a numeric cell (Boolean true is -1, Currency exact to the nearest double).
  double Numero(size_t r) const;
  Valore Leggi(size_t r, TipoCampo tipo) const;

 private:
  void Aggiungi(uint8_t tag, uint64_t dato) {
    etichette_.push_back(tag);
    dati_.push_back(dato);
  }
  void Aggiungi(std::pair<uint8_t, uint64_t> cella) { Aggiungi(cella.first, cella.second); }
  void AggiungiNumero(uint8_t tag, double x) { Aggiungi(tag, std::bit_cast<uint64_t>(x)); }
  std::pair<uint8_t, uint64_t> Codifica(std::string_view s);
  std::pair<uint8_t, uint64_t> CodificaValore(const Valore& v);

  std::vector<uint8_t> etichette_;
  std::vector<uint64_t> dati_;
  std::string arena_;
};

// Key hashes of the index. A numeric cell is keyed by its number, a text cell by its bytes; a
// text cell that reads as a number is also keyed by that number in the index's second part.
uint64_t ChiaveNumero(double x);
uint64_t ChiaveTesto(std::string_view s);

// Equality index of one column: for a key, the ascending positions of the rows that hold it.
// Rows added or changed after the index was built are kept in a short list of their own and
// offered as candidates to every lookup; a candidate is always checked against the whole
// criteria, so a stale entry costs a test, never a wrong answer.
class Indice {
 public:
  explicit Indice(const Colonna& colonna);

  // Candidates for "field = number": rows with that number, and text rows reading as it.
  void CandidatiNumero(const Colonna& colonna, double x,
                       std::vector<std::span<const uint32_t>>& out);
  // Candidates for "field = 'text'": rows with that text, and numeric rows equal to the text
  // read as a number.
  void CandidatiTesto(std::string_view s, bool numerico, double x,
                      std::vector<std::span<const uint32_t>>& out);
  // Records a row added or changed after the build. False when the index has grown stale enough
  // to be rebuilt.
  bool Segna(uint32_t riga);

 private:
  struct Gruppi {
    std::vector<uint32_t> posizioni;
    struct Slot {
      uint64_t chiave = 0;
      uint32_t inizio = 0;
      uint32_t conta = 0;
    };
    std::vector<Slot> slot;
    void Costruisci(std::vector<std::pair<uint64_t, uint32_t>>& voci);
    std::span<const uint32_t> Cerca(uint64_t chiave) const;
  };
  Gruppi principale_;
  Gruppi testi_numerici_;
  bool testi_numerici_pronti_ = false;
  size_t righe_costruzione_;
  std::vector<uint32_t> segnate_;
};

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_RIGHE_H_
