#include "data/connessione.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "comune/testo.h"
#include "data/errore.h"
#include "data/file_database.h"
#include "data/insieme.h"
#include "data/jet.h"
#include "data/sql_dialetto.h"
#include "data/sqlite_motore.h"

namespace vendrix::engine_detail {

namespace fs = std::filesystem;

Motore::~Motore() = default;

void Motore::AggiungiFileDiLavoro(const std::string& canonico) {
  std::lock_guard<std::mutex> blocco(mutex_);
  file_di_lavoro_.insert(canonico);
}

bool Motore::EFileDiLavoro(const std::string& canonico) {
  std::lock_guard<std::mutex> blocco(mutex_);
  return file_di_lavoro_.count(canonico) > 0;
}

std::string Motore::UriJet(const std::string& percorso, const std::string& canonico) {
  std::lock_guard<std::mutex> blocco(mutex_);
  auto it = copie_jet_.find(canonico);
  if (it != copie_jet_.end()) return it->second.first;
  auto copia = std::make_unique<jet::Copia>(percorso, jet::Limiti{}, cartella_);
  // Nobody changes the copy while it lives: SQLite may read it without locks or checks.
  std::string uri = UriFile(copia->Percorso(), "?mode=ro&immutable=1");
  copie_jet_.emplace(canonico, std::make_pair(uri, std::move(copia)));
  return uri;
}

Connessione::~Connessione() { Chiudi(); }

void Connessione::Chiudi() {
  if (chiusa_) return;
  chiusa_ = true;
  for (Insieme* i : std::set<Insieme*>(insiemi_)) i->Chiudi(true);
  insiemi_.clear();
  if (db_ && in_transazione_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  in_transazione_ = false;
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void Connessione::ControllaAperta() const {
  if (chiusa_) throw Errore("Il database '" + nome_ + "' è chiuso");
}

void Connessione::Esegui(const std::string& sql, const std::string& operazione) {
  ControllaAperta();
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    throw Errore(operazione + ": " + Ragione(db_));
  }
}

void Connessione::BeginTrans() {
  Esegui("BEGIN", "BeginTrans sul database '" + nome_ + "'");
  in_transazione_ = true;
}

void Connessione::CommitTrans() {
  ControllaAperta();
  if (!in_transazione_) throw Errore("CommitTrans senza BeginTrans sul database '" + nome_ + "'");
  Esegui("COMMIT", "CommitTrans sul database '" + nome_ + "'");
  in_transazione_ = false;
}

void Connessione::Rollback() {
  ControllaAperta();
  if (!in_transazione_) throw Errore("Rollback senza BeginTrans sul database '" + nome_ + "'");
  Esegui("ROLLBACK", "Rollback sul database '" + nome_ + "'");
  in_transazione_ = false;
  for (Insieme* i : insiemi_) i->Ricarica();
}

std::string Connessione::Allega(const std::string& file, std::set<std::string>& usati) {
  fs::path percorso = RisolviPercorso(file, motore_->Cartella());
  std::string canon = Canonico(percorso);
  if (canon == canonico_) return "main";
  auto it = allegati_.find(canon);
  if (it != allegati_.end()) return *usati.insert(it->second.first).first;
  Formato f = ControllaFile(percorso, file, " nominato nel testo SQL");
  std::string uri = f == Formato::kJet ? motore_->UriJet(percorso.string(), canon)
                                       : UriFile(percorso, "?mode=ro");
  // At SQLite's limit, a file the current text does not need makes room.
  if (static_cast<int>(allegati_.size()) >= sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, -1)) {
    auto libero = std::find_if(allegati_.begin(), allegati_.end(),
                               [&](const auto& a) { return !usati.count(a.second.first); });
    if (libero == allegati_.end())
      throw Errore("Errore nel testo SQL: troppi database nominati con In");
    Esegui("DETACH " + QuotaNome(libero->second.first),
           "Impossibile staccare il database '" + libero->second.second + "'");
    allegati_.erase(libero);
  }
  const std::string schema = "vxf" + std::to_string(++schemi_);
  Istruzione i;
  std::string attach = "ATTACH ?1 AS " + QuotaNome(schema);
  if (sqlite3_prepare_v2(db_, attach.c_str(), -1, &i.st, nullptr) != SQLITE_OK) {
    throw Errore("Impossibile aprire il database '" + file + "': " + Ragione(db_));
  }
  sqlite3_bind_text(i.st, 1, uri.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(i.st) != SQLITE_DONE) {
    if (!sqlite3_get_autocommit(db_)) {
      throw Errore("Impossibile aprire il database '" + file +
                   "' nominato nel testo SQL durante una transazione");
    }
    throw Errore("Impossibile aprire il database '" + file +
                 "' nominato nel testo SQL: " + Ragione(db_));
  }
  allegati_[canon] = {schema, file};
  return *usati.insert(schema).first;
}

std::string Connessione::FileDiSchema(const std::string& schema) const {
  for (const auto& [canon, a] : allegati_) {
    if (a.first == schema) return a.second;
  }
  return nome_;
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

std::string ErroreLettura(const Connessione& conn) {
  const int codice = conn.Db() ? (sqlite3_extended_errcode(conn.Db()) & 0xFF) : SQLITE_NOMEM;
  const std::string file = "'" + conn.Nome() + "'";
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
  const std::string m = Messaggio(conn.Db());
  if (m.rfind("Overflow", 0) == 0) {
    return "Una somma degli importi del database " + file +
           " è troppo grande per il tipo Valuta: correggere gli importi nei file dell'albergo e "
           "ripetere il calcolo.";
  }
  return "Impossibile leggere il database " + file + ": " + Ragione(conn.Db()) + ".";
}

std::shared_ptr<Connessione> Connessione::Apri(const std::shared_ptr<Motore>& motore,
                                               const std::string& nome) {
  fs::path percorso = RisolviPercorso(nome, motore->Cartella());
  Formato f = ControllaFile(percorso, nome, "");
  auto c = std::make_shared<Connessione>(motore, nome);
  c->canonico_ = Canonico(percorso);
  std::string uri;
  int flag = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
  if (f == Formato::kJet) {
    uri = motore->UriJet(percorso.string(), c->canonico_);
    flag |= SQLITE_OPEN_READONLY;
  } else {
    uri = UriFile(percorso, nullptr);
    flag |= SQLITE_OPEN_READWRITE;
  }
  if (sqlite3_open_v2(uri.c_str(), &c->db_, flag, nullptr) != SQLITE_OK) {
    std::string r = Ragione(c->db_);
    c->Chiudi();
    throw Errore("Impossibile aprire il database '" + nome + "': " + r);
  }
  ConfiguraConnessione(c->db_);
  // The header says SQLite; reading the schema tells a damaged file at once.
  if (sqlite3_exec(c->db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
      SQLITE_OK) {
    std::string r = ErroreLettura(*c);
    c->Chiudi();
    throw Errore(r);
  }
  c->sola_lettura_ = sqlite3_db_readonly(c->db_, "main") == 1;
  if (f == Formato::kSqlite && !c->sola_lettura_ && motore->EFileDiLavoro(c->canonico_) &&
      ConfiguraFileDiLavoro(c->db_) != SQLITE_OK) {
    std::string r = Ragione(c->db_);
    c->Chiudi();
    throw Errore("Impossibile aprire il database '" + nome + "': " + r);
  }
  return c;
}

std::shared_ptr<Connessione> Connessione::Crea(const std::shared_ptr<Motore>& motore,
                                               const std::string& nome) {
  fs::path percorso = RisolviPercorso(nome, motore->Cartella());
  std::error_code ec;
  if (fs::exists(percorso, ec) || fs::is_symlink(percorso, ec)) {
    throw Errore("Impossibile creare il database '" + nome + "': il file esiste già");
  }
  auto c = std::make_shared<Connessione>(motore, nome);
  int rc = sqlite3_open_v2(
      UriFile(percorso, nullptr).c_str(), &c->db_,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
  // SQLite writes nothing until the first change: the header is written now, so that the new
  // file is a database from its first byte.
  if (rc == SQLITE_OK) {
    ConfiguraConnessione(c->db_);
    if (motore->EFileDiLavoro(Canonico(percorso))) rc = ConfiguraFileDiLavoro(c->db_);
  }
  if (rc == SQLITE_OK) {
    rc = sqlite3_exec(c->db_, "PRAGMA user_version = 1", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    std::string r = Ragione(c->db_);
    c->Chiudi();
    fs::remove(percorso, ec);
    throw Errore("Impossibile creare il database '" + nome + "': " + r);
  }
  c->canonico_ = Canonico(percorso);
  return c;
}

}  // namespace vendrix::engine_detail
