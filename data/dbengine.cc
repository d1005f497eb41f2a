#include "data/dbengine.h"

#include "data/apertura.h"
#include "data/connessione.h"
#include "data/file_database.h"
#include "data/insieme.h"
#include "data/sql_dialetto.h"
#include "data/sqlite_motore.h"

namespace vendrix {

using engine_detail::Connessione;
using engine_detail::Insieme;

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
void Recordset::Update() { insieme_->Update(); }

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

std::unique_ptr<Recordset> Database::OpenRecordset(std::string_view origine) {
  connessione_->ControllaAperta();
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

std::unique_ptr<Database> Workspace::CreateDatabase(const std::string& nome) {
  return std::unique_ptr<Database>(
      new Database(engine_detail::CreaConnessione(motore_->motore_, nome)));
}

DBEngine::DBEngine(std::filesystem::path cartella)
    : motore_(std::make_shared<engine_detail::Motore>()), workspace_(this) {
  motore_->cartella = std::move(cartella);
}

const std::filesystem::path& DBEngine::Cartella() const { return motore_->cartella; }
DBEngine::~DBEngine() = default;

Workspace& DBEngine::Workspaces() { return workspace_; }

void DBEngine::FileDiLavoro(const std::string& nome) {
  motore_->AggiungiFileDiLavoro(
      engine_detail::Canonico(engine_detail::RisolviPercorso(nome, motore_->cartella)));
}

std::unique_ptr<Database> DBEngine::OpenDatabase(const std::string& nome) {
  return std::unique_ptr<Database>(new Database(engine_detail::ApriConnessione(motore_, nome)));
}

}  // namespace vendrix
