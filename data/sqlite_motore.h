#ifndef VENDRIX_DATA_SQLITE_MOTORE_H_
#define VENDRIX_DATA_SQLITE_MOTORE_H_

// What every SQLite connection of the engine shares: the engine's own SQL functions and
// settings, SQLite's reasons in the program's words, and a statement that finalizes itself.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <utility>

namespace vendrix::engine_detail {

// Gives a connection of SQLite's the engine's own functions (vx_somma_valuta, the exact sum of a
// Currency column; vx_right, Right of the dialect) and settings.
void ConfiguraConnessione(sqlite3* db);

// Settings of a work file, which its owner throws away whole if anything fails and syncs before
// putting it in place: its journal stays in memory (a rollback still works) and no commit waits
// for the disk. Returns SQLite's result code.
int ConfiguraFileDiLavoro(sqlite3* db);

// SQLite's last error on `db` as it says it, and as the program says it to the user.
std::string Messaggio(sqlite3* db);
std::string Ragione(sqlite3* db);

// What an exact Currency sum adds for one value of SQLite's: its ten-thousandths in `n`, nothing
// for Null, or why it cannot be added.
enum class ValoreSomma { kNumero, kNessuno, kFuoriLimiti, kNonNumero };
ValoreSomma DecimillesimiDaSommare(sqlite3_value* v, int64_t& n);

// A prepared statement, finalized with its owner.
struct Istruzione {
  sqlite3_stmt* st = nullptr;
  Istruzione() = default;
  Istruzione(Istruzione&& altra) noexcept : st(std::exchange(altra.st, nullptr)) {}
  Istruzione& operator=(Istruzione&& altra) noexcept {
    std::swap(st, altra.st);
    return *this;
  }
  ~Istruzione() { sqlite3_finalize(st); }
};

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_SQLITE_MOTORE_H_
