#include "data/dbengine.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unordered_map>
#include <utility>

#include "comune/date.h"
#include "data/file_normale.h"
#include "data/jet.h"
#include "data/motore_interno.h"
#include "data/numeri.h"
#include "data/sql_dialetto.h"

namespace vendrix {

namespace fs = std::filesystem;
using engine_detail::Colonna;
using engine_detail::Connessione;
using engine_detail::Criterio;
using engine_detail::DefinizioneCampo;
using engine_detail::Insieme;
using engine_detail::Motore;
using engine_detail::TipoCampo;

std::string Quota(std::string_view testo) {
  std::string s;
  s.reserve(testo.size() + 2);
  Quota(testo, s);
  return s;
}

void Quota(std::string_view testo, std::string& destinazione) {
  destinazione += '\'';
  for (char c : testo) {
    if (c == '\'') destinazione += '\'';
    destinazione += c;
  }
  destinazione += '\'';
}

namespace engine_detail {

namespace {

// ---------------------------------------------------------------------------------------------
// Files

enum class Formato { kSqlite, kJet, kSconosciuto };

// A path as the caller wrote it, a relative one taken inside `cartella` (the engine's working
// folder; empty: the process's). The hotel suite writes folders with backslashes, which are
// taken as separators when the path does not exist as written.
fs::path RisolviPercorso(const std::string& nome, const fs::path& cartella) {
  const auto dentro = [&](const fs::path& p) {
    return cartella.empty() || p.is_absolute() ? p : cartella / p;
  };
  fs::path p = dentro(fs::path(nome));
  std::error_code ec;
  if (fs::exists(p, ec) || nome.find('\\') == std::string::npos) return p;
  std::string barre = nome;
  std::replace(barre.begin(), barre.end(), '\\', '/');
  fs::path q = dentro(fs::path(barre));
  if (fs::exists(q, ec)) return q;
  // For a file still to be created: its folder decides.
  if (!fs::exists(p.parent_path().empty() ? fs::path(".") : p.parent_path(), ec) &&
      fs::exists(q.parent_path().empty() ? fs::path(".") : q.parent_path(), ec)) {
    return q;
  }
  return p;
}

std::string Canonico(const fs::path& p) {
  std::error_code ec;
  fs::path c = fs::weakly_canonical(fs::absolute(p, ec), ec);
  return ec ? fs::absolute(p).lexically_normal().string() : c.string();
}

std::string UriFile(const fs::path& p, const char* parametri) {
  std::error_code ec;
  std::string assoluto = fs::absolute(p, ec).string();
  std::string uri = "file://";
  static const char* kEsa = "0123456789ABCDEF";
  for (unsigned char c : assoluto) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
        c == '.' || c == '_' || c == '-' || c == '~') {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kEsa[c >> 4];
      uri += kEsa[c & 15];
    }
  }
  if (parametri) uri += parametri;
  return uri;
}

Formato RiconosciFormato(const fs::path& p) {
  const int fd = ApriFileNormale(p.string());
  if (fd < 0) return Formato::kSconosciuto;
  char testa[16] = {};
  const bool letta = ::pread(fd, testa, sizeof testa, 0) == static_cast<ssize_t>(sizeof testa);
  ::close(fd);
  if (letta && std::memcmp(testa, "SQLite format 3", 16) == 0) return Formato::kSqlite;
  if (jet::EFileJet(p.string())) return Formato::kJet;
  return Formato::kSconosciuto;
}

// Checks that `p` is a database file; throws the error that names it otherwise. Only a regular
// file is opened, and never in a way that could wait on a special file.
Formato ControllaFile(const fs::path& p, const std::string& nome, const std::string& dove) {
  const TipoFile tipo = TipoDiFile(p);
  if (tipo != TipoFile::kNormale) {
    throw Errore("Impossibile aprire il database '" + nome + "'" + dove + ": " +
                 MotivoFileNonLeggibile(tipo));
  }
  Formato f = RiconosciFormato(p);
  if (f == Formato::kSconosciuto) {
    const int fd = ApriFileNormale(p.string());
    if (fd < 0) {
      throw Errore("Impossibile aprire il database '" + nome + "'" + dove +
                   (errno == EINVAL ? ": " + MotivoFileNonLeggibile(TipoFile::kSpeciale)
                                    : std::string(": accesso al file negato")));
    }
    ::close(fd);
    throw Errore("Impossibile aprire il database '" + nome + "'" + dove +
                 ": il file non è un database riconosciuto");
  }
  return f;
}

// ---------------------------------------------------------------------------------------------
// SQL functions of the dialect

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

void Configura(sqlite3* db) {
  sqlite3_busy_timeout(db, 5000);
  sqlite3_extended_result_codes(db, 1);
  sqlite3_create_function_v2(db, "vx_somma_valuta", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                             nullptr, SommaValutaPasso, SommaValutaFine, nullptr);
  sqlite3_create_function_v2(db, "vx_right", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, Destra,
                             nullptr, nullptr, nullptr);
}

std::string Messaggio(sqlite3* db) { return db ? sqlite3_errmsg(db) : "memoria esaurita"; }

// A work file is thrown away whole if anything fails, and its owner syncs it before putting it in
// place: its journal stays in memory (a rollback still works) and no commit waits for the disk.
int ConfiguraFileDiLavoro(sqlite3* db) {
  return sqlite3_exec(db, "PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF", nullptr,
                      nullptr, nullptr);
}

// SQLite's reasons in the program's words.
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

// Texts of at most `n` characters (UTF-8 code points).
std::string Tronca(const std::string& s, int n) {
  if (n <= 0) return s;
  int caratteri = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (caratteri == n) return s.substr(0, i);
      ++caratteri;
    }
  }
  return s;
}

