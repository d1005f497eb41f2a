#ifndef VENDRIX_DATA_CONNESSIONE_H_
#define VENDRIX_DATA_CONNESSIONE_H_

// The engine state shared by its connections, and one SQLite connection per open database file
// with the files its SQL texts attach.

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "data/jet.h"

namespace vendrix::engine_detail {

class Insieme;

// What lives as long as the engine or any database opened through it: the copies of the Access
// files read so far and the work files. Databases may be opened through one engine
// from several threads at once: every member is reached under one mutex.
class Motore {
 public:
  // `cartella`: the folder relative file names are taken in.
  explicit Motore(std::filesystem::path cartella) : cartella_(std::move(cartella)) {}
  Motore(const Motore&) = delete;
  Motore& operator=(const Motore&) = delete;
  ~Motore();

  const std::filesystem::path& Cartella() const { return cartella_; }
  // The URI of the checked SQLite copy of the Access file at `percorso` (canonical path
  // `canonico`), made on first use; throws Errore naming the file. Two threads asking for the
  // same file have it copied once.
  std::string UriJet(const std::string& percorso, const std::string& canonico);
  // Declares, and tells, the work files by canonical path (DBEngine::FileDiLavoro).
  void AggiungiFileDiLavoro(const std::string& canonico);
  bool EFileDiLavoro(const std::string& canonico);

 private:
  const std::filesystem::path cartella_;
  std::mutex mutex_;
  std::map<std::string, std::pair<std::string, std::unique_ptr<jet::Copia>>> copie_jet_;  // URI
  std::set<std::string> file_di_lavoro_;
};

// One open database file. Its sets are released when it closes.
class Connessione {
 public:
  // Opens the database file `nome` (relative names inside the engine's folder); throws Errore
  // when it is missing or not a database.
  static std::shared_ptr<Connessione> Apri(const std::shared_ptr<Motore>& motore,
                                           const std::string& nome);
  // Creates the database file `nome`; throws Errore when it exists or cannot be written.
  static std::shared_ptr<Connessione> Crea(const std::shared_ptr<Motore>& motore,
                                           const std::string& nome);
  Connessione(std::shared_ptr<Motore> motore, std::string nome)
      : motore_(std::move(motore)), nome_(std::move(nome)) {}
  Connessione(const Connessione&) = delete;
  Connessione& operator=(const Connessione&) = delete;
  ~Connessione();

  sqlite3* Db() const { return db_; }
  // The file as the caller named it.
  const std::string& Nome() const { return nome_; }
  bool SolaLettura() const { return sola_lettura_; }
  // Rolls back an open transaction, releases the sets and the file.
  void Chiudi();
  // Throws Errore when the database is closed.
  void ControllaAperta() const;
  // Runs a statement that returns no rows; throws Errore with `operazione` and SQLite's reason.
  void Esegui(const std::string& sql, const std::string& operazione);
  // One transaction at a time over the whole file; after a rollback the table sets show the
  // file as it is again.
  void BeginTrans();
  void CommitTrans();
  void Rollback();
  // The schema of the file named `file` in an SQL text, attaching it read-only on first use.
  // `usati` collects the schemas the current text needs, which are never detached for it.
  std::string Allega(const std::string& file, std::set<std::string>& usati);
  // The file behind a schema name, for messages.
  std::string FileDiSchema(const std::string& schema) const;
  // The sets opened on the file, released when it closes.
  void Registra(Insieme* insieme) { insiemi_.insert(insieme); }
  void Dimentica(Insieme* insieme) { insiemi_.erase(insieme); }

 private:
  std::shared_ptr<Motore> motore_;
  sqlite3* db_ = nullptr;
  std::string nome_;
  std::string canonico_;  // canonical path of the file
  bool sola_lettura_ = false;
  bool chiusa_ = false;
  bool in_transazione_ = false;
  int schemi_ = 0;                                                       // schemas named so far
  std::map<std::string, std::pair<std::string, std::string>> allegati_;  // canonical: schema, file
  std::set<Insieme*> insiemi_;
};

// Why a query (a Select) of `conn` could not be carried out, for the user: what went wrong with
// which file or folder, and what to do. Never the SQL text.
std::string ErroreLettura(const Connessione& conn);

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_CONNESSIONE_H_
