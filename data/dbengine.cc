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
Campo& Campo::operator=(const Valore& valore) {
  insieme_->Scrivi(indice_, valore);
  return *this;
}

Recordset::Recordset(std::unique_ptr<engine_detail::Insieme> insieme)
    : insieme_(std::move(insieme)) {}
Recordset::~Recordset() = default;

void Recordset::FindFirst(std::string_view criteri) { insieme_->Trova(criteri, false); }
void Recordset::FindNext(std::string_view criteri) { insieme_->Trova(criteri, true); }
bool Recordset::NoMatch() const { return insieme_->NoMatch(); }
Campo Recordset::Fields(std::string_view nome) {
  return Campo(insieme_.get(), insieme_->IndiceCampo(nome));
}
int Recordset::IndiceCampo(std::string_view nome) const { return insieme_->IndiceCampo(nome); }
int Recordset::NumeroCampi() const { return insieme_->NumeroCampi(); }
std::string Recordset::NomeCampo(int indice) const { return insieme_->NomeCampo(indice); }
void Recordset::AddNew() { insieme_->AddNew(); }
void Recordset::Edit() { insieme_->Edit(); }
void Recordset::Update() { insieme_->Update(); }
void Recordset::MoveLast() { insieme_->MoveLast(); }
int64_t Recordset::RecordCount() const { return insieme_->RecordCount(); }
void Recordset::Close() { insieme_->Chiudi(false); }

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

namespace {
// The declared SQLite type of each field type; a text field adds its size.
constexpr std::pair<int, const char*> kTipiSql[] = {
    {dbBoolean, "BOOLEAN"}, {dbInteger, "SMALLINT"}, {dbLong, "INTEGER"}, {dbCurrency, "CURRENCY"},
    {dbDouble, "DOUBLE"},   {dbDate, "DATETIME"},    {dbText, "VARCHAR"},
};
}  // namespace

void Database::ElencoTabelle::Append(const TableDef& tabella) {
  Connessione& c = *db_->connessione_;
  c.ControllaAperta();
  std::string operazione =
      "Impossibile creare la tabella '" + tabella.Name() + "' nel database '" + c.Nome() + "'";
  if (c.SolaLettura()) throw Errore(operazione + ": il database è in sola lettura");
  if (tabella.Name().empty()) throw Errore(operazione + ": nome della tabella vuoto");
  const auto& campi = tabella.Fields.Elenco();
  if (campi.empty()) throw Errore(operazione + ": la tabella non ha campi");
  std::string sql = "CREATE TABLE main." + QuotaNome(tabella.Name()) + " (";
  engine_detail::MappaNomi visti;
  for (size_t i = 0; i < campi.size(); ++i) {
    const Field& f = campi[i];
    if (f.nome.empty()) throw Errore(operazione + ": un campo non ha nome");
    if (visti.Cerca(f.nome) >= 0) throw Errore(operazione + ": campo '" + f.nome + "' ripetuto");
    visti.Aggiungi(f.nome, static_cast<int>(i));
    std::string tipo;
    for (const auto& [codice, nome] : kTipiSql) {
      if (codice == f.tipo) tipo = nome;
    }
    if (f.tipo == dbText) tipo += "(" + std::to_string(f.dimensione > 0 ? f.dimensione : 255) + ")";
    if (tipo.empty()) {
      throw Errore(operazione + ": tipo " + std::to_string(f.tipo) + " del campo '" + f.nome +
                   "' non gestito");
    }
    sql += (i ? ", " : "") + QuotaNome(f.nome) + " " + tipo;
  }
  sql += ")";
  if (sqlite3_exec(c.Db(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    std::string m = sqlite3_errmsg(c.Db());
    if (m.find("already exists") != std::string::npos) {
      throw Errore("La tabella '" + tabella.Name() + "' esiste già nel database '" + c.Nome() +
                   "'");
    }
    throw Errore(operazione + ": " + engine_detail::Ragione(c.Db()));
  }
}

void Database::BeginTrans() { connessione_->BeginTrans(); }
void Database::CommitTrans() { connessione_->CommitTrans(); }
void Database::Rollback() { connessione_->Rollback(); }

void Database::Close() {
  if (connessione_) connessione_->Chiudi();
}

const std::string& Database::Name() const { return connessione_->Nome(); }

bool Database::HaTabella(std::string_view nome) const {
  const Connessione& conn = *connessione_;
  conn.ControllaAperta();
  engine_detail::Istruzione q;
  sqlite3_prepare_v2(conn.Db(),
                     "SELECT 1 FROM main.sqlite_master WHERE type IN ('table', 'view') "
                     "AND name = ?1 COLLATE NOCASE",
                     -1, &q.st, nullptr);
  sqlite3_bind_text(q.st, 1, nome.data(), static_cast<int>(nome.size()), SQLITE_TRANSIENT);
  const int rc = q.st ? sqlite3_step(q.st) : SQLITE_ERROR;
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    throw Errore("Impossibile leggere le tabelle del database '" + conn.Nome() +
                 "': " + engine_detail::Ragione(conn.Db()));
  }
  return rc == SQLITE_ROW;
}

std::unique_ptr<Database> Workspace::CreateDatabase(const std::string& nome) {
  return std::unique_ptr<Database>(new Database(Connessione::Crea(motore_->motore_, nome)));
}

DBEngine::DBEngine(std::filesystem::path cartella)
    : motore_(std::make_shared<engine_detail::Motore>(std::move(cartella))), workspace_(this) {}
DBEngine::~DBEngine() = default;

const std::filesystem::path& DBEngine::Cartella() const { return motore_->Cartella(); }
Workspace& DBEngine::Workspaces() { return workspace_; }

void DBEngine::FileDiLavoro(const std::string& nome) {
  motore_->AggiungiFileDiLavoro(
      engine_detail::Canonico(engine_detail::RisolviPercorso(nome, motore_->Cartella())));
}

std::unique_ptr<Database> DBEngine::OpenDatabase(const std::string& nome) {
  return std::unique_ptr<Database>(new Database(Connessione::Apri(motore_, nome)));
}

}  // namespace vendrix