// A text written into a date field: the program's one date rule, as days since 30/12/1899 (the
// day count of the hotel suite's dates).
bool LeggiData(std::string_view t, double& giorni) {
  const std::optional<Giorno> giorno = vendrix::LeggiData(t);
  if (!giorno) return false;
  constexpr std::chrono::sys_days kOrigine = std::chrono::year{1899} / 12 / 30;
  giorni = static_cast<double>((*giorno - kOrigine).count());
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Motore

Motore::~Motore() {
  for (auto& [percorso, copia] : copie_jet) sqlite3_close_v2(copia.db);
}

void Motore::AggiungiFileDiLavoro(const std::string& canonico) {
  std::lock_guard<std::mutex> blocco(mutex);
  file_di_lavoro.insert(canonico);
}

bool Motore::EFileDiLavoro(const std::string& canonico) {
  std::lock_guard<std::mutex> blocco(mutex);
  return file_di_lavoro.count(canonico) > 0;
}

std::string Motore::UriJet(const std::string& percorso, const std::string& canonico,
                           const std::string& nome) {
  std::lock_guard<std::mutex> blocco(mutex);
  auto it = copie_jet.find(canonico);
  if (it != copie_jet.end()) return it->second.uri;
  CopiaJet copia;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%p-%d", static_cast<void*>(this), ++contatore);
  copia.uri = std::string("file:/vxjet-") + buf + "?vfs=memdb";
  int rc = sqlite3_open_v2(
      copia.uri.c_str(), &copia.db,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string m = Messaggio(copia.db);
    sqlite3_close_v2(copia.db);
    throw Errore("Impossibile leggere il database Access '" + nome + "': " + m);
  }
  try {
    jet::Importa(copia.db, "main", percorso);
  } catch (...) {
    sqlite3_close_v2(copia.db);
    throw;
  }
  return copie_jet.emplace(canonico, std::move(copia)).first->second.uri;
}

// ---------------------------------------------------------------------------------------------
// Connessione

Connessione::~Connessione() { Chiudi(); }

void Connessione::Chiudi() {
  if (chiusa) return;
  chiusa = true;
  for (Insieme* i : std::set<Insieme*>(insiemi)) {
    i->Rilascia();
    i->chiuso = true;
    i->chiuso_con_database = true;
  }
  insiemi.clear();
  if (db && transazioni > 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  transazioni = 0;
  sqlite3_close_v2(db);
  db = nullptr;
}

void Connessione::ControllaAperta() const {
  if (chiusa) throw Errore("Il database '" + nome + "' è chiuso");
}

void Connessione::Esegui(const std::string& sql, const std::string& operazione) {
  ControllaAperta();
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    throw Errore(operazione + ": " + Ragione(db));
  }
}

std::string Connessione::Allega(const std::string& file, std::set<std::string>& usati,
                                const std::string& sql) {
  fs::path percorso = RisolviPercorso(file, motore->cartella);
  std::string canon = Canonico(percorso);
  if (canon == canonico) return "main";
  auto it = allegati.find(canon);
  if (it != allegati.end()) {
    usati.insert(it->second.schema);
    return it->second.schema;
  }
  Formato f = ControllaFile(percorso, file, " nominato nel testo SQL \"" + sql + "\"");
  // A file on disk names the default file system layer explicitly: attached to the in-memory
  // copy of an Access file, it would otherwise inherit that connection's memory-only layer.
  const std::string su_disco = std::string("?mode=ro&vfs=") + sqlite3_vfs_find(nullptr)->zName;
  std::string uri = f == Formato::kJet ? motore->UriJet(percorso.string(), canon, file)
                                       : UriFile(percorso, su_disco.c_str());
  int limite = sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, -1);
  if (static_cast<int>(allegati.size()) >= limite) {
    for (auto a = allegati.begin(); a != allegati.end(); ++a) {
      if (usati.count(a->second.schema)) continue;
      Esegui("DETACH " + QuotaNome(a->second.schema),
             "Impossibile staccare il database '" + a->second.file + "'");
      allegati.erase(a);
      break;
    }
    if (static_cast<int>(allegati.size()) >= limite) {
      throw Errore("Errore nel testo SQL: troppi database nominati con In: " + sql);
    }
  }
  std::string schema = "vxf" + std::to_string(prossimo_schema++);
  Istruzione i;
  std::string attach = "ATTACH ?1 AS " + QuotaNome(schema);
  if (sqlite3_prepare_v2(db, attach.c_str(), -1, &i.st, nullptr) != SQLITE_OK) {
    throw Errore("Impossibile aprire il database '" + file + "': " + Ragione(db));
  }
  sqlite3_bind_text(i.st, 1, uri.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(i.st) != SQLITE_DONE) {
    std::string m = Messaggio(db);
    if (transazioni > 0 || !sqlite3_get_autocommit(db)) {
      throw Errore("Impossibile aprire il database '" + file + "' nominato nel testo SQL \"" + sql +
                   "\" durante una transazione");
    }
    throw Errore("Impossibile aprire il database '" + file + "' nominato nel testo SQL \"" + sql +
                 "\": " + Ragione(db));
  }
  allegati[canon] = Allegato{schema, file};
  usati.insert(schema);
  return schema;
}

std::string Connessione::FileDiSchema(const std::string& schema) const {
  for (const auto& [canon, a] : allegati) {
    if (a.schema == schema) return a.file;
  }
  return nome;
}

