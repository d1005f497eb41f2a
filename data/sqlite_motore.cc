#include "data/sqlite_motore.h"

#include <string_view>

#include "data/errore.h"
#include "data/valore.h"

namespace vendrix::engine_detail {

ValoreSomma DecimillesimiDaSommare(sqlite3_value* v, int64_t& n) {
  try {
    switch (sqlite3_value_type(v)) {
      case SQLITE_NULL:
        return ValoreSomma::kNessuno;
      case SQLITE_INTEGER:
        if (__builtin_mul_overflow(sqlite3_value_int64(v), int64_t{10000}, &n)) {
          return ValoreSomma::kFuoriLimiti;
        }
        return ValoreSomma::kNumero;
      case SQLITE_FLOAT:
        n = Valuta::DaDouble(sqlite3_value_double(v)).Decimillesimi();
        return ValoreSomma::kNumero;
      default: {
        const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
        n = Valuta::DaTesto(t ? t : "").Decimillesimi();
        return ValoreSomma::kNumero;
      }
    }
  } catch (const Errore& e) {
    return std::string_view(e.what()).rfind("Overflow", 0) == 0 ? ValoreSomma::kFuoriLimiti
                                                                : ValoreSomma::kNonNumero;
  }
}

namespace {

// The exact sum of a Currency column. SQLite hands the state zero-filled on the first row.
struct SommaValuta {
  int64_t totale;
  int qualcuno;
  int errore;  // 0, kOverflow or kNonNumero
};
constexpr int kOverflow = 1, kNonNumero = 2;

void SommaValutaPasso(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* s = static_cast<SommaValuta*>(sqlite3_aggregate_context(ctx, sizeof(SommaValuta)));
  if (!s || s->errore) return;
  int64_t n;
  switch (DecimillesimiDaSommare(argv[0], n)) {
    case ValoreSomma::kNessuno:
      return;
    case ValoreSomma::kFuoriLimiti:
      s->errore = kOverflow;
      return;
    case ValoreSomma::kNonNumero:
      s->errore = kNonNumero;
      return;
    case ValoreSomma::kNumero:
      break;
  }
  if (__builtin_add_overflow(s->totale, n, &s->totale)) {
    s->errore = kOverflow;
    return;
  }
  s->qualcuno = 1;
}

void SommaValutaFine(sqlite3_context* ctx) {
  auto* s = static_cast<SommaValuta*>(sqlite3_aggregate_context(ctx, 0));
  if (!s || (!s->qualcuno && !s->errore)) {
    sqlite3_result_null(ctx);
  } else if (s->errore == kOverflow) {
    sqlite3_result_error(ctx, "Overflow: somma fuori dai limiti del tipo Currency", -1);
  } else if (s->errore) {
    sqlite3_result_error(ctx, "Tipo non corrispondente: un importo sommato non è un numero", -1);
  } else if (s->totale % 10000 == 0) {
    sqlite3_result_int64(ctx, s->totale / 10000);
  } else {
    sqlite3_result_double(ctx, static_cast<double>(s->totale) / 10000.0);
  }
}

// Right(s, n): the last n characters.
void Destra(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const char* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  int byte = sqlite3_value_bytes(argv[0]);
  int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) {
    sqlite3_result_error(ctx, "argomento negativo di Right", -1);
    return;
  }
  int inizio = byte;
  for (int64_t k = 0; k < n && inizio > 0; ++k) {
    --inizio;
    while (inizio > 0 && (static_cast<unsigned char>(p[inizio]) & 0xC0) == 0x80) --inizio;
  }
  sqlite3_result_text(ctx, p + inizio, byte - inizio, SQLITE_TRANSIENT);
}

}  // namespace

void ConfiguraConnessione(sqlite3* db) {
  sqlite3_busy_timeout(db, 5000);
  sqlite3_extended_result_codes(db, 1);
  sqlite3_create_function_v2(db, "vx_somma_valuta", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                             nullptr, SommaValutaPasso, SommaValutaFine, nullptr);
  sqlite3_create_function_v2(db, "vx_right", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, Destra,
                             nullptr, nullptr, nullptr);
}

std::string Messaggio(sqlite3* db) { return db ? sqlite3_errmsg(db) : "memoria esaurita"; }

int ConfiguraFileDiLavoro(sqlite3* db) {
  return sqlite3_exec(db, "PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF", nullptr,
                      nullptr, nullptr);
}

std::string Ragione(sqlite3* db) {
  int codice = db ? (sqlite3_extended_errcode(db) & 0xFF) : SQLITE_NOMEM;
  switch (codice) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "il database è bloccato da un altro utente";
    case SQLITE_READONLY:
      return "il database è in sola lettura";
    case SQLITE_FULL:
      return "disco pieno";
    case SQLITE_CANTOPEN:
      return "impossibile aprire il file";
    case SQLITE_NOTADB:
      return "il file non è un database riconosciuto";
    case SQLITE_CORRUPT:
      return "il file del database è danneggiato";
    case SQLITE_IOERR:
      return "errore di lettura o scrittura del file (" + Messaggio(db) + ")";
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return "accesso negato";
    default:
      return Messaggio(db);
  }
}

}  // namespace vendrix::engine_detail
