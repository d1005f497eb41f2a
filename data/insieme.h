#ifndef VENDRIX_DATA_INSIEME_H_
#define VENDRIX_DATA_INSIEME_H_

// The rows of a recordset and its state: the columns read so far, the finds over them, and the
// row being added or edited.

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "data/connessione.h"
#include "data/criteri.h"
#include "data/righe.h"

namespace vendrix::engine_detail {

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
  // Fields of a table set whose position a caller asked for (IndiceCampo, Fields by name): they
  // will be read, so they are read from the file with the next column that is.
  mutable std::vector<char> richiesti;
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
  // The prepared INSERT (or UPDATE) of the fields set in `maschera`.
  sqlite3_stmt* IstruzioneDi(bool aggiunta);
  std::string OperazioneDiUpdate(bool aggiunta) const;
  // After an INSERT: the new row joins the columns read so far and their indexes.
  void RigaAggiunta();
  void ControllaAggiornabile(const char* operazione) const;
};

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_INSIEME_H_
