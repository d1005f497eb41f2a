#ifndef VENDRIX_APP_DEMO_SCRITTURA_H_
#define VENDRIX_APP_DEMO_SCRITTURA_H_

// Inside the sample-hotel writer: the layout of the hotel files as the suite keeps them, and a
// thin SQLite connection with a prepared INSERT. Not for use outside app/demo.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "comune/testo.h"

namespace vendrix::demo::dettaglio {

struct CampoHotel {
  const char* nome;
  const char* tipo;  // declared SQLite type, which the engine maps to the field type
};

struct TabellaHotel {
  const char* file;
  const char* tabella;
  std::vector<CampoHotel> campi;
};

// Every hotel file with its one table, live files first, then the three history files.
const std::vector<TabellaHotel>& TabelleHotel();
// The layout of `file` (one of the list above); throws Errore for an unknown file.
const TabellaHotel& TabellaDelFile(std::string_view file);

// An open SQLite file. Errors throw Errore naming the file.
class FileSqlite {
 public:
  // Opens an existing file for writing; `crea` also creates a missing one.
  FileSqlite(const std::string& percorso, bool crea);
  ~FileSqlite();
  FileSqlite(const FileSqlite&) = delete;
  FileSqlite& operator=(const FileSqlite&) = delete;

  // Runs SQL texts that return no rows; `cosa` says in the error message what was being done.
  void Esegui(const std::string& sql, std::string_view cosa);
  void Chiudi();

  sqlite3* Handle() const { return db_; }
  const std::string& Percorso() const { return percorso_; }
  std::string UltimoErrore() const;

 private:
  std::string percorso_;
  sqlite3* db_ = nullptr;
};

// A prepared INSERT of the given fields of one table. Values are bound in field order, then
// Riga() stores the row and starts the next one.
class Inseritore {
 public:
  Inseritore(FileSqlite& file, std::string tabella, const std::vector<std::string>& campi);
  ~Inseritore();
  Inseritore(const Inseritore&) = delete;
  Inseritore& operator=(const Inseritore&) = delete;

  Inseritore& Null();
  Inseritore& Testo(std::string_view testo);
  Inseritore& Intero(int64_t n);
  Inseritore& Reale(double x);
  // Throws Errore when not every field was bound, or when SQLite refuses the row.
  void Riga();

  int64_t Righe() const { return righe_; }

 private:
  int Prossimo();
  void Controlla(int esito, std::string_view cosa);

  FileSqlite& file_;
  std::string tabella_;
  sqlite3_stmt* istruzione_ = nullptr;
  int campi_ = 0;
  int legati_ = 0;
  int64_t righe_ = 0;
};

}  // namespace vendrix::demo::dettaglio

#endif  // VENDRIX_APP_DEMO_SCRITTURA_H_
