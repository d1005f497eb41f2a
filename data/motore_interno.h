#ifndef VENDRIX_DATA_MOTORE_INTERNO_H_
#define VENDRIX_DATA_MOTORE_INTERNO_H_

// The engine's inner objects behind DBEngine, Database and Recordset: the engine state shared by
// its connections, one SQLite connection per open database file, and the rows of a recordset.

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "data/criteri.h"
#include "data/righe.h"
#include "data/sql_dialetto.h"

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

// Case-insensitive field names of a recordset.
class MappaNomi {
 public:
  void Aggiungi(const std::string& nome, int indice);
  int Cerca(std::string_view nome) const;  // -1 when missing

 private:
  struct Voce {
    uint64_t hash;
    std::string nome;
    int indice;
  };
  std::vector<Voce> voci_;
};

// The rows of a recordset and its state.
struct Insieme {
  std::shared_ptr<Connessione> conn;
  std::string origine;  // table name or SQL text, for messages
  bool tabella = false;
  std::string nome_tabella;
  std::string colonna_rowid = "rowid";
  std::vector<DefinizioneCampo> campi;
  std::vector<char> ha_default;
  MappaNomi nomi;
  std::vector<Colonna> colonne;
  std::vector<char> caricata;
  std::vector<int64_t> rowid;
  bool rowid_ordinati = true;
  size_t righe = 0;
  int64_t corrente = -1;
  bool nessuna = false;
  bool chiuso = false;
  bool chiuso_con_database = false;
  enum class Modo { kNormale, kAggiunta, kModifica } modo = Modo::kNormale;
  std::vector<Valore> buffer;
  std::vector<char> impostato;
  bool riga_letta = false;  // in an edit: the row has been read into `buffer`
  std::vector<std::unique_ptr<Indice>> indici;

  // The criteria parsed last: a run builds a new text for every stay and day, all alike but for
  // their literals, so a tree is parsed once and then only given the literals of the new text.
  struct VoceCache {
    std::string testo;                        // the text whose literals the tree holds now
    std::vector<FormaCriterio::Posto> posti;  // where those literals stand in `testo`
    std::unique_ptr<Criterio> criterio;
    void Ricorda(std::string_view nuovo, const FormaCriterio& letta) {
      testo.assign(nuovo);
      posti.clear();
      for (const auto& pezzo : letta.letterali) posti.push_back(pezzo.posto);
    }
  };
  std::array<VoceCache, 8> cache;
  size_t prossima_cache = 0;
  size_t ultima_voce = 0;     // the entry of the last find, tried first
  FormaCriterio forma_letta;  // scratch of Analizza

  std::map<std::string, sqlite3_stmt*> inserimenti, aggiornamenti;
  std::string maschera;  // fields set in the row being stored, '1' or '0' per field
  sqlite3_stmt* leggi_riga = nullptr;
  Colonna appoggio;  // one cell, to read a row of the file into values
  std::array<std::vector<std::span<const uint32_t>>, 2> candidati;  // scratch of Candidati

  Insieme() = default;
  Insieme(const Insieme&) = delete;
  Insieme& operator=(const Insieme&) = delete;
  ~Insieme();

  // Frees the statements and the rows; the set can no longer be used.
  void Rilascia();
  void ControllaUtilizzabile() const;
  std::string Descrizione() const;
  int IndiceCampo(std::string_view nome) const;
  void CaricaColonne(const std::vector<int>& indici_colonne);
  void CaricaRowid();
  // After a rollback: the rows are read again from the file.
  void Ricarica();
  // The parsed criteria of `criteri`, valid until the next call.
  const Criterio& Analizza(std::string_view criteri);
  Indice& IndiceDi(int colonna);
  void Trova(std::string_view criteri, int64_t da);
  // The candidate lists of the criteria's equality with the fewest rows, or null when no
  // equality restricts the rows.
  const std::vector<std::span<const uint32_t>>* Candidati(const Criterio& c);
  Valore Leggi(int indice);
  void Scrivi(int indice, const Valore& valore);
  void AddNew();
  void Edit();
  // Reads the row being edited from the file into the fields not written yet.
  void LeggiRigaInModifica();
  void Update();
  void ControllaAggiornabile(const char* operazione) const;
};

// Gives a connection of SQLite's the engine's own functions and settings.
void ConfiguraConnessione(sqlite3* db);

// What an exact Currency sum adds for one value of SQLite's: its ten-thousandths in `n`, nothing
// for Null, or why it cannot be added.
enum class ValoreSomma { kNumero, kNessuno, kFuoriLimiti, kNonNumero };
ValoreSomma DecimillesimiDaSommare(sqlite3_value* v, int64_t& n);

// Fills the rows of each set, whose fields its grouped query (the plan beside it) has already
// set, by reading the plans' table once and adding up by group. The plans are of one table.
// False when that cannot give exactly what SQLite would give: the queries are then left to
// SQLite (the rows of the sets are filled again from nothing).
bool SommePerGruppi(Connessione& conn,
                    const std::vector<std::pair<const PianoSomme*, Insieme*>>& richieste);

std::shared_ptr<Connessione> ApriConnessione(const std::shared_ptr<Motore>& motore,
                                             const std::string& nome);
std::shared_ptr<Connessione> CreaConnessione(const std::shared_ptr<Motore>& motore,
                                             const std::string& nome);
std::unique_ptr<Insieme> ApriInsieme(const std::shared_ptr<Connessione>& conn,
                                     std::string_view origine);
std::vector<std::unique_ptr<Insieme>> ApriInsiemi(const std::shared_ptr<Connessione>& conn,
                                                  const std::vector<std::string_view>& origini);

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_MOTORE_INTERNO_H_
