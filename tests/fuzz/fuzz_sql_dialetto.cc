// The translator of the hotel suite's SQL dialect: whatever text it accepts becomes exactly one
// SQLite statement, and that statement reads only (a Select can never turn into a write, an
// ATTACH or a second statement).

#include <sqlite3.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/errore.h"
#include "data/sql_dialetto.h"

namespace {

void Guasto(const std::string& cosa, const std::string& sql) {
  std::fprintf(stderr, "GUASTO: %s: %s\n", cosa.c_str(), sql.c_str());
  std::abort();
}

void Somma(sqlite3_context*, int, sqlite3_value**) {}
void FineSomma(sqlite3_context* c) { sqlite3_result_null(c); }
void Destra(sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_null(c); }

// A database with the tables the seeds name, in the main schema and in the one files named
// with In are attached under, and the engine's own functions, so that most translations compile.
sqlite3* Banco() {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  const char* schema =
      "CREATE TABLE T (Id INTEGER, Nome VARCHAR(20), Importo CURRENCY, Data DATETIME);"
      "CREATE TABLE TipiCamere (TipoCamera VARCHAR(10), Descrizione VARCHAR(50));"
      "ATTACH ':memory:' AS f1;"
      "CREATE TABLE f1.T (Id INTEGER, Nome VARCHAR(20), Importo CURRENCY, Data DATETIME);"
      "CREATE TABLE f1.TipiCamere (TipoCamera VARCHAR(10), Descrizione VARCHAR(50));";
  sqlite3_exec(db, schema, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "vx_somma_valuta", 1, SQLITE_UTF8, nullptr, nullptr, Somma,
                             FineSomma, nullptr);
  sqlite3_create_function_v2(db, "vx_right", 2, SQLITE_UTF8, nullptr, Destra, nullptr, nullptr,
                             nullptr);
  return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t dimensione) {
  using namespace vendrix;
  static sqlite3* db = Banco();
  static const engine_detail::ContestoSql contesto{
      [](const std::string& file) -> std::string {
        if (file.find('!') != std::string::npos) throw Errore("file non trovato: " + file);
        return "f1";
      },
      [](const std::string&, const std::string&, const std::string& colonna) -> std::string {
        return colonna == "Importo" ? "CURRENCY" : "";
      }};
  const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
  engine_detail::SqlTradotto tradotto;
  try {
    tradotto = engine_detail::TraduciSql(testo, contesto);
  } catch (const Errore&) {
    return 0;
  }
  const std::string& sql = tradotto.sql;
  if (sql.find('\0') != std::string::npos) Guasto("la traduzione contiene un byte nullo", sql);
  sqlite3_stmt* st = nullptr;
  const char* coda = nullptr;
  const int esito = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, &coda);
  if (esito == SQLITE_OK) {
    if (st == nullptr) Guasto("la traduzione non contiene alcuna istruzione", sql);
    if (!sqlite3_stmt_readonly(st)) Guasto("la traduzione di una Select scrive", sql);
    for (const char* p = coda; p < sql.c_str() + sql.size(); ++p) {
      if (!std::isspace(static_cast<unsigned char>(*p))) {
        Guasto("la traduzione contiene più di un'istruzione", sql);
      }
    }
  }
  sqlite3_finalize(st);
  // The pieces of a plan of grouped sums make one read-only statement of their own too, as the
  // engine puts them together (the condition also as a column of its own).
  if (esito == SQLITE_OK && tradotto.piano) {
    const engine_detail::PianoSomme& p = *tradotto.piano;
    std::string colonne;
    for (const auto& c : p.testi_gruppo) colonne += (colonne.empty() ? "" : ", ") + c;
    for (const auto& c : p.testi_argomenti) colonne += ", " + c;
    if (!p.condizione.empty()) colonne += ", CASE WHEN (" + p.condizione + ") THEN 1 ELSE 0 END";
    const std::string scansione = "SELECT " + colonne + " FROM " + p.testo_tabella +
                                  (p.condizione.empty() ? "" : " WHERE " + p.condizione);
    st = nullptr;
    coda = nullptr;
    if (sqlite3_prepare_v2(db, scansione.c_str(), -1, &st, &coda) != SQLITE_OK || !st) {
      Guasto("la lettura delle somme non si compila: " + scansione, sql);
    }
    if (!sqlite3_stmt_readonly(st) || (coda && *coda)) Guasto("la lettura delle somme scrive", sql);
    sqlite3_finalize(st);
  }
  return 0;
}
