#include "data/insieme.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "comune/date.h"
#include "comune/testo.h"
#include "data/errore.h"
#include "data/sql_dialetto.h"
#include "data/sqlite_motore.h"

namespace vendrix::engine_detail {

void MappaNomi::Aggiungi(const std::string& nome, int indice) {
  if (Cerca(nome) < 0) voci_.emplace_back(nome, indice);
}

int MappaNomi::Cerca(std::string_view nome) const {
  for (const auto& [voce, indice] : voci_) {
    if (UgualeNoCase(voce, nome)) return indice;
  }
  return -1;
}

namespace {

// Converts a value to the type of the field it is written into.
Valore Converti(const DefinizioneCampo& campo, const Valore& v) {
  if (v.IsNull()) return v;
  try {
    switch (campo.tipo) {
      case TipoCampo::kIntero:
      case TipoCampo::kLungo: {
        const int64_t n = v.Intero();
        const int64_t limite = campo.tipo == TipoCampo::kIntero ? INT16_MAX : INT32_MAX;
        if (n < -limite - 1 || n > limite) throw Errore("Overflow");
        if (campo.tipo == TipoCampo::kIntero) return Valore(static_cast<int16_t>(n));
        return Valore(static_cast<int32_t>(n));
      }
      case TipoCampo::kValuta:
        return Valore(v.ComeValuta());
      case TipoCampo::kDoppio:
        // The file keeps no negative zero: the row holds what reading it back gives.
        return Valore(v.Numero() + 0.0);
      case TipoCampo::kTesto: {
        // A text longer than the field is cut to the field's size.
        const std::string testo = v.Tipo() == TipoValore::kTesto ? v.ComeTesto() : v.Testo();
        if (campo.dimensione <= 0 || testo.size() <= static_cast<size_t>(campo.dimensione)) {
          return Valore(testo);
        }
        return Valore(std::string(PrimiCaratteri(testo, campo.dimensione)));
      }
      case TipoCampo::kBooleano:
        return Valore(v.Numero() != 0);
      case TipoCampo::kData:
        return v.Tipo() == TipoValore::kData ? v : Valore(DataOra{v.Numero()});
      case TipoCampo::kDinamico:
        return v;
    }
  } catch (const Errore& e) {
    if (std::string_view(e.what()).starts_with("Overflow")) {
      throw Errore("Overflow nel campo '" + campo.nome + "': " + v.Testo() +
                   " non entra nel tipo del campo");
    }
    throw Errore("Tipo non corrispondente nel campo '" + campo.nome + "': " + e.what());
  }
  return v;
}

void Lega(sqlite3_stmt* st, int k, const Valore& v) {
  switch (v.Tipo()) {
    case TipoValore::kNull:
      sqlite3_bind_null(st, k);
      break;
    case TipoValore::kTesto:
      sqlite3_bind_text(st, k, v.ComeTesto().data(), static_cast<int>(v.ComeTesto().size()),
                        SQLITE_STATIC);
      break;
    case TipoValore::kIntero:
    case TipoValore::kLungo:
      sqlite3_bind_int64(st, k, v.Intero());
      break;
    case TipoValore::kBooleano:
      sqlite3_bind_int(st, k, v.Intero() != 0 ? 1 : 0);
      break;
    case TipoValore::kValuta: {
      // As a plain decimal number, so that any SQLite tool reads the amount; read back exact.
      int64_t n = v.ComeValuta().Decimillesimi();
      if (n % 10000 == 0) {
        sqlite3_bind_int64(st, k, n / 10000);
      } else {
        sqlite3_bind_double(st, k, static_cast<double>(n) / 10000.0);
      }
      break;
    }
    case TipoValore::kDoppio:
    case TipoValore::kData:
      sqlite3_bind_double(st, k, v.Numero());
      break;
  }
}

std::string Abbrevia(const std::string& s) {
  return s.size() <= 300 ? s : s.substr(0, 300) + "...";
}

}  // namespace

Insieme::Insieme(std::shared_ptr<Connessione> conn, std::string origine, std::string tabella,
                 std::vector<DefinizioneCampo> campi, std::vector<char> ha_default)
    : Insieme(std::move(conn), std::move(origine), std::move(campi)) {
  tabella_ = std::move(tabella);
  ha_default_ = std::move(ha_default);
  for (const char* r : {"rowid", "_rowid_", "oid"}) {
    if (nomi_.Cerca(r) < 0) {
      colonna_rowid_ = r;
      break;
    }
  }
  richiesti_.assign(campi_.size(), 0);
  Ricarica();
}

Insieme::Insieme(std::shared_ptr<Connessione> conn, std::string origine,
                 std::vector<DefinizioneCampo> campi)
    : conn_(std::move(conn)), origine_(std::move(origine)), campi_(std::move(campi)) {
  for (size_t c = 0; c < campi_.size(); ++c) nomi_.Aggiungi(campi_[c].nome, static_cast<int>(c));
  caricata_.assign(campi_.size(), 1);
  indici_.resize(campi_.size());
  conn_->Registra(this);
}

Insieme::~Insieme() {
  Chiudi(false);
  conn_->Dimentica(this);
}

void Insieme::Chiudi(bool con_database) {
  if (chiuso_) return;
  chiuso_ = true;
  chiuso_con_database_ = con_database;
  for (auto& [k, st] : inserimenti_) sqlite3_finalize(st);
  for (auto& [k, st] : aggiornamenti_) sqlite3_finalize(st);
  sqlite3_finalize(leggi_riga_);
  leggi_riga_ = nullptr;
  inserimenti_.clear();
  aggiornamenti_.clear();
  std::vector<Colonna>().swap(colonne_);
  std::vector<int64_t>().swap(rowid_);
  indici_.clear();
  cache_ = {};
  righe_ = 0;
}

void Insieme::Riempi(std::vector<Colonna> colonne) {
  colonne_ = std::move(colonne);
  righe_ = colonne_.empty() ? 0 : colonne_[0].Righe();
  corrente_ = righe_ > 0 ? 0 : -1;
}

std::string Insieme::Descrizione() const {
  if (!tabella_.empty()) {
    return "nella tabella '" + tabella_ + "' del database '" + conn_->Nome() + "'";
  }
  return "nel risultato del testo SQL \"" + Abbrevia(origine_) + "\"";
}

void Insieme::Chiuso() const {
  if (chiuso_con_database_) {
    throw Errore("Recordset '" + Abbrevia(origine_) + "' non utilizzabile: il database '" +
                 conn_->Nome() + "' è stato chiuso");
  }
  throw Errore("Recordset '" + Abbrevia(origine_) + "' già chiuso");
}

void Insieme::CampoInesistente(int indice) const {
  throw Errore("Campo n. " + std::to_string(indice) + " inesistente " + Descrizione());
}

int Insieme::IndiceCampo(std::string_view nome) const {
  ControllaUtilizzabile();
  int i = nomi_.Cerca(nome);
  if (i < 0) throw Errore("Campo '" + std::string(nome) + "' non trovato " + Descrizione());
  if (static_cast<size_t>(i) < richiesti_.size()) richiesti_[i] = 1;
  return i;
}

int Insieme::NumeroCampi() const {
  ControllaUtilizzabile();
  return static_cast<int>(campi_.size());
}

const std::string& Insieme::NomeCampo(int indice) const {
  ControllaCampo(indice);
  return campi_[indice].nome;
}

bool Insieme::NoMatch() const {
  ControllaUtilizzabile();
  return nessuna_;
}

int64_t Insieme::RecordCount() const {
  ControllaUtilizzabile();
  return static_cast<int64_t>(righe_);
}

void Insieme::MoveLast() {
  ControllaUtilizzabile();
  if (modo_ != Modo::kNormale) {
    throw Errore("MoveLast " + Descrizione() + ": un record aggiunto o modificato attende Update");
  }
  corrente_ = static_cast<int64_t>(righe_) - 1;
  nessuna_ = false;
}

Errore Insieme::ErroreLetturaTabella() const {
  return Errore("Impossibile leggere la tabella '" + tabella_ + "' del database '" + conn_->Nome() +
                "': " + Ragione(conn_->Db()));
}

void Insieme::Ricarica() {
  if (tabella_.empty() || chiuso_) return;
  Istruzione i;
  std::string sql = "SELECT " + colonna_rowid_ + " FROM main." + QuotaNome(tabella_) +
                    " ORDER BY " + colonna_rowid_;
  if (sqlite3_prepare_v2(conn_->Db(), sql.c_str(), -1, &i.st, nullptr) != SQLITE_OK) {
    throw ErroreLetturaTabella();
  }
  rowid_.clear();
  int rc;
  while ((rc = sqlite3_step(i.st)) == SQLITE_ROW) rowid_.push_back(sqlite3_column_int64(i.st, 0));
  if (rc != SQLITE_DONE) throw ErroreLetturaTabella();
  righe_ = rowid_.size();
  rowid_ordinati_ = true;
  colonne_.assign(campi_.size(), Colonna());
  caricata_.assign(campi_.size(), 0);
  indici_.clear();
  indici_.resize(campi_.size());
  modo_ = Modo::kNormale;
  corrente_ = righe_ > 0 ? 0 : -1;
  nessuna_ = false;
}

void Insieme::CaricaColonne(std::vector<int> da_caricare) {
  std::erase_if(da_caricare, [&](int c) { return caricata_[c]; });
  if (da_caricare.empty()) return;
  for (size_t c = 0; c < richiesti_.size(); ++c) {
    if (richiesti_[c] && !caricata_[c] &&
        std::find(da_caricare.begin(), da_caricare.end(), static_cast<int>(c)) ==
            da_caricare.end()) {
      da_caricare.push_back(static_cast<int>(c));
    }
  }
  conn_->ControllaAperta();
  std::string sql = "SELECT " + colonna_rowid_;
  for (int c : da_caricare) sql += ", " + QuotaNome(campi_[c].nome);
  sql += " FROM main." + QuotaNome(tabella_) + " ORDER BY " + colonna_rowid_;
  Istruzione i;
  if (sqlite3_prepare_v2(conn_->Db(), sql.c_str(), -1, &i.st, nullptr) != SQLITE_OK) {
    throw ErroreLetturaTabella();
  }
  for (int c : da_caricare) {
    colonne_[c].Svuota();
    colonne_[c].Riserva(righe_);
  }
  // The set holds the rows it had when opened plus those it added, in rowid order: a row
  // deleted since reads as Null, a row added by someone else is not part of the set.
  std::unordered_map<int64_t, size_t> posizione;
  if (!rowid_ordinati_) {
    for (size_t r = 0; r < righe_; ++r) posizione.emplace(rowid_[r], r);
    for (int c : da_caricare) {
      for (size_t r = 0; r < righe_; ++r) colonne_[c].AggiungiNull();
    }
  }
  size_t r = 0;
  int rc;
  while ((rc = sqlite3_step(i.st)) == SQLITE_ROW) {
    int64_t id = sqlite3_column_int64(i.st, 0);
    if (!rowid_ordinati_) {
      auto it = posizione.find(id);
      if (it == posizione.end()) continue;
      for (size_t k = 0; k < da_caricare.size(); ++k) {
        const TipoCampo tipo = campi_[da_caricare[k]].tipo;
        colonne_[da_caricare[k]].Sostituisci(
            it->second, Colonna::ValoreDaSqlite(i.st, static_cast<int>(k) + 1, tipo));
      }
      continue;
    }
    while (r < righe_ && rowid_[r] < id) {
      for (int c : da_caricare) colonne_[c].AggiungiNull();
      ++r;
    }
    if (r < righe_ && rowid_[r] == id) {
      for (size_t k = 0; k < da_caricare.size(); ++k) {
        colonne_[da_caricare[k]].AggiungiDaSqlite(i.st, static_cast<int>(k) + 1,
                                                  campi_[da_caricare[k]].tipo);
      }
      ++r;
    }
  }
  if (rc != SQLITE_DONE) throw ErroreLetturaTabella();
  if (rowid_ordinati_) {
    for (; r < righe_; ++r) {
      for (int c : da_caricare) colonne_[c].AggiungiNull();
    }
  }
  for (int c : da_caricare) caricata_[c] = 1;
}

const Criterio& Insieme::Analizza(std::string_view criteri) {
  for (size_t k = 0; k < cache_.size(); ++k) {
    const size_t i = (ultima_voce_ + k) % cache_.size();
    VoceCache& v = cache_[i];
    if (!v.criterio) continue;
    if (v.testo == criteri) {
      ultima_voce_ = i;
      return *v.criterio;
    }
    if (!LeggiComeModello(v.testo, v.posti, criteri, forma_letta_)) continue;
    // A literal the tree refuses (a number that reads as none): the parser says which.
    if (!v.criterio->ImpostaLetterali(forma_letta_)) break;
    v.testo.assign(criteri);
    v.posti.clear();
    for (const auto& pezzo : forma_letta_.letterali) v.posti.push_back(pezzo.posto);
    ultima_voce_ = i;
    return *v.criterio;
  }
  auto c = std::make_unique<Criterio>(
      Criterio::Analizza(criteri, [this](std::string_view nome) { return IndiceCampo(nome); }));
  ultima_voce_ = prossima_cache_;
  prossima_cache_ = (prossima_cache_ + 1) % cache_.size();
  VoceCache& v = cache_[ultima_voce_];
  v.testo.assign(criteri);
  v.posti = c->Posti();
  v.criterio = std::move(c);
  return *v.criterio;
}

void Insieme::Trova(std::string_view criteri, bool dopo_corrente) {
  ControllaUtilizzabile();
  if (modo_ != Modo::kNormale) {
    throw Errore("Impossibile cercare " + Descrizione() +
                 ": un record aggiunto o modificato attende Update");
  }
  const Criterio& c = Analizza(criteri);
  if (!tabella_.empty()) CaricaColonne(c.Colonne());
  const auto inizio = static_cast<uint32_t>(dopo_corrente && corrente_ >= 0 ? corrente_ + 1 : 0);
  nessuna_ = false;
  const std::vector<std::span<const uint32_t>>* lista = Candidati(c);
  if (!lista) {
    for (size_t r = inizio; r < righe_; ++r) {
      if (c.Soddisfa(colonne_, static_cast<uint32_t>(r))) {
        corrente_ = static_cast<int64_t>(r);
        return;
      }
    }
    nessuna_ = true;
    return;
  }
  // The candidate lists merged in row order: the first row that meets the criteria.
  uint32_t trovata = UINT32_MAX;
  for (std::span<const uint32_t> l : *lista) {
    for (auto r = std::lower_bound(l.begin(), l.end(), inizio); r != l.end() && *r < trovata; ++r) {
      if (*r < righe_ && c.Soddisfa(colonne_, *r)) {
        trovata = *r;
        break;
      }
    }
  }
  if (trovata == UINT32_MAX) {
    nessuna_ = true;
  } else {
    corrente_ = trovata;
  }
}

const std::vector<std::span<const uint32_t>>* Insieme::Candidati(const Criterio& c) {
  const std::vector<std::span<const uint32_t>>* scelta = nullptr;
  size_t quanti_scelta = SIZE_MAX;
  for (int u : c.Uguaglianze()) {
    const Nodo& n = c.NodoIn(u);
    auto& lista = candidati_[scelta == &candidati_[0] ? 1 : 0];
    lista.clear();
    auto& indice = indici_[n.colonna];
    if (!indice) indice = std::make_unique<Indice>(colonne_[n.colonna]);
    if (n.letterale.tipo == Letterale::kNumero) {
      indice->CandidatiNumero(colonne_[n.colonna], n.letterale.numero, lista);
    } else {
      indice->CandidatiTesto(n.letterale.testo, n.letterale.numerico, n.letterale.numero, lista);
    }
    size_t quanti = 0;
    for (auto l : lista) quanti += l.size();
    if (quanti < quanti_scelta) {
      quanti_scelta = quanti;
      scelta = &lista;
    }
  }
  return scelta;
}

Valore Insieme::Leggi(int indice) {
  ControllaCampo(indice);
  if (modo_ == Modo::kAggiunta) return impostato_[indice] ? buffer_[indice] : Valore();
  if (modo_ == Modo::kModifica) {
    if (!riga_letta_ && !impostato_[indice]) LeggiRigaInModifica();
    return buffer_[indice];
  }
  if (corrente_ < 0 || nessuna_ || static_cast<size_t>(corrente_) >= righe_) {
    throw Errore("Nessun record corrente " + Descrizione() + " (lettura del campo '" +
                 campi_[indice].nome + "')");
  }
  if (!caricata_[indice]) CaricaColonne({indice});
  return colonne_[indice].Leggi(static_cast<size_t>(corrente_), campi_[indice].tipo);
}

void Insieme::ControllaAggiornabile(const char* operazione) const {
  ControllaUtilizzabile();
  if (tabella_.empty()) {
    throw Errore(std::string(operazione) + ": recordset non aggiornabile (testo SQL \"" +
                 Abbrevia(origine_) + "\")");
  }
  if (conn_->SolaLettura()) {
    throw Errore(std::string(operazione) + ": il database '" + conn_->Nome() +
                 "' è in sola lettura (tabella '" + tabella_ + "')");
  }
  conn_->ControllaAperta();
}

void Insieme::Scrivi(int indice, const Valore& valore) {
  ControllaCampo(indice);
  if (modo_ == Modo::kNormale) {
    ControllaAggiornabile(("Impossibile scrivere il campo '" + campi_[indice].nome + "'").c_str());
    throw Errore("Impossibile scrivere il campo '" + campi_[indice].nome + "' " + Descrizione() +
                 ": manca AddNew o Edit");
  }
  buffer_[indice] = Converti(campi_[indice], valore);
  impostato_[indice] = 1;
}

void Insieme::AddNew() {
  ControllaAggiornabile("AddNew");
  modo_ = Modo::kAggiunta;
  // The buffer keeps its values (and their memory) from row to row: a field not written since
  // AddNew reads as Null and is not stored.
  buffer_.resize(campi_.size());
  impostato_.assign(campi_.size(), 0);
}

void Insieme::Edit() {
  ControllaAggiornabile("Edit");
  if (modo_ != Modo::kNormale) {
    throw Errore("Edit " + Descrizione() + ": un record aggiunto o modificato attende Update");
  }
  if (corrente_ < 0 || nessuna_ || static_cast<size_t>(corrente_) >= righe_) {
    throw Errore("Edit: nessun record corrente " + Descrizione());
  }
  // The row is read from the file only when a field of it is read before Update: an edit that
  // only writes (the common case) costs the one UPDATE. Update tells a row deleted meanwhile.
  buffer_.resize(campi_.size());
  impostato_.assign(campi_.size(), 0);
  riga_letta_ = false;
  modo_ = Modo::kModifica;
}

void Insieme::LeggiRigaInModifica() {
  if (!leggi_riga_) {
    std::string sql = "SELECT ";
    for (size_t c = 0; c < campi_.size(); ++c) sql += (c ? ", " : "") + QuotaNome(campi_[c].nome);
    sql += " FROM main." + QuotaNome(tabella_) + " WHERE " + colonna_rowid_ + " = ?1";
    if (sqlite3_prepare_v2(conn_->Db(), sql.c_str(), -1, &leggi_riga_, nullptr) != SQLITE_OK) {
      throw Errore("Edit " + Descrizione() + ": " + Ragione(conn_->Db()));
    }
  }
  sqlite3_bind_int64(leggi_riga_, 1, rowid_[corrente_]);
  int rc = sqlite3_step(leggi_riga_);
  if (rc != SQLITE_ROW) {
    std::string r = rc == SQLITE_DONE ? "il record è stato eliminato" : Ragione(conn_->Db());
    sqlite3_reset(leggi_riga_);
    modo_ = Modo::kNormale;  // the edit is over: there is no row to edit
    throw Errore("Edit " + Descrizione() + ": " + r);
  }
  // Fields already written keep the value written.
  for (size_t c = 0; c < campi_.size(); ++c) {
    if (!impostato_[c])
      buffer_[c] = Colonna::ValoreDaSqlite(leggi_riga_, static_cast<int>(c), campi_[c].tipo);
  }
  sqlite3_reset(leggi_riga_);
  riga_letta_ = true;
}

sqlite3_stmt* Insieme::IstruzioneDi(bool aggiunta) {
  auto& cache_istruzioni = aggiunta ? inserimenti_ : aggiornamenti_;
  sqlite3_stmt*& st = cache_istruzioni[maschera_];
  if (st) return st;
  std::string sql;
  if (aggiunta) {
    std::string nomi_campi, valori;
    for (size_t c = 0; c < campi_.size(); ++c) {
      if (!impostato_[c]) continue;
      nomi_campi += (nomi_campi.empty() ? "" : ", ") + QuotaNome(campi_[c].nome);
      valori += valori.empty() ? "?" : ", ?";
    }
    sql =
        "INSERT INTO main." + QuotaNome(tabella_) +
        (nomi_campi.empty() ? " DEFAULT VALUES" : " (" + nomi_campi + ") VALUES (" + valori + ")");
  } else {
    std::string assegnazioni;
    for (size_t c = 0; c < campi_.size(); ++c) {
      if (!impostato_[c]) continue;
      assegnazioni += (assegnazioni.empty() ? "" : ", ") + QuotaNome(campi_[c].nome) + " = ?";
    }
    sql = "UPDATE main." + QuotaNome(tabella_) + " SET " + assegnazioni + " WHERE " +
          colonna_rowid_ + " = ?";
  }
  if (sqlite3_prepare_v2(conn_->Db(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    std::string r = Ragione(conn_->Db());
    cache_istruzioni.erase(maschera_);
    throw Errore(OperazioneDiUpdate(aggiunta) + ": " + r);
  }
  return st;
}

std::string Insieme::OperazioneDiUpdate(bool aggiunta) const {
  return aggiunta ? "Impossibile aggiungere il record " + Descrizione()
                  : "Impossibile aggiornare il record " + Descrizione();
}

void Insieme::Update() {
  ControllaUtilizzabile();
  if (modo_ == Modo::kNormale) throw Errore("Update senza AddNew o Edit " + Descrizione());
  conn_->ControllaAperta();
  maschera_.resize(campi_.size());
  for (size_t c = 0; c < campi_.size(); ++c) maschera_[c] = impostato_[c] ? '1' : '0';
  bool aggiunta = modo_ == Modo::kAggiunta;
  if (!aggiunta && maschera_.find('1') == std::string::npos) {
    if (!riga_letta_) LeggiRigaInModifica();  // nothing to store: only that the row is still there
    modo_ = Modo::kNormale;
    return;
  }
  sqlite3_stmt* st = IstruzioneDi(aggiunta);
  int k = 0;
  for (size_t c = 0; c < campi_.size(); ++c) {
    if (impostato_[c]) Lega(st, ++k, buffer_[c]);
  }
  if (!aggiunta) sqlite3_bind_int64(st, ++k, rowid_[corrente_]);
  int rc = sqlite3_step(st);
  std::string ragione = rc == SQLITE_DONE ? "" : Ragione(conn_->Db());
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);  // texts were bound without a copy: no pointer into `buffer_` stays
  if (rc != SQLITE_DONE) throw Errore(OperazioneDiUpdate(aggiunta) + ": " + ragione);
  if (!aggiunta && sqlite3_changes(conn_->Db()) == 0) {
    modo_ = Modo::kNormale;
    throw Errore(OperazioneDiUpdate(aggiunta) + ": il record è stato eliminato");
  }
  if (aggiunta) {
    RigaAggiunta();
  } else {
    for (size_t c = 0; c < campi_.size(); ++c) {
      if (!impostato_[c] || !caricata_[c]) continue;
      colonne_[c].Sostituisci(static_cast<size_t>(corrente_), buffer_[c]);
      if (indici_[c] && !indici_[c]->Segna(static_cast<uint32_t>(corrente_))) indici_[c].reset();
    }
  }
  modo_ = Modo::kNormale;
}

void Insieme::RigaAggiunta() {
  int64_t id = sqlite3_last_insert_rowid(conn_->Db());
  if (!rowid_.empty() && id <= rowid_.back()) rowid_ordinati_ = false;
  rowid_.push_back(id);
  size_t riga = righe_++;
  // Fields left unset take their default in the file: those are read back.
  std::vector<int> da_rileggere;
  for (size_t c = 0; c < campi_.size(); ++c) {
    if (!caricata_[c]) continue;
    if (!impostato_[c] && ha_default_[c]) {
      caricata_[c] = 0;
      indici_[c].reset();
      da_rileggere.push_back(static_cast<int>(c));
      continue;
    }
    if (impostato_[c]) {
      colonne_[c].AggiungiValore(buffer_[c]);
    } else {
      colonne_[c].AggiungiNull();
    }
    if (indici_[c] && !indici_[c]->Segna(static_cast<uint32_t>(riga))) indici_[c].reset();
  }
  CaricaColonne(da_rileggere);
}

}  // namespace vendrix::engine_detail