std::shared_ptr<Connessione> ApriConnessione(const std::shared_ptr<Motore>& motore,
                                             const std::string& nome) {
  fs::path percorso = RisolviPercorso(nome, motore->cartella);
  Formato f = ControllaFile(percorso, nome, "");
  auto c = std::make_shared<Connessione>();
  c->motore = motore;
  c->nome = nome;
  c->canonico = Canonico(percorso);
  std::string uri;
  int flag = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
  if (f == Formato::kJet) {
    uri = motore->UriJet(percorso.string(), c->canonico, nome);
    flag |= SQLITE_OPEN_READONLY;
    c->sola_lettura = true;
  } else {
    uri = UriFile(percorso, nullptr);
    flag |= SQLITE_OPEN_READWRITE;
  }
  if (sqlite3_open_v2(uri.c_str(), &c->db, flag, nullptr) != SQLITE_OK) {
    std::string r = Ragione(c->db);
    sqlite3_close_v2(c->db);
    c->db = nullptr;
    c->chiusa = true;
    throw Errore("Impossibile aprire il database '" + nome + "': " + r);
  }
  Configura(c->db);
  // The header says SQLite; reading the schema tells a damaged file at once.
  if (sqlite3_exec(c->db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
      SQLITE_OK) {
    std::string r = Ragione(c->db);
    c->Chiudi();
    throw Errore("Impossibile aprire il database '" + nome + "': " + r);
  }
  if (f == Formato::kSqlite && sqlite3_db_readonly(c->db, "main") == 1) c->sola_lettura = true;
  if (f == Formato::kSqlite && !c->sola_lettura && motore->EFileDiLavoro(c->canonico) &&
      ConfiguraFileDiLavoro(c->db) != SQLITE_OK) {
    std::string r = Ragione(c->db);
    c->Chiudi();
    throw Errore("Impossibile aprire il database '" + nome + "': " + r);
  }
  return c;
}

std::shared_ptr<Connessione> CreaConnessione(const std::shared_ptr<Motore>& motore,
                                             const std::string& nome) {
  fs::path percorso = RisolviPercorso(nome, motore->cartella);
  std::error_code ec;
  if (fs::exists(percorso, ec) || fs::is_symlink(percorso, ec)) {
    throw Errore("Impossibile creare il database '" + nome + "': il file esiste già");
  }
  auto c = std::make_shared<Connessione>();
  c->motore = motore;
  c->nome = nome;
  std::string uri = UriFile(percorso, nullptr);
  int rc = sqlite3_open_v2(
      uri.c_str(), &c->db,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
  // SQLite writes nothing until the first change: the header is written now, so that the new
  // file is a database from its first byte.
  if (rc == SQLITE_OK) {
    Configura(c->db);
    if (motore->EFileDiLavoro(Canonico(percorso))) rc = ConfiguraFileDiLavoro(c->db);
  }
  if (rc == SQLITE_OK) {
    rc = sqlite3_exec(c->db, "PRAGMA user_version = 1", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    std::string r = Ragione(c->db);
    c->Chiudi();
    fs::remove(percorso, ec);
    throw Errore("Impossibile creare il database '" + nome + "': " + r);
  }
  c->canonico = Canonico(percorso);
  return c;
}

// ---------------------------------------------------------------------------------------------
// MappaNomi

namespace {
uint64_t HashNome(std::string_view s) {
  uint64_t h = 1469598103934665603ULL;
  for (char c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  }
  return h;
}
bool UgualeNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}
}  // namespace

void MappaNomi::Aggiungi(const std::string& nome, int indice) {
  if (Cerca(nome) >= 0) return;  // the first of two equal names wins
  voci_.push_back(Voce{HashNome(nome), nome, indice});
}

int MappaNomi::Cerca(std::string_view nome) const {
  uint64_t h = HashNome(nome);
  for (const Voce& v : voci_) {
    if (v.hash == h && UgualeNoCase(v.nome, nome)) return v.indice;
  }
  return -1;
}

// ---------------------------------------------------------------------------------------------
// Insieme

namespace {

// Converts a value to the type of the field it is written into.
Valore Converti(const DefinizioneCampo& campo, const Valore& v) {
  if (v.IsNull()) return v;
  auto mismatch = [&](const std::string& perche) -> Errore {
    return Errore("Tipo non corrispondente nel campo '" + campo.nome + "': " + perche);
  };
  auto overflow = [&]() -> Errore {
    return Errore("Overflow nel campo '" + campo.nome + "': " + v.Testo() +
                  " non entra nel tipo del campo");
  };
  try {
    switch (campo.tipo) {
      case TipoCampo::kIntero: {
        int64_t n = v.Intero();
        if (n < INT16_MIN || n > INT16_MAX) throw overflow();
        return Valore(static_cast<int16_t>(n));
      }
      case TipoCampo::kLungo: {
        int64_t n = v.Intero();
        if (n < INT32_MIN || n > INT32_MAX) throw overflow();
        return Valore(static_cast<int32_t>(n));
      }
      case TipoCampo::kValuta:
        return Valore(v.ComeValuta());
      case TipoCampo::kDoppio:
        // The file keeps no negative zero: the row holds what reading it back gives.
        return Valore(v.Numero() + 0.0);
      case TipoCampo::kTesto:
        if (v.Tipo() == TipoValore::kTesto) {
          if (campo.dimensione <= 0 ||
              v.ComeTesto().size() <= static_cast<size_t>(campo.dimensione)) {
            return v;
          }
          return Valore(Tronca(v.ComeTesto(), campo.dimensione));
        }
        return Valore(Tronca(v.Testo(), campo.dimensione));
      case TipoCampo::kBooleano:
        if (v.Tipo() == TipoValore::kTesto) {
          std::string t(numeri::SenzaSpazi(v.ComeTesto()));
          if (UgualeNoCase(t, "true") || UgualeNoCase(t, "vero")) return Valore(true);
          if (UgualeNoCase(t, "false") || UgualeNoCase(t, "falso")) return Valore(false);
        }
        return Valore(v.Numero() != 0);
      case TipoCampo::kData:
        if (v.Tipo() == TipoValore::kData) return v;
        if (v.Tipo() == TipoValore::kTesto) {
          double g;
          if (LeggiData(v.ComeTesto(), g)) return Valore(DataOra{g});
          throw mismatch("'" + v.ComeTesto() + "' non è una data");
        }
        return Valore(DataOra{v.Numero()});
      case TipoCampo::kDinamico:
        return v;
    }
  } catch (const Errore& e) {
    std::string m = e.what();
    if (m.rfind("Tipo non corrispondente nel campo", 0) == 0 ||
        m.rfind("Overflow nel campo", 0) == 0) {
      throw;
    }
    if (m.rfind("Overflow", 0) == 0) throw overflow();
    throw mismatch(m);
  }
  return v;
}

// True when `v` is already what Converti would make of it for `campo`: it is then stored as it
// is, without a conversion.
bool GiaDelTipo(const DefinizioneCampo& campo, const Valore& v) {
  switch (v.Tipo()) {
    case TipoValore::kNull:
      return true;
    case TipoValore::kIntero:
      return campo.tipo == TipoCampo::kIntero || campo.tipo == TipoCampo::kDinamico;
    case TipoValore::kLungo:
      return campo.tipo == TipoCampo::kLungo || campo.tipo == TipoCampo::kDinamico;
    case TipoValore::kValuta:
      return campo.tipo == TipoCampo::kValuta || campo.tipo == TipoCampo::kDinamico;
    case TipoValore::kDoppio:
      if (v.Numero() == 0 && std::signbit(v.Numero())) return false;
      return campo.tipo == TipoCampo::kDoppio || campo.tipo == TipoCampo::kDinamico;
    case TipoValore::kBooleano:
      return campo.tipo == TipoCampo::kBooleano || campo.tipo == TipoCampo::kDinamico;
    case TipoValore::kData:
      return campo.tipo == TipoCampo::kData || campo.tipo == TipoCampo::kDinamico;
    case TipoValore::kTesto:
      return campo.tipo == TipoCampo::kDinamico ||
             (campo.tipo == TipoCampo::kTesto &&
              (campo.dimensione <= 0 ||
               v.ComeTesto().size() <= static_cast<size_t>(campo.dimensione)));
  }
  return false;
}

void Lega(sqlite3_stmt* st, int k, const Valore& v) {
  switch (v.Tipo()) {
    case TipoValore::kNull:
      sqlite3_bind_null(st, k);
      break;
    case TipoValore::kTesto:
      sqlite3_bind_text(st, k, v.ComeTesto().data(), static_cast<int>(v.ComeTesto().size()),
                        SQLITE_STATIC);
      break;
    case TipoValore::kIntero:
    case TipoValore::kLungo:
      sqlite3_bind_int64(st, k, v.Intero());
      break;
    case TipoValore::kBooleano:
      sqlite3_bind_int(st, k, v.Intero() != 0 ? 1 : 0);
      break;
    case TipoValore::kValuta: {
      // As a plain decimal number, so that any SQLite tool reads the amount; read back exact.
      int64_t n = v.ComeValuta().Decimillesimi();
      if (n % 10000 == 0) {
        sqlite3_bind_int64(st, k, n / 10000);
      } else {
        sqlite3_bind_double(st, k, static_cast<double>(n) / 10000.0);
      }
      break;
    }
    case TipoValore::kDoppio:
    case TipoValore::kData:
      sqlite3_bind_double(st, k, v.Numero());
      break;
  }
}

std::string Abbrevia(const std::string& s) {
  return s.size() <= 300 ? s : s.substr(0, 300) + "...";
}

}  // namespace

Insieme::~Insieme() {
  Rilascia();
  if (conn) conn->insiemi.erase(this);
}

void Insieme::Rilascia() {
  ++generazione;
  ripresa.valida = false;
  ultime_istruzioni[0] = ultime_istruzioni[1] = UltimaIstruzione{};
  for (auto& [k, st] : inserimenti) sqlite3_finalize(st);
  for (auto& [k, st] : aggiornamenti) sqlite3_finalize(st);
  inserimenti.clear();
  aggiornamenti.clear();
  sqlite3_finalize(leggi_riga);
  leggi_riga = nullptr;
  std::vector<Colonna>().swap(colonne);
  std::vector<int64_t>().swap(rowid);
  indici.clear();
  for (auto& v : cache) v = VoceCache{};
  buffer.clear();
  righe = 0;
  corrente = -1;
}

std::string Insieme::Descrizione() const {
  if (tabella) return "nella tabella '" + nome_tabella + "' del database '" + conn->nome + "'";
  return "nel risultato del testo SQL \"" + Abbrevia(origine) + "\"";
}

void Insieme::ControllaUtilizzabile() const {
  if (chiuso) {
    if (chiuso_con_database) {
      throw Errore("Recordset '" + Abbrevia(origine) + "' non utilizzabile: il database '" +
                   conn->nome + "' è stato chiuso");
    }
    throw Errore("Recordset '" + Abbrevia(origine) + "' già chiuso");
  }
}

int Insieme::IndiceCampo(std::string_view nome) const {
  ControllaUtilizzabile();
  int i = nomi.Cerca(nome);
  if (i < 0) throw Errore("Campo '" + std::string(nome) + "' non trovato " + Descrizione());
  if (static_cast<size_t>(i) < richiesti.size()) richiesti[i] = 1;
  return i;
}

void Insieme::CaricaRowid() {
  Istruzione i;
  std::string sql = "SELECT " + colonna_rowid + " FROM main." + QuotaNome(nome_tabella) +
                    " ORDER BY " + colonna_rowid;
  if (sqlite3_prepare_v2(conn->db, sql.c_str(), -1, &i.st, nullptr) != SQLITE_OK) {
    throw Errore("Impossibile leggere la tabella '" + nome_tabella + "' del database '" +
                 conn->nome + "': " + Ragione(conn->db));
  }
  rowid.clear();
  int rc;
  while ((rc = sqlite3_step(i.st)) == SQLITE_ROW) rowid.push_back(sqlite3_column_int64(i.st, 0));
  if (rc != SQLITE_DONE) {
    throw Errore("Impossibile leggere la tabella '" + nome_tabella + "' del database '" +
                 conn->nome + "': " + Ragione(conn->db));
  }
  righe = rowid.size();
  rowid_ordinati = true;
  ++generazione;
  colonne.assign(campi.size(), Colonna());
  caricata.assign(campi.size(), 0);
  richiesti.resize(campi.size(), 0);
  indici.clear();
  indici.resize(campi.size());
}

void Insieme::Ricarica() {
  modo = Modo::kNormale;
  CaricaRowid();
  corrente = righe > 0 ? 0 : -1;
  nessuna = false;
}

void Insieme::CaricaColonne(const std::vector<int>& indici_colonne) {
  std::vector<int> da_caricare;
  for (int c : indici_colonne) {
    if (!caricata[c]) da_caricare.push_back(c);
  }
  if (da_caricare.empty()) return;
  // A field whose position was asked for is about to be read: it comes with this reading of the
  // table rather than with one of its own.
  for (size_t c = 0; c < richiesti.size(); ++c) {
    if (richiesti[c] && !caricata[c] &&
        std::find(da_caricare.begin(), da_caricare.end(), static_cast<int>(c)) ==
            da_caricare.end()) {
      da_caricare.push_back(static_cast<int>(c));
    }
  }
  conn->ControllaAperta();
  std::string sql = "SELECT " + colonna_rowid;
  for (int c : da_caricare) sql += ", " + QuotaNome(campi[c].nome);
  sql += " FROM main." + QuotaNome(nome_tabella) + " ORDER BY " + colonna_rowid;
  Istruzione i;
  auto errore = [&]() {
    return Errore("Impossibile leggere la tabella '" + nome_tabella + "' del database '" +
                  conn->nome + "': " + Ragione(conn->db));
  };
  if (sqlite3_prepare_v2(conn->db, sql.c_str(), -1, &i.st, nullptr) != SQLITE_OK) throw errore();
  for (int c : da_caricare) {
    colonne[c].Svuota();
    colonne[c].Riserva(righe);
  }
  // The set holds the rows it had when opened plus those it added, in rowid order: a row
  // deleted since reads as Null, a row added by someone else is not part of the set.
  std::unordered_map<int64_t, size_t> posizione;
  if (!rowid_ordinati) {
    for (size_t r = 0; r < righe; ++r) posizione.emplace(rowid[r], r);
    for (int c : da_caricare) {
      for (size_t r = 0; r < righe; ++r) colonne[c].AggiungiNull();
    }
  }
  size_t r = 0;
  int rc;
  while ((rc = sqlite3_step(i.st)) == SQLITE_ROW) {
    int64_t id = sqlite3_column_int64(i.st, 0);
    if (!rowid_ordinati) {
      auto it = posizione.find(id);
      if (it == posizione.end()) continue;
      for (size_t k = 0; k < da_caricare.size(); ++k) {
        Colonna tmp;
        tmp.AggiungiDaSqlite(i.st, static_cast<int>(k) + 1, campi[da_caricare[k]].tipo);
        colonne[da_caricare[k]].Sostituisci(it->second, tmp.Leggi(0, campi[da_caricare[k]].tipo));
      }
      continue;
    }
    while (r < righe && rowid[r] < id) {
      for (int c : da_caricare) colonne[c].AggiungiNull();
      ++r;
    }
    if (r < righe && rowid[r] == id) {
      for (size_t k = 0; k < da_caricare.size(); ++k) {
        colonne[da_caricare[k]].AggiungiDaSqlite(i.st, static_cast<int>(k) + 1,
                                                 campi[da_caricare[k]].tipo);
      }
      ++r;
    }
  }
  if (rc != SQLITE_DONE) throw errore();
  if (rowid_ordinati) {
    for (; r < righe; ++r) {
      for (int c : da_caricare) colonne[c].AggiungiNull();
    }
  }
  for (int c : da_caricare) caricata[c] = 1;
  ++generazione;
}

const Criterio& Insieme::Analizza(std::string_view criteri) {
  if (cache[ultima_voce].criterio && cache[ultima_voce].testo == criteri) {
    return *cache[ultima_voce].criterio;
  }
  for (size_t i = 0; i < cache.size(); ++i) {
    if (cache[i].criterio && cache[i].testo == criteri) {
      ultima_voce = i;
      return *cache[i].criterio;
    }
  }
  // A text of the same shape as an entry's, told first by comparing the two outside their
  // literals, then by the shape key.
  bool rifiutata = false;  // a literal the parser refuses: it says which below
  for (size_t k = 0; k < cache.size() && !rifiutata; ++k) {
    const size_t i = (ultima_voce + k) % cache.size();
    VoceCache& v = cache[i];
    if (!v.criterio || !v.con_forma) continue;
    if (!LeggiComeModello(v.testo, v.posti, criteri, forma_letta)) continue;
    if (!v.criterio->ImpostaLetterali(forma_letta)) {
      rifiutata = true;
      break;
    }
    ++versione_criteri;
    v.Ricorda(criteri, forma_letta);
    ultima_voce = i;
    return *v.criterio;
  }
  const bool con_forma = !rifiutata && LeggiForma(criteri, forma_letta);
  if (con_forma) {
    for (size_t i = 0; i < cache.size(); ++i) {
      VoceCache& v = cache[i];
      if (!v.criterio || !v.con_forma || v.forma != forma_letta.chiave) continue;
      if (v.criterio->ImpostaLetterali(forma_letta)) {
        ++versione_criteri;
        v.Ricorda(criteri, forma_letta);
        ultima_voce = i;
        return *v.criterio;
      }
      break;
    }
  }
  auto c = std::make_unique<Criterio>(
      Criterio::Analizza(criteri, [this](std::string_view nome) { return IndiceCampo(nome); }));
  ++versione_criteri;
  ultima_voce = prossima_cache;
  VoceCache& v = cache[prossima_cache];
  prossima_cache = (prossima_cache + 1) % cache.size();
  v.con_forma = con_forma;
  v.forma = con_forma ? forma_letta.chiave : std::string();
  if (con_forma) {
    v.Ricorda(criteri, forma_letta);
  } else {
    v.testo.assign(criteri);
    v.posti.clear();
  }
  v.criterio = std::move(c);
  return *v.criterio;
}

Indice& Insieme::IndiceDi(int colonna) {
  if (!indici[colonna]) indici[colonna] = std::make_unique<Indice>(colonne[colonna]);
  return *indici[colonna];
}

void Insieme::Trova(std::string_view criteri, int64_t da) {
  ControllaUtilizzabile();
  if (modo != Modo::kNormale) {
    throw Errore("Impossibile cercare " + Descrizione() +
                 ": un record aggiunto o modificato attende Update");
  }
  const Criterio& c = Analizza(criteri);
  if (tabella) CaricaColonne(c.Colonne());
  if (da < 0) da = 0;
  uint32_t inizio = static_cast<uint32_t>(da);

  // The merge of candidate lists, in row order, from the positions in `pos`: the first row that
  // meets the criteria becomes current, and `ripresa` remembers where the merge stopped.
  const auto unisci = [&](std::array<size_t, 8>& pos) {
    const size_t k = migliori.size();
    while (true) {
      uint32_t minimo = UINT32_MAX;
      for (size_t j = 0; j < k; ++j) {
        if (pos[j] < migliori[j].size()) minimo = std::min(minimo, migliori[j][pos[j]]);
      }
      if (minimo == UINT32_MAX) break;
      for (size_t j = 0; j < k; ++j) {
        if (pos[j] < migliori[j].size() && migliori[j][pos[j]] == minimo) ++pos[j];
      }
      if (minimo < righe && c.Soddisfa(colonne, minimo)) {
        corrente = minimo;
        nessuna = false;
        ripresa.valida = true;
        ripresa.criterio = &c;
        ripresa.versione = versione_criteri;
        ripresa.generazione = generazione;
        ripresa.da = minimo + 1;
        return true;
      }
    }
    ripresa.valida = false;
    return false;
  };

  if (ripresa.valida && ripresa.criterio == &c && ripresa.versione == versione_criteri &&
      ripresa.generazione == generazione && ripresa.da == inizio) {
    if (!unisci(ripresa.pos)) nessuna = true;
    return;
  }
  ripresa.valida = false;

  // Candidates from the equality with the fewest rows.
  bool indicizzata = false;
  migliori.clear();
  size_t quanti_migliori = SIZE_MAX;
  for (int u : c.Uguaglianze()) {
    const engine_detail::Nodo& n = c.NodoIn(u);
    Indice& ix = IndiceDi(n.colonna);
    candidati.clear();
    if (n.letterale.tipo == engine_detail::Letterale::kNumero) {
      ix.CandidatiNumero(colonne[n.colonna], n.letterale.numero, candidati);
    } else {
      ix.CandidatiTesto(colonne[n.colonna], n.letterale.testo, n.letterale.numerico,
                        n.letterale.numero, candidati);
    }
    size_t quanti = 0;
    for (auto s : candidati) quanti += s.size();
    if (quanti < quanti_migliori) {
      quanti_migliori = quanti;
      migliori.swap(candidati);
      indicizzata = true;
    }
  }

  if (indicizzata) {
    std::array<size_t, 8> pos{};
    for (size_t j = 0; j < migliori.size(); ++j) {
      pos[j] = static_cast<size_t>(
          std::lower_bound(migliori[j].begin(), migliori[j].end(), inizio) - migliori[j].begin());
    }
    if (unisci(pos)) {
      ripresa.pos = pos;
      return;
    }
  } else {
    for (size_t r = inizio; r < righe; ++r) {
      if (c.Soddisfa(colonne, static_cast<uint32_t>(r))) {
        corrente = static_cast<int64_t>(r);
        nessuna = false;
        return;
      }
    }
  }
  nessuna = true;
}

Valore Insieme::Leggi(int indice) {
  ControllaUtilizzabile();
  if (indice < 0 || indice >= static_cast<int>(campi.size())) {
    throw Errore("Campo n. " + std::to_string(indice) + " inesistente " + Descrizione());
  }
  if (modo == Modo::kAggiunta) return impostato[indice] ? buffer[indice] : Valore();
  if (modo == Modo::kModifica) {
    if (!riga_letta && !impostato[indice]) LeggiRigaInModifica();
    return buffer[indice];
  }
  if (corrente < 0 || nessuna || static_cast<size_t>(corrente) >= righe) {
    throw Errore("Nessun record corrente " + Descrizione() + " (lettura del campo '" +
                 campi[indice].nome + "')");
  }
  if (!caricata[indice]) CaricaColonne({indice});
  return colonne[indice].Leggi(static_cast<size_t>(corrente), campi[indice].tipo);
}

void Insieme::ControllaAggiornabile(const char* operazione) const {
  ControllaUtilizzabile();
  if (!tabella) {
    throw Errore(std::string(operazione) + ": recordset non aggiornabile (testo SQL \"" +
                 Abbrevia(origine) + "\")");
  }
  if (conn->sola_lettura) {
    throw Errore(std::string(operazione) + ": il database '" + conn->nome +
                 "' è in sola lettura (tabella '" + nome_tabella + "')");
  }
  conn->ControllaAperta();
}

void Insieme::Scrivi(int indice, const Valore& valore) {
  ControllaUtilizzabile();
  if (indice < 0 || indice >= static_cast<int>(campi.size())) {
    throw Errore("Campo n. " + std::to_string(indice) + " inesistente " + Descrizione());
  }
  if (modo == Modo::kNormale) {
    ControllaAggiornabile(("Impossibile scrivere il campo '" + campi[indice].nome + "'").c_str());
    throw Errore("Impossibile scrivere il campo '" + campi[indice].nome + "' " + Descrizione() +
                 ": manca AddNew o Edit");
  }
  if (GiaDelTipo(campi[indice], valore)) {
    buffer[indice] = valore;
  } else {
    buffer[indice] = Converti(campi[indice], valore);
  }
  impostato[indice] = 1;
}

void Insieme::AddNew() {
  ControllaAggiornabile("AddNew");
  modo = Modo::kAggiunta;
  // The buffer keeps its values (and their memory) from row to row: a field not written since
  // AddNew reads as Null and is not stored.
  buffer.resize(campi.size());
  impostato.assign(campi.size(), 0);
}

void Insieme::Edit() {
  ControllaAggiornabile("Edit");
  if (modo != Modo::kNormale) {
    throw Errore("Edit " + Descrizione() + ": un record aggiunto o modificato attende Update");
  }
  if (corrente < 0 || nessuna || static_cast<size_t>(corrente) >= righe) {
    throw Errore("Edit: nessun record corrente " + Descrizione());
  }
  // The row is read from the file only when a field of it is read before Update: an edit that
  // only writes (the common case) costs the one UPDATE. Update tells a row deleted meanwhile.
  buffer.resize(campi.size());
  impostato.assign(campi.size(), 0);
  riga_letta = false;
  modo = Modo::kModifica;
}

void Insieme::LeggiRigaInModifica() {
  if (!leggi_riga) {
    std::string sql = "SELECT ";
    for (size_t c = 0; c < campi.size(); ++c) sql += (c ? ", " : "") + QuotaNome(campi[c].nome);
    sql += " FROM main." + QuotaNome(nome_tabella) + " WHERE " + colonna_rowid + " = ?1";
    if (sqlite3_prepare_v2(conn->db, sql.c_str(), -1, &leggi_riga, nullptr) != SQLITE_OK) {
      throw Errore("Edit " + Descrizione() + ": " + Ragione(conn->db));
    }
  }
  sqlite3_bind_int64(leggi_riga, 1, rowid[corrente]);
  int rc = sqlite3_step(leggi_riga);
  if (rc != SQLITE_ROW) {
    std::string r = rc == SQLITE_DONE ? "il record è stato eliminato" : Ragione(conn->db);
    sqlite3_reset(leggi_riga);
    modo = Modo::kNormale;  // the edit is over: there is no row to edit
    throw Errore("Edit " + Descrizione() + ": " + r);
  }
  // Fields already written keep the value written.
  for (size_t c = 0; c < campi.size(); ++c) {
    if (impostato[c]) continue;
    appoggio.Azzera();
    appoggio.AggiungiDaSqlite(leggi_riga, static_cast<int>(c), campi[c].tipo);
    buffer[c] = appoggio.Leggi(0, campi[c].tipo);
  }
  sqlite3_reset(leggi_riga);
  riga_letta = true;
}

void Insieme::Update() {
  ControllaUtilizzabile();
  if (modo == Modo::kNormale) throw Errore("Update senza AddNew o Edit " + Descrizione());
  conn->ControllaAperta();
  maschera.resize(campi.size());
  for (size_t c = 0; c < campi.size(); ++c) maschera[c] = impostato[c] ? '1' : '0';
  bool aggiunta = modo == Modo::kAggiunta;
  if (!aggiunta && maschera.find('1') == std::string::npos) {
    if (!riga_letta) LeggiRigaInModifica();  // nothing to store: only that the row is still there
    modo = Modo::kNormale;
    return;
  }
  auto& cache_istruzioni = aggiunta ? inserimenti : aggiornamenti;
  UltimaIstruzione& ultima = ultime_istruzioni[aggiunta ? 0 : 1];
  if (!ultima.st || ultima.maschera != maschera) {
    ultima.st = nullptr;
    ultima.maschera = maschera;
  }
  sqlite3_stmt*& st = ultima.st ? ultima.st : cache_istruzioni[maschera];
  const auto operazione = [&] {
    return aggiunta ? "Impossibile aggiungere il record " + Descrizione()
                    : "Impossibile aggiornare il record " + Descrizione();
  };
  if (!st) {
    std::string sql;
    if (aggiunta) {
      std::string nomi_campi, valori;
      for (size_t c = 0; c < campi.size(); ++c) {
        if (!impostato[c]) continue;
        nomi_campi += (nomi_campi.empty() ? "" : ", ") + QuotaNome(campi[c].nome);
        valori += valori.empty() ? "?" : ", ?";
      }
      sql = "INSERT INTO main." + QuotaNome(nome_tabella) +
            (nomi_campi.empty() ? " DEFAULT VALUES"
                                : " (" + nomi_campi + ") VALUES (" + valori + ")");
    } else {
      std::string assegnazioni;
      for (size_t c = 0; c < campi.size(); ++c) {
        if (!impostato[c]) continue;
        assegnazioni += (assegnazioni.empty() ? "" : ", ") + QuotaNome(campi[c].nome) + " = ?";
      }
      sql = "UPDATE main." + QuotaNome(nome_tabella) + " SET " + assegnazioni + " WHERE " +
            colonna_rowid + " = ?";
    }
    if (sqlite3_prepare_v2(conn->db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      std::string r = Ragione(conn->db);
      cache_istruzioni.erase(maschera);
      throw Errore(operazione() + ": " + r);
    }
  }
  ultima.st = st;
  int k = 0;
  for (size_t c = 0; c < campi.size(); ++c) {
    if (impostato[c]) Lega(st, ++k, buffer[c]);
  }
  if (!aggiunta) sqlite3_bind_int64(st, ++k, rowid[corrente]);
  ++generazione;  // whatever happens next, rows or indexes may change
  int rc = sqlite3_step(st);
  std::string ragione = rc == SQLITE_DONE ? "" : Ragione(conn->db);
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);  // texts were bound without a copy: no pointer into `buffer` stays
  if (rc != SQLITE_DONE) throw Errore(operazione() + ": " + ragione);
  if (!aggiunta && sqlite3_changes(conn->db) == 0) {
    modo = Modo::kNormale;
    throw Errore(operazione() + ": il record è stato eliminato");
  }

  if (aggiunta) {
    int64_t id = sqlite3_last_insert_rowid(conn->db);
    if (!rowid.empty() && id <= rowid.back()) rowid_ordinati = false;
    rowid.push_back(id);
    size_t riga = righe++;
    bool rileggi = false;
    for (size_t c = 0; c < campi.size(); ++c) {
      if (!caricata[c]) continue;
      if (impostato[c]) {
        colonne[c].AggiungiValore(buffer[c]);
      } else {
        colonne[c].AggiungiNull();
        rileggi = rileggi || ha_default[c];
      }
      if (indici[c] && !indici[c]->Segna(static_cast<uint32_t>(riga))) indici[c].reset();
    }
    if (rileggi) {
      // Fields left unset took their default in the file: read them back.
      std::vector<int> caricate;
      for (size_t c = 0; c < campi.size(); ++c) {
        if (caricata[c] && !impostato[c] && ha_default[c]) {
          caricata[c] = 0;
          indici[c].reset();
          caricate.push_back(static_cast<int>(c));
        }
      }
      CaricaColonne(caricate);
    }
  } else {
    for (size_t c = 0; c < campi.size(); ++c) {
      if (!impostato[c] || !caricata[c]) continue;
      colonne[c].Sostituisci(static_cast<size_t>(corrente), buffer[c]);
      if (indici[c] && !indici[c]->Segna(static_cast<uint32_t>(corrente))) indici[c].reset();
    }
  }
  modo = Modo::kNormale;
}

// ---------------------------------------------------------------------------------------------
// Opening a recordset

namespace {

std::string ErroreSql(Connessione& conn, const std::string& sql) {
  std::string m = sqlite3_errmsg(conn.db);
  auto dopo = [&](const char* prefisso) -> std::string {
    return m.rfind(prefisso, 0) == 0 ? m.substr(std::strlen(prefisso)) : std::string();
  };
  std::string dettaglio;
  if (auto t = dopo("no such table: "); !t.empty()) {
    std::string schema = "main", tab = t;
    if (auto p = t.find('.'); p != std::string::npos) {
      schema = t.substr(0, p);
      tab = t.substr(p + 1);
    }
    dettaglio =
        "Tabella '" + tab + "' non trovata nel database '" + conn.FileDiSchema(schema) + "'";
  } else if (auto c = dopo("no such column: "); !c.empty()) {
    dettaglio = "Campo '" + c + "' non trovato";
  } else if (auto c2 = dopo("ambiguous column name: "); !c2.empty()) {
    dettaglio = "nome di campo ambiguo '" + c2 + "'";
  } else if (auto f = dopo("no such function: "); !f.empty()) {
    dettaglio = "funzione '" + f + "' sconosciuta";
  } else if (m.rfind("near \"", 0) == 0 && m.find("syntax error") != std::string::npos) {
    dettaglio = "errore di sintassi vicino a '" + m.substr(6, m.find('"', 6) - 6) + "'";
  } else if (m == "incomplete input") {
    dettaglio = "testo incompleto";
  } else {
    dettaglio = Ragione(conn.db);
  }
  return "Errore nel testo SQL: " + dettaglio + " (database '" + conn.nome + "'): " + sql;
}

// A query compiled, its fields known, its rows not read yet.
struct SqlPronto {
  Istruzione istruzione;
  std::unique_ptr<Insieme> ins;
  std::optional<PianoSomme> piano;
};

SqlPronto PreparaSql(const std::shared_ptr<Connessione>& conn, const std::string& sql,
                     const std::string& origine) {
  std::set<std::string> usati;
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> colonne_note;
  ContestoSql ctx;
  ctx.allega = [&](const std::string& file) { return conn->Allega(file, usati, origine); };
  ctx.tipo_colonna = [&](const std::string& schema, const std::string& tabella,
                         const std::string& colonna) -> std::string {
    std::string chiave = schema + "." + tabella;
    auto it = colonne_note.find(chiave);
    if (it == colonne_note.end()) {
      std::vector<std::pair<std::string, std::string>> elenco;
      Istruzione i;
      std::string q = "PRAGMA " + QuotaNome(schema) + ".table_info(" + QuotaNome(tabella) + ")";
      if (sqlite3_prepare_v2(conn->db, q.c_str(), -1, &i.st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(i.st) == SQLITE_ROW) {
          auto testo = [&](int k) {
            const char* p = reinterpret_cast<const char*>(sqlite3_column_text(i.st, k));
            return std::string(p ? p : "");
          };
          elenco.emplace_back(testo(1), testo(2));
        }
      }
      it = colonne_note.emplace(chiave, std::move(elenco)).first;
    }
    for (const auto& [nome, tipo] : it->second) {
      if (UgualeNoCase(nome, colonna)) return tipo.empty() ? " " : tipo;
    }
    return "";
  };
  SqlTradotto t = TraduciSql(sql, ctx);

  SqlPronto pronto;
  Istruzione& i = pronto.istruzione;
  const char* coda = nullptr;
  if (sqlite3_prepare_v2(conn->db, t.sql.c_str(), static_cast<int>(t.sql.size()), &i.st, &coda) !=
      SQLITE_OK) {
    throw Errore(ErroreSql(*conn, origine));
  }
  if (!i.st || !sqlite3_stmt_readonly(i.st)) {
    throw Errore("Errore nel testo SQL: è ammessa solo un'istruzione Select (database '" +
                 conn->nome + "'): " + origine);
  }
  auto ins = std::make_unique<Insieme>();
  ins->conn = conn;
  ins->origine = origine;
  int n = sqlite3_column_count(i.st);
  for (int c = 0; c < n; ++c) {
    const char* nome = sqlite3_column_name(i.st, c);
    DefinizioneCampo d = TipoDaDichiarato(nome ? nome : "", sqlite3_column_decltype(i.st, c));
    if (!sqlite3_column_decltype(i.st, c)) {
      for (const auto& v : t.colonne_valuta) {
        if (UgualeNoCase(v, d.nome)) d.tipo = TipoCampo::kValuta;
      }
    }
    ins->nomi.Aggiungi(d.nome, c);
    ins->campi.push_back(std::move(d));
  }
  if (n == 0) {
    throw Errore("Errore nel testo SQL: la query non restituisce campi: " + origine);
  }
  ins->caricata.assign(n, 1);
  ins->ha_default.assign(n, 0);
  ins->indici.resize(n);
  pronto.ins = std::move(ins);
  pronto.piano = std::move(t.piano);
  return pronto;
}

// The set of a query whose rows are read.
std::unique_ptr<Insieme> Concludi(SqlPronto& pronto) {
  Insieme& ins = *pronto.ins;
  ins.righe = ins.colonne.empty() ? 0 : ins.colonne[0].Righe();
  ins.corrente = ins.righe > 0 ? 0 : -1;
  return std::move(pronto.ins);
}

// Reads the rows of a prepared query.
std::unique_ptr<Insieme> EseguiSql(SqlPronto& pronto) {
  Insieme& ins = *pronto.ins;
  Connessione& conn = *ins.conn;
  const int n = static_cast<int>(ins.campi.size());
  sqlite3_stmt* st = pronto.istruzione.st;
  ins.colonne.assign(n, Colonna());
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c = 0; c < n; ++c) ins.colonne[c].AggiungiDaSqlite(st, c, ins.campi[c].tipo);
  }
  if (rc != SQLITE_DONE) {
    throw Errore("Errore nel testo SQL: " + Ragione(conn.db) + " (database '" + conn.nome +
                 "'): " + ins.origine);
  }
  return Concludi(pronto);
}

std::unique_ptr<Insieme> ApriSql(const std::shared_ptr<Connessione>& conn, const std::string& sql,
                                 const std::string& origine) {
  SqlPronto pronto = PreparaSql(conn, sql, origine);
  if (pronto.piano && SommePerGruppi(*conn, {{&*pronto.piano, pronto.ins.get()}})) {
    return Concludi(pronto);
  }
  return EseguiSql(pronto);
}

bool ETestoSql(std::string_view s) {
  size_t p = 0;
  while (p < s.size() && (s[p] == ' ' || s[p] == '\t' || s[p] == '\r' || s[p] == '\n')) ++p;
  return s.size() - p >= 6 && UgualeNoCase(s.substr(p, 6), "select") &&
         (s.size() - p == 6 ||
          !(std::isalnum(static_cast<unsigned char>(s[p + 6])) || s[p + 6] == '_'));
}

}  // namespace

