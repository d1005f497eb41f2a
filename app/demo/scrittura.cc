#include "app/demo/scrittura.h"

#include "data/errore.h"
#include "data/tabelle.h"

namespace vendrix::demo::dettaglio {

namespace t = vendrix::tabelle;

namespace {

constexpr const char* kPiccolo = "SMALLINT";  // 16-bit integer
constexpr const char* kLungo = "INTEGER";     // 32-bit integer
constexpr const char* kValuta = "CURRENCY";
constexpr const char* kData = "VARCHAR(8)";  // date key YYYYMMDD
constexpr const char* kCodice = "VARCHAR(10)";

std::vector<CampoHotel> SchedaCliente() {
  return {{t::kNumeroHotel, kPiccolo},      {t::kNumeroProgressivo, kLungo},
          {t::kNomeCliente, "VARCHAR(60)"}, {t::kNumeroCamera, kCodice},
          {t::kDataArrivo, kData},          {t::kDataPartenza, kData},
          {t::kDataPartenzaReale, kData},   {t::kPartito, "VARCHAR(1)"},
          {t::kNumeroComponente, kPiccolo}, {t::kCodiceCapoFamiglia, kLungo},
          {t::kCodiceCapoGruppo, kLungo}};
}

std::vector<CampoHotel> DittaIntestataria() {
  return {{t::kNumeroHotel, kPiccolo},
          {t::kCodiceCliente, kLungo},
          {t::kRagioneSociale, "VARCHAR(100)"}};
}

std::vector<CampoHotel> Arrangiamento() {
  return {
      {t::kNumeroHotel, kPiccolo},      {t::kCodiceCliente, kLungo}, {t::kNumeroCamera, kCodice},
      {t::kDataInizio, kData},          {t::kDataFine, kData},       {t::kImportoTotale, kValuta},
      {t::kDescrizione, "VARCHAR(60)"}, {t::kVoceAddebito, kLungo},  {t::kArrangiamento, kCodice}};
}

}  // namespace

const std::vector<TabellaHotel>& TabelleHotel() {
  static const std::vector<TabellaHotel> tabelle = {
      {t::kFileTipiCamere,
       t::kTipiCamere,
       {{t::kNumeroHotel, kPiccolo},
        {t::kSigla, kCodice},
        {t::kTipologia, "VARCHAR(1)"},
        {t::kDescrizione, "VARCHAR(50)"},
        {t::kQuantita, kPiccolo}}},
      {t::kFileNumeriCamere,
       t::kNumeriCamere,
       {{t::kNumeroHotel, kPiccolo}, {t::kNumeroCamera, kCodice}, {t::kTipoCamera, kCodice}}},
      {t::kFileCamerePrenotazione,
       t::kCamerePrenotazione,
       {{t::kNumeroHotel, kPiccolo},
        {t::kNumeroPrenotazione, kLungo},
        {t::kNumeroCamera, kCodice},
        {t::kDataArrivo, kData},
        {t::kDataPartenza, kData},
        {t::kTipoCamera, kCodice},
        {t::kQuantitaCamere, kPiccolo},
        {t::kNumeroPersone, kPiccolo}}},
      {t::kFileSchedaPrenotazione,
       t::kSchedaPrenotazione,
       {{t::kNumeroHotel, kPiccolo},
        {t::kNumeroPrenotazione, kLungo},
        {t::kTipoPrenotazione, "VARCHAR(1)"},
        {t::kDitta, "VARCHAR(100)"}}},
      {t::kFileSchedaCliente, t::kSchedaCliente, SchedaCliente()},
      {t::kFileDittaIntestataria, t::kDittaIntestataria, DittaIntestataria()},
      {t::kFileArrangiamento, t::kArrangiamento, Arrangiamento()},
      {t::kFileVociFattura,
       t::kVociFattura,
       {{t::kNumeroHotel, kPiccolo},
        {t::kCodice, kLungo},
        {t::kDescrizione, "VARCHAR(60)"},
        {t::kReparto, kCodice}}},
      {t::kFileArrangiamenti,
       t::kNomiArrangiamenti,
       {{t::kNumeroHotel, kPiccolo},
        {t::kSigla, kCodice},
        {t::kDescrizione, "VARCHAR(60)"},
        {t::kTipo, "VARCHAR(1)"}}},
      {t::kFileSchedaStorico, t::kSchedaCliente, SchedaCliente()},
      {t::kFileDittaStorico, t::kDittaIntestataria, DittaIntestataria()},
      {t::kFileArrangiamentoStorico, t::kArrangiamento, Arrangiamento()},
  };
  return tabelle;
}

const TabellaHotel& TabellaDelFile(std::string_view file) {
  for (const TabellaHotel& tabella : TabelleHotel()) {
    if (file == tabella.file) return tabella;
  }
  throw Errore("Il file '" + std::string(file) + "' non fa parte dei file dell'hotel");
}

FileSqlite::FileSqlite(const std::string& percorso, bool crea) : percorso_(percorso) {
  int modo = SQLITE_OPEN_READWRITE | (crea ? SQLITE_OPEN_CREATE : 0);
  int esito = sqlite3_open_v2(percorso.c_str(), &db_, modo, nullptr);
  if (esito != SQLITE_OK) {
    std::string motivo = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(esito);
    sqlite3_close(db_);
    db_ = nullptr;
    throw Errore("Impossibile aprire il file '" + percorso + "': " + motivo);
  }
  sqlite3_extended_result_codes(db_, 1);
}

FileSqlite::~FileSqlite() {
  // A transaction still open here belongs to a write that failed: closing drops it.
  if (db_) sqlite3_close_v2(db_);
}

void FileSqlite::Esegui(const std::string& sql, std::string_view cosa) {
  char* messaggio = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &messaggio) != SQLITE_OK) {
    std::string motivo = messaggio ? messaggio : UltimoErrore();
    sqlite3_free(messaggio);
    throw Errore("Errore nel file '" + percorso_ + "' (" + std::string(cosa) + "): " + motivo);
  }
}

