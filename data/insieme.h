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
#include "data/errore.h"
#include "data/righe.h"

namespace vendrix::engine_detail {

// Case-insensitive field names of a recordset.
class MappaNomi {
 public:
  // Adds `nome` at position `indice`; of two equal names the first wins.
  void Aggiungi(const std::string& nome, int indice);
  // The position of `nome`, in any case of letters; -1 when missing.
  int Cerca(std::string_view nome) const;

 private:
  std::vector<std::pair<std::string, int>> voci_;
};

// The rows of a recordset. A set over a table reads a column from the file the first time a find
// or a read needs it, and writes through to the file; a set over an SQL text holds the rows it
// was given. Every operation throws Errore, naming the set, once the set or its database is
// closed.
class Insieme {
 public:
  // A set over the table `tabella` of `conn`, of fields `campi` (`ha_default`: which take a
  // default in the file), its rows those of the file now. Throws Errore when the rows cannot be
  // listed (a table without rowid).
  Insieme(std::shared_ptr<Connessione> conn, std::string origine, std::string tabella,
          std::vector<DefinizioneCampo> campi, std::vector<char> ha_default);
  // A read-only set of the fields `campi` of an SQL text `origine`, without rows until Riempi.
  Insieme(std::shared_ptr<Connessione> conn, std::string origine,
          std::vector<DefinizioneCampo> campi);
  Insieme(const Insieme&) = delete;
  Insieme& operator=(const Insieme&) = delete;
  ~Insieme();

  const std::vector<DefinizioneCampo>& Campi() const { return campi_; }
  // Gives a set of an SQL text its rows, one column per field; the first becomes current.
  void Riempi(std::vector<Colonna> colonne);

  // Makes current the first row that meets `criteri`, from the first row or from the one after
  // the current one; NoMatch tells when there is none.
  void Trova(std::string_view criteri, bool dopo_corrente);
  bool NoMatch() const;
  // The position of the field `nome`; throws Errore when the set has none.
  int IndiceCampo(std::string_view nome) const;
  int NumeroCampi() const;
  // The name of the field at `indice`; throws Errore when there is none.
  const std::string& NomeCampo(int indice) const;
  // The field at `indice` of the current row, or of the row being added or edited.
  Valore Leggi(int indice);
  // Writes the field at `indice` of the row being added or edited, converted to its type.
  void Scrivi(int indice, const Valore& valore);
  void AddNew();
  void Edit();
  // Stores the row being added or edited; throws Errore naming the set when it cannot.
  void Update();
  void MoveLast();
  int64_t RecordCount() const;
  // Frees the rows: any later use throws, saying that the database was closed when
  // `con_database`.
  void Chiudi(bool con_database);
  // After a rollback: the rows are those of the file again.
  void Ricarica();

 private:
  enum class Modo { kNormale, kAggiunta, kModifica };

  // Throw Errore when the set is closed, or has no field at `indice`; on every read and write.
  void ControllaUtilizzabile() const {
    if (chiuso_) Chiuso();
  }
  void ControllaCampo(int indice) const {
    ControllaUtilizzabile();
    if (indice < 0 || static_cast<size_t>(indice) >= campi_.size()) CampoInesistente(indice);
  }
  [[noreturn]] void Chiuso() const;
  [[noreturn]] void CampoInesistente(int indice) const;
  void ControllaAggiornabile(const char* operazione) const;
  std::string Descrizione() const;
  Errore ErroreLetturaTabella() const;
  void CaricaColonne(std::vector<int> da_caricare);
  // The parsed criteria of `criteri`, valid until the next call.
  const Criterio& Analizza(std::string_view criteri);
  // The candidate lists of the criteria's equality with the fewest rows, or null when no
  // equality restricts the rows.
  const std::vector<std::span<const uint32_t>>* Candidati(const Criterio& c);
  // Reads the row being edited from the file into the fields not written yet.
  void LeggiRigaInModifica();
  // The prepared INSERT (or UPDATE) of the fields set in `maschera_`.
  sqlite3_stmt* IstruzioneDi(bool aggiunta);
  std::string OperazioneDiUpdate(bool aggiunta) const;
  // After an INSERT: the new row joins the columns read so far and their indexes.
  void RigaAggiunta();

  std::shared_ptr<Connessione> conn_;
  std::string origine_;  // table name or SQL text, for messages
  std::string tabella_;  // empty for a set of an SQL text
  std::string colonna_rowid_ = "rowid";
  std::vector<DefinizioneCampo> campi_;
  std::vector<char> ha_default_;
  MappaNomi nomi_;
  std::vector<Colonna> colonne_;
  std::vector<char> caricata_;
  // Fields of a table set whose position a caller asked for (IndiceCampo): they will be read,
  // so they are read from the file with the next column that is.
  mutable std::vector<char> richiesti_;
  std::vector<int64_t> rowid_;
  bool rowid_ordinati_ = true;
  size_t righe_ = 0;
  int64_t corrente_ = -1;
  bool nessuna_ = false;
  bool chiuso_ = false;
  bool chiuso_con_database_ = false;
  Modo modo_ = Modo::kNormale;
  std::vector<Valore> buffer_;
  std::vector<char> impostato_;
  bool riga_letta_ = false;  // in an edit: the row has been read into `buffer_`
  std::vector<std::unique_ptr<Indice>> indici_;

  // The criteria parsed last: a run builds a new text for every stay and day, all alike but for
  // their literals, so a tree is parsed once and then only given the literals of the new text.
  struct VoceCache {
    std::string testo;                        // the text whose literals the tree holds now
    std::vector<FormaCriterio::Posto> posti;  // where those literals stand in `testo`
    std::unique_ptr<Criterio> criterio;
  };
  std::array<VoceCache, 8> cache_;
  size_t prossima_cache_ = 0;
  size_t ultima_voce_ = 0;     // the entry of the last find, tried first
  FormaCriterio forma_letta_;  // scratch of Analizza

  std::map<std::string, sqlite3_stmt*> inserimenti_, aggiornamenti_;
  std::string maschera_;  // fields set in the row being stored, '1' or '0' per field
  sqlite3_stmt* leggi_riga_ = nullptr;
  std::array<std::vector<std::span<const uint32_t>>, 2> candidati_;  // scratch of Candidati
};

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_INSIEME_H_