void ConfiguraConnessione(sqlite3* db) { Configura(db); }

std::unique_ptr<Insieme> ApriInsieme(const std::shared_ptr<Connessione>& conn,
                                     std::string_view origine) {
  conn->ControllaAperta();
  std::string testo(origine);
  if (ETestoSql(origine)) return ApriSql(conn, testo, testo);

  std::string nome = testo;
  if (nome.size() >= 2 && nome.front() == '[' && nome.back() == ']') {
    nome = nome.substr(1, nome.size() - 2);
  }
  Istruzione q;
  sqlite3_prepare_v2(conn->db,
                     "SELECT type, name FROM main.sqlite_master WHERE type IN ('table', 'view') "
                     "AND name = ?1 COLLATE NOCASE",
                     -1, &q.st, nullptr);
  if (!q.st) throw Errore("Impossibile aprire la tabella '" + nome + "': " + Ragione(conn->db));
  sqlite3_bind_text(q.st, 1, nome.c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(q.st);
  if (rc != SQLITE_ROW) {
    if (rc != SQLITE_DONE) {
      throw Errore("Impossibile aprire la tabella '" + nome + "' del database '" + conn->nome +
                   "': " + Ragione(conn->db));
    }
    throw Errore("Tabella '" + nome + "' non trovata nel database '" + conn->nome + "'");
  }
  std::string tipo = reinterpret_cast<const char*>(sqlite3_column_text(q.st, 0));
  std::string vero_nome = reinterpret_cast<const char*>(sqlite3_column_text(q.st, 1));
  if (tipo == "view") {
    return ApriSql(conn, "SELECT * FROM main." + QuotaNome(vero_nome), testo);
  }

  auto ins = std::make_unique<Insieme>();
  ins->conn = conn;
  ins->origine = testo;
  ins->tabella = true;
  ins->nome_tabella = vero_nome;
  Istruzione info;
  std::string sql_info = "PRAGMA main.table_info(" + QuotaNome(vero_nome) + ")";
  if (sqlite3_prepare_v2(conn->db, sql_info.c_str(), -1, &info.st, nullptr) != SQLITE_OK) {
    throw Errore("Impossibile leggere la tabella '" + vero_nome + "' del database '" + conn->nome +
                 "': " + Ragione(conn->db));
  }
  while (sqlite3_step(info.st) == SQLITE_ROW) {
    const char* n = reinterpret_cast<const char*>(sqlite3_column_text(info.st, 1));
    const char* t = reinterpret_cast<const char*>(sqlite3_column_text(info.st, 2));
    DefinizioneCampo d = TipoDaDichiarato(n ? n : "", t);
    ins->nomi.Aggiungi(d.nome, static_cast<int>(ins->campi.size()));
    ins->campi.push_back(std::move(d));
    ins->ha_default.push_back(sqlite3_column_type(info.st, 4) != SQLITE_NULL);
  }
  for (const char* r : {"rowid", "_rowid_", "oid"}) {
    if (ins->nomi.Cerca(r) < 0) {
      ins->colonna_rowid = r;
      break;
    }
  }
  try {
    ins->CaricaRowid();
  } catch (const Errore&) {
    // A table without rowid: read as a query, not updatable.
    return ApriSql(conn, "SELECT * FROM main." + QuotaNome(vero_nome), testo);
  }
  ins->corrente = ins->righe > 0 ? 0 : -1;
  return ins;
}

std::vector<std::unique_ptr<Insieme>> ApriInsiemi(const std::shared_ptr<Connessione>& conn,
                                                  const std::vector<std::string_view>& origini) {
  conn->ControllaAperta();
  std::vector<std::unique_ptr<Insieme>> insiemi(origini.size());
  std::vector<SqlPronto> pronti;
  std::vector<size_t> posti;  // of the prepared queries in `origini`
  // The queries not worked out together, in their order: an error comes out as opening them
  // one by one would give it.
  const auto esegui_rimaste = [&] {
    for (size_t k = 0; k < pronti.size(); ++k) {
      if (!insiemi[posti[k]]) insiemi[posti[k]] = EseguiSql(pronti[k]);
    }
  };
  for (size_t i = 0; i < origini.size(); ++i) {
    try {
      if (ETestoSql(origini[i])) {
        const std::string testo(origini[i]);
        pronti.push_back(PreparaSql(conn, testo, testo));
        posti.push_back(i);
      } else {
        insiemi[i] = ApriInsieme(conn, origini[i]);
      }
    } catch (const Errore&) {
      esegui_rimaste();
      throw;
    }
  }
  // The grouped sums, table by table.
  std::vector<char> fatto(pronti.size(), 0);
  for (size_t k = 0; k < pronti.size(); ++k) {
    if (!pronti[k].piano || fatto[k]) continue;
    std::vector<std::pair<const PianoSomme*, Insieme*>> insieme;
    std::vector<size_t> membri;
    for (size_t j = k; j < pronti.size(); ++j) {
      if (pronti[j].piano && !fatto[j] &&
          pronti[j].piano->testo_tabella == pronti[k].piano->testo_tabella) {
        insieme.emplace_back(&*pronti[j].piano, pronti[j].ins.get());
        membri.push_back(j);
        fatto[j] = 1;
      }
    }
    if (SommePerGruppi(*conn, insieme)) {
      for (size_t j : membri) insiemi[posti[j]] = Concludi(pronti[j]);
    }
  }
  esegui_rimaste();
  return insiemi;
}

}  // namespace engine_detail