void FileSqlite::Chiudi() {
  if (!db_) return;
  int esito = sqlite3_close(db_);
  if (esito != SQLITE_OK) {
    throw Errore("Impossibile chiudere il file '" + percorso_ + "': " + UltimoErrore());
  }
  db_ = nullptr;
}

std::string FileSqlite::UltimoErrore() const {
  return db_ ? sqlite3_errmsg(db_) : "file non aperto";
}

Inseritore::Inseritore(FileSqlite& file, std::string tabella, const std::vector<std::string>& campi)
    : file_(file), tabella_(std::move(tabella)), campi_(static_cast<int>(campi.size())) {
  if (campi.empty()) {
    throw Errore("Nessun campo indicato per la tabella '" + tabella_ + "' del file '" +
                 file_.Percorso() + "'");
  }
  std::string sql = "INSERT INTO " + QuotaNome(tabella_) + " (";
  std::string segnaposti;
  for (size_t i = 0; i < campi.size(); ++i) {
    sql += (i ? ", " : "") + QuotaNome(campi[i]);
    segnaposti += i ? ", ?" : "?";
  }
  sql += ") VALUES (" + segnaposti + ")";
  Controlla(sqlite3_prepare_v2(file_.Handle(), sql.c_str(), -1, &istruzione_, nullptr),
            "preparazione dell'inserimento");
}

Inseritore::~Inseritore() { sqlite3_finalize(istruzione_); }

int Inseritore::Prossimo() {
  if (legati_ >= campi_) {
    throw Errore("Troppi valori per una riga della tabella '" + tabella_ + "' del file '" +
                 file_.Percorso() + "'");
  }
  return ++legati_;
}

Inseritore& Inseritore::Null() {
  int i = Prossimo();
  Controlla(sqlite3_bind_null(istruzione_, i), "valore");
  return *this;
}

Inseritore& Inseritore::Testo(std::string_view testo) {
  int i = Prossimo();
  Controlla(sqlite3_bind_text(istruzione_, i, testo.data(), static_cast<int>(testo.size()),
                              SQLITE_TRANSIENT),
            "valore");
  return *this;
}

Inseritore& Inseritore::Intero(int64_t n) {
  int i = Prossimo();
  Controlla(sqlite3_bind_int64(istruzione_, i, n), "valore");
  return *this;
}

Inseritore& Inseritore::Reale(double x) {
  int i = Prossimo();
  Controlla(sqlite3_bind_double(istruzione_, i, x), "valore");
  return *this;
}

void Inseritore::Riga() {
  if (legati_ != campi_) {
    throw Errore("Riga incompleta per la tabella '" + tabella_ + "' del file '" + file_.Percorso() +
                 "': " + std::to_string(legati_) + " valori su " + std::to_string(campi_) +
                 " campi");
  }
  int esito = sqlite3_step(istruzione_);
  sqlite3_reset(istruzione_);
  if (esito != SQLITE_DONE) Controlla(esito, "inserimento di una riga");
  legati_ = 0;
  ++righe_;
}

void Inseritore::Controlla(int esito, std::string_view cosa) {
  if (esito == SQLITE_OK || esito == SQLITE_DONE) return;
  throw Errore("Errore nella tabella '" + tabella_ + "' del file '" + file_.Percorso() + "' (" +
               std::string(cosa) + "): " + file_.UltimoErrore());
}

}  // namespace vendrix::demo::dettaglio
