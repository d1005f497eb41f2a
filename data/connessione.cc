#include "data/connessione.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "data/errore.h"
#include "data/file_database.h"
#include "data/insieme.h"
#include "data/jet.h"
#include "data/sql_dialetto.h"
#include "data/sqlite_motore.h"

namespace vendrix::engine_detail {

namespace fs = std::filesystem;

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
                                const std::string& /*sql*/) {
  fs::path percorso = RisolviPercorso(file, motore->cartella);
  std::string canon = Canonico(percorso);
  if (canon == canonico) return "main";
  auto it = allegati.find(canon);
  if (it != allegati.end()) {
    usati.insert(it->second.schema);
    return it->second.schema;
  }
  Formato f = ControllaFile(percorso, file, " nominato nel testo SQL");
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
      throw Errore("Errore nel testo SQL: troppi database nominati con In");
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
      throw Errore("Impossibile aprire il database '" + file +
                   "' nominato nel testo SQL durante una transazione");
    }
    throw Errore("Impossibile aprire il database '" + file +
                 "' nominato nel testo SQL: " + Ragione(db));
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

// Where SQLite puts its temporary files (sorts, large results), in the order it looks.
namespace {

std::string CartellaTemporaneaSqlite() {
  if (sqlite3_temp_directory != nullptr) return sqlite3_temp_directory;
  for (const char* variabile : {"SQLITE_TMPDIR", "TMPDIR"}) {
    const char* valore = std::getenv(variabile);
    std::error_code ec;
    if (valore != nullptr && *valore && fs::is_directory(valore, ec)) return valore;
  }
  for (const char* cartella : {"/var/tmp", "/usr/tmp", "/tmp"}) {
    if (::access(cartella, W_OK | X_OK) == 0) return cartella;
  }
  return ".";
}

}  // namespace

std::string ErroreLettura(Connessione& conn) {
  const int codice = conn.db ? (sqlite3_extended_errcode(conn.db) & 0xFF) : SQLITE_NOMEM;
  const std::string file = "'" + conn.nome + "'";
  switch (codice) {
    case SQLITE_FULL:
      // A query only reads its databases: what fills up is where SQLite sorts.
      return "Spazio esaurito nella cartella dei file temporanei " + CartellaTemporaneaSqlite() +
             " durante la lettura del database " + file + ": liberare spazio e riprovare.";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return "Il database " + file +
             " è danneggiato o non è un database: ripararlo o sostituirlo con una copia "
             "integra, poi riprovare.";
    case SQLITE_IOERR:
      return "Errore di lettura o scrittura del database " + file +
             ": controllare il disco e riprovare.";
    case SQLITE_NOMEM:
      return "Memoria esaurita durante la lettura del database " + file +
             ": chiudere altri programmi e riprovare.";
    default:
      break;
  }
  const std::string m = Messaggio(conn.db);
  if (m.rfind("Overflow", 0) == 0) {
    return "Una somma degli importi del database " + file +
           " è troppo grande per il tipo Valuta: correggere gli importi nei file dell'albergo e "
           "ripetere il calcolo.";
  }
  return "Impossibile leggere il database " + file + ": " + Ragione(conn.db) + ".";
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
  ConfiguraConnessione(c->db);
  // The header says SQLite; reading the schema tells a damaged file at once.
  if (sqlite3_exec(c->db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
      SQLITE_OK) {
    std::string r = ErroreLettura(*c);
    c->Chiudi();
    throw Errore(r);
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
    ConfiguraConnessione(c->db);
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

}  // namespace vendrix::engine_detail