// ---------------------------------------------------------------------------------------------
// Public objects

Valore Campo::Value() const { return insieme_->Leggi(indice_); }
void Campo::SetValue(const Valore& valore) { insieme_->Scrivi(indice_, valore); }

Recordset::Recordset(std::unique_ptr<engine_detail::Insieme> insieme)
    : insieme_(std::move(insieme)) {
  insieme_->conn->insiemi.insert(insieme_.get());
}
Recordset::~Recordset() = default;

void Recordset::FindFirst(std::string_view criteri) { insieme_->Trova(criteri, 0); }
void Recordset::FindNext(std::string_view criteri) {
  insieme_->Trova(criteri, insieme_->corrente < 0 ? 0 : insieme_->corrente + 1);
}
bool Recordset::NoMatch() const {
  insieme_->ControllaUtilizzabile();
  return insieme_->nessuna;
}

Campo Recordset::Fields(std::string_view nome) { return Campo(this, insieme_->IndiceCampo(nome)); }
int Recordset::IndiceCampo(std::string_view nome) const { return insieme_->IndiceCampo(nome); }
int Recordset::NumeroCampi() const {
  insieme_->ControllaUtilizzabile();
  return static_cast<int>(insieme_->campi.size());
}
std::string Recordset::NomeCampo(int indice) const {
  insieme_->ControllaUtilizzabile();
  if (indice < 0 || indice >= static_cast<int>(insieme_->campi.size())) {
    throw Errore("Campo n. " + std::to_string(indice) + " inesistente " + insieme_->Descrizione());
  }
  return insieme_->campi[indice].nome;
}

