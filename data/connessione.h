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

namespace vendrix::engine_detail {

struct Insieme;

// What lives as long as the engine or any database opened through it: the in-memory copies of
// the Access files read so far and the work files. Databases may be opened through one engine
// from several threads at once, so every member is reached under `mutex`.
struct Motore {
  struct CopiaJet {
    std::string uri;
    sqlite3* db = nullptr;  // keeps the in-memory copy alive
  };
  // The folder relative file names are taken in; set once, before any database is opened.
  std::filesystem::path cartella;
  std::mutex mutex;
  std::map<std::string, CopiaJet> copie_jet;  // by canonical path
  int contatore = 0;
  std::set<std::string> file_di_lavoro;  // canonical paths

  Motore() = default;
  Motore(const Motore&) = delete;
  Motore& operator=(const Motore&) = delete;
  ~Motore();
  // The URI of the in-memory copy of the Access file at `percorso` (canonical path
  // `canonico`), importing it on first use. Two threads asking for the same file import it once.
  std::string UriJet(const std::string& percorso, const std::string& canonico,
                     const std::string& nome);
  void AggiungiFileDiLavoro(const std::string& canonico);
  bool EFileDiLavoro(const std::string& canonico);
};

// One open database file.
struct Connessione {
  std::shared_ptr<Motore> motore;
  sqlite3* db = nullptr;
  std::string nome;      // as the caller named it
  std::string canonico;  // canonical path of the file
  bool sola_lettura = false;
  bool chiusa = false;
  int transazioni = 0;
  struct Allegato {
    std::string schema;
    std::string file;  // as named in the SQL text
  };
  std::map<std::string, Allegato> allegati;  // by canonical path
  int prossimo_schema = 1;
  std::set<Insieme*> insiemi;  // live recordsets, released when the database closes

  Connessione() = default;
  Connessione(const Connessione&) = delete;
  Connessione& operator=(const Connessione&) = delete;
  ~Connessione();
  void Chiudi();
  void ControllaAperta() const;
  // Runs a statement that returns no rows; throws Errore with `operazione` and SQLite's reason.
  void Esegui(const std::string& sql, const std::string& operazione);
  // The schema of the file named `file` in an SQL text, attaching it read-only on first use.
  // `usati` collects the schemas the current text needs, which are never detached for it.
  std::string Allega(const std::string& file, std::set<std::string>& usati, const std::string& sql);
  // The file behind a schema name, for messages.
  std::string FileDiSchema(const std::string& schema) const;
};

// Why a query (a Select) of `conn` could not be carried out, for the user: what went wrong with
// which file or folder, and what to do. Never the SQL text.
std::string ErroreLettura(Connessione& conn);

// Opens the database file `nome` (relative names inside the engine's folder); throws Errore when
// it is missing or not a database.
std::shared_ptr<Connessione> ApriConnessione(const std::shared_ptr<Motore>& motore,
                                             const std::string& nome);
// Creates the database file `nome`; throws Errore when it exists or cannot be written.
std::shared_ptr<Connessione> CreaConnessione(const std::shared_ptr<Motore>& motore,
                                             const std::string& nome);

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_CONNESSIONE_H_