void Recordset::AddNew() { insieme_->AddNew(); }
void Recordset::Edit() { insieme_->Edit(); }
void Recordset::Update(int tipo, bool forza) {
  if (tipo != dbUpdateRegular || forza) {
    throw Errore("Update: è gestito solo l'aggiornamento normale (dbUpdateRegular, senza forzare)");
  }
  insieme_->Update();
}

void Recordset::MoveLast() {
  insieme_->ControllaUtilizzabile();
  if (insieme_->modo != engine_detail::Insieme::Modo::kNormale) {
    throw Errore("MoveLast " + insieme_->Descrizione() +
                 ": un record aggiunto o modificato attende Update");
  }
  insieme_->corrente = static_cast<int64_t>(insieme_->righe) - 1;
  insieme_->nessuna = false;
}

int64_t Recordset::RecordCount() const {
  insieme_->ControllaUtilizzabile();
  return static_cast<int64_t>(insieme_->righe);
}

void Recordset::Close() {
  if (insieme_->chiuso) return;
  insieme_->Rilascia();
  insieme_->chiuso = true;
}

Valore Recordset::Leggi(int indice) const { return insieme_->Leggi(indice); }
void Recordset::Scrivi(int indice, const Valore& valore) { insieme_->Scrivi(indice, valore); }

Database::Database(std::shared_ptr<engine_detail::Connessione> connessione)
    : connessione_(std::move(connessione)) {}

Database::~Database() {
  try {
    Close();
  } catch (...) {
    // Nothing to report from a destructor: the file is released in any case.
  }
}

std::unique_ptr<Recordset> Database::OpenRecordset(std::string_view origine, int tipo) {
  connessione_->ControllaAperta();
  if (tipo != dbOpenDynaset) {
    throw Errore("OpenRecordset: tipo di recordset " + std::to_string(tipo) +
                 " non gestito (solo dbOpenDynaset)");
  }
  return std::unique_ptr<Recordset>(
      new Recordset(engine_detail::ApriInsieme(connessione_, origine)));
}

std::vector<std::unique_ptr<Recordset>> Database::OpenRecordsets(
    const std::vector<std::string_view>& origini) {
  std::vector<std::unique_ptr<Recordset>> insiemi;
  for (auto& i : engine_detail::ApriInsiemi(connessione_, origini)) {
    insiemi.push_back(std::unique_ptr<Recordset>(new Recordset(std::move(i))));
  }
  return insiemi;
}

void Database::ElencoTabelle::Append(const TableDef& tabella) {
  Connessione& c = *db_->connessione_;
  c.ControllaAperta();
  std::string operazione =
      "Impossibile creare la tabella '" + tabella.Name() + "' nel database '" + c.nome + "'";
  if (c.sola_lettura) throw Errore(operazione + ": il database è in sola lettura");
  if (tabella.Name().empty()) throw Errore(operazione + ": nome della tabella vuoto");
  const auto& campi = tabella.Fields.Elenco();
  if (campi.empty()) throw Errore(operazione + ": la tabella non ha campi");
  std::string sql = "CREATE TABLE main." + engine_detail::QuotaNome(tabella.Name()) + " (";
  engine_detail::MappaNomi visti;
  for (size_t i = 0; i < campi.size(); ++i) {
    const Field& f = campi[i];
    if (f.nome.empty()) throw Errore(operazione + ": un campo non ha nome");
    if (visti.Cerca(f.nome) >= 0) throw Errore(operazione + ": campo '" + f.nome + "' ripetuto");
    visti.Aggiungi(f.nome, static_cast<int>(i));
    std::string tipo;
    switch (f.tipo) {
      case dbBoolean:
        tipo = "BOOLEAN";
        break;
      case dbInteger:
        tipo = "SMALLINT";
        break;
      case dbLong:
        tipo = "INTEGER";
        break;
      case dbCurrency:
        tipo = "CURRENCY";
        break;
      case dbDouble:
        tipo = "DOUBLE";
        break;
      case dbDate:
        tipo = "DATETIME";
        break;
      case dbText:
        tipo = "VARCHAR(" + std::to_string(f.dimensione > 0 ? f.dimensione : 255) + ")";
        break;
      default:
        throw Errore(operazione + ": tipo " + std::to_string(f.tipo) + " del campo '" + f.nome +
                     "' non gestito");
    }
    sql += (i ? ", " : "") + engine_detail::QuotaNome(f.nome) + " " + tipo;
  }
  sql += ")";
  if (sqlite3_exec(c.db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    std::string m = sqlite3_errmsg(c.db);
    if (m.find("already exists") != std::string::npos) {
      throw Errore("La tabella '" + tabella.Name() + "' esiste già nel database '" + c.nome + "'");
    }
    throw Errore(operazione + ": " + engine_detail::Ragione(c.db));
  }
}

void Database::BeginTrans() {
  auto& c = *connessione_;
  int livello = c.transazioni;
  c.Esegui(livello == 0 ? "BEGIN" : "SAVEPOINT vx" + std::to_string(livello),
           "BeginTrans sul database '" + c.nome + "'");
  ++c.transazioni;
}

void Database::CommitTrans() {
  auto& c = *connessione_;
  c.ControllaAperta();
  if (c.transazioni == 0)
    throw Errore("CommitTrans senza BeginTrans sul database '" + c.nome + "'");
  int livello = c.transazioni - 1;
  c.Esegui(livello == 0 ? "COMMIT" : "RELEASE vx" + std::to_string(livello),
           "CommitTrans sul database '" + c.nome + "'");
  --c.transazioni;
}

void Database::Rollback() {
  auto& c = *connessione_;
  c.ControllaAperta();
  if (c.transazioni == 0) throw Errore("Rollback senza BeginTrans sul database '" + c.nome + "'");
  int livello = c.transazioni - 1;
  c.Esegui(livello == 0 ? "ROLLBACK"
                        : "ROLLBACK TO vx" + std::to_string(livello) + "; RELEASE vx" +
                              std::to_string(livello),
           "Rollback sul database '" + c.nome + "'");
  --c.transazioni;
  // The table sets show the file again as it now is.
  for (Insieme* i : c.insiemi) {
    if (i->tabella && !i->chiuso) i->Ricarica();
  }
}

void Database::Close() {
  if (connessione_) connessione_->Chiudi();
}

const std::string& Database::Name() const { return connessione_->nome; }

bool Database::HaTabella(std::string_view nome) const {
  engine_detail::Connessione& conn = *connessione_;
  conn.ControllaAperta();
  engine_detail::Istruzione q;
  sqlite3_prepare_v2(conn.db,
                     "SELECT 1 FROM main.sqlite_master WHERE type IN ('table', 'view') "
                     "AND name = ?1 COLLATE NOCASE",
                     -1, &q.st, nullptr);
  if (!q.st) {
    throw Errore("Impossibile leggere le tabelle del database '" + conn.nome +
                 "': " + engine_detail::Ragione(conn.db));
  }
  sqlite3_bind_text(q.st, 1, nome.data(), static_cast<int>(nome.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(q.st);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    throw Errore("Impossibile leggere le tabelle del database '" + conn.nome +
                 "': " + engine_detail::Ragione(conn.db));
  }
  return rc == SQLITE_ROW;
}

std::unique_ptr<Database> Workspace::CreateDatabase(const std::string& nome, std::string_view) {
  return std::unique_ptr<Database>(
      new Database(engine_detail::CreaConnessione(motore_->motore_, nome)));
}

DBEngine::DBEngine(std::filesystem::path cartella)
    : motore_(std::make_shared<engine_detail::Motore>()), workspace_(this) {
  motore_->cartella = std::move(cartella);
}

const std::filesystem::path& DBEngine::Cartella() const { return motore_->cartella; }
DBEngine::~DBEngine() = default;

Workspace& DBEngine::Workspaces(int indice) {
  if (indice != 0)
    throw Errore("Workspaces(" + std::to_string(indice) + "): workspace inesistente");
  return workspace_;
}

void DBEngine::FileDiLavoro(const std::string& nome) {
  motore_->AggiungiFileDiLavoro(
      engine_detail::Canonico(engine_detail::RisolviPercorso(nome, motore_->cartella)));
}

std::unique_ptr<Database> DBEngine::OpenDatabase(const std::string& nome) {
  return std::unique_ptr<Database>(new Database(engine_detail::ApriConnessione(motore_, nome)));
}

}  // namespace vendrix
