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

namespace {
uint64_t HashNome(std::string_view s) {
  uint64_t h = 1469598103934665603ULL;
  for (char c : s) {
    h = (h ^ static_cast<unsigned char>(Minuscola(c))) * 1099511628211ULL;
  }
  return h;
}
}  // namespace

void MappaNomi::Aggiungi(const std::string& nome, int indice) {
  if (Cerca(nome) >= 0) return;  // the first of two equal names wins
  voci_.push_back(Voce{HashNome(nome), nome, indice});
}

int MappaNomi::Cerca(std::string_view nome) const {
  uint64_t h = HashNome(nome);
  for (const Voce& v : voci_) {
    if (v.hash == h && UgualeNoCase(v.nome, nome)) return v.indice;
  }
  return -1;
}

namespace {

// A text written into a date field: the program's one date rule, as days since 30/12/1899 (the
// day count of the hotel suite's dates).
bool LeggiData(std::string_view t, double& giorni) {
  const std::optional<Giorno> giorno = vendrix::LeggiData(t);
  if (!giorno) return false;
  constexpr std::chrono::sys_days kOrigine = std::chrono::year{1899} / 12 / 30;
  giorni = static_cast<double>((*giorno - kOrigine).count());
  return true;
}

// Converts a value to the type of the field it is written into.
Valore Converti(const DefinizioneCampo& campo, const Valore& v) {
  if (v.IsNull()) return v;
  auto mismatch = [&](const std::string& perche) -> Errore {
    return Errore("Tipo non corrispondente nel campo '" + campo.nome + "': " + perche);
  };
  auto overflow = [&]() -> Errore {
    return Errore("Overflow nel campo '" + campo.nome + "': " + v.Testo() +
                  " non entra nel tipo del campo");
  };
  try {
    switch (campo.tipo) {
      case TipoCampo::kIntero: {
        int64_t n = v.Intero();
        if (n < INT16_MIN || n > INT16_MAX) throw overflow();
        return Valore(static_cast<int16_t>(n));
      }
      case TipoCampo::kLungo: {
        int64_t n = v.Intero();
        if (n < INT32_MIN || n > INT32_MAX) throw overflow();
        return Valore(static_cast<int32_t>(n));
      }
      case TipoCampo::kValuta:
        return Valore(v.ComeValuta());
      case TipoCampo::kDoppio:
        // The file keeps no negative zero: the row holds what reading it back gives.
        return Valore(v.Numero() + 0.0);
      case TipoCampo::kTesto: {
        // A text longer than the field is cut to the field's size.
        if (campo.dimensione <= 0) return v.Tipo() == TipoValore::kTesto ? v : Valore(v.Testo());
        const std::string testo = v.Tipo() == TipoValore::kTesto ? v.ComeTesto() : v.Testo();
        if (testo.size() <= static_cast<size_t>(campo.dimensione)) return Valore(testo);
        return Valore(std::string(PrimiCaratteri(testo, campo.dimensione)));
      }
      case TipoCampo::kBooleano:
        if (v.Tipo() == TipoValore::kTesto) {
          const std::string_view t = SenzaSpazi(v.ComeTesto());
          if (UgualeNoCase(t, "true") || UgualeNoCase(t, "vero")) return Valore(true);
          if (UgualeNoCase(t, "false") || UgualeNoCase(t, "falso")) return Valore(false);
        }
        return Valore(v.Numero() != 0);
      case TipoCampo::kData:
        if (v.Tipo() == TipoValore::kData) return v;
        if (v.Tipo() == TipoValore::kTesto) {
          double g;
          if (LeggiData(v.ComeTesto(), g)) return Valore(DataOra{g});
          throw mismatch("'" + v.ComeTesto() + "' non è una data");
        }
        return Valore(DataOra{v.Numero()});
      case TipoCampo::kDinamico:
        return v;
    }
  } catch (const Errore& e) {
    std::string m = e.what();
    if (m.rfind("Tipo non corrispondente nel campo", 0) == 0 ||
        m.rfind("Overflow nel campo", 0) == 0) {
      throw;
    }
    if (m.rfind("Overflow", 0) == 0) throw overflow();
    throw mismatch(m);
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

Insieme::~Insieme() {
  Rilascia();
  if (conn) conn->insiemi.erase(this);
}

void Insieme::Rilascia() {
  for (auto& [k, st] : inserimenti) sqlite3_finalize(st);
  for (auto& [k, st] : aggiornamenti) sqlite3_finalize(st);
  inserimenti.clear();
  aggiornamenti.clear();
  sqlite3_finalize(leggi_riga);
  leggi_riga = nullptr;
  std::vector<Colonna>().swap(colonne);
  std::vector<int64_t>().swap(rowid);
  indici.clear();
  for (auto& v : cache) v = VoceCache{};
  buffer.clear();
  righe = 0;
  corrente = -1;
}

std::string Insieme::Descrizione() const {
  if (tabella) return "nella tabella '" + nome_tabella + "' del database '" + conn->nome + "'";
  return "nel risultato del testo SQL \"" + Abbrevia(origine) + "\"";
}

void Insieme::ControllaUtilizzabile() const {
  if (chiuso) {
    if (chiuso_con_database) {
      throw Errore("Recordset '" + Abbrevia(origine) + "' non utilizzabile: il database '" +
                   conn->nome + "' è stato chiuso");
    }
    throw Errore("Recordset '" + Abbrevia(origine) + "' già chiuso");
  }
}

int Insieme::IndiceCampo(std::string_view nome) const {
  ControllaUtilizzabile();
  int i = nomi.Cerca(nome);
  if (i < 0) throw Errore("Campo '" + std::string(nome) + "' non trovato " + Descrizione());
  if (static_cast<size_t>(i) < richiesti.size()) richiesti[i] = 1;
  return i;
}

void Insieme::CaricaRowid() {
  Istruzione i;
  std::string sql = "SELECT " + colonna_rowid + " FROM main." + QuotaNome(nome_tabella) +
                    " ORDER BY " + colonna_rowid;
  if (sqlite3_prepare_v2(conn->db, sql.c_str(), -1, &i.st, nullptr) != SQLITE_OK) {
    throw Errore("Impossibile leggere la tabella '" + nome_tabella + "' del database '" +
                 conn->nome + "': " + Ragione(conn->db));
  }
  rowid.clear();
  int rc;
  while ((rc = sqlite3_step(i.st)) == SQLITE_ROW) rowid.push_back(sqlite3_column_int64(i.st, 0));
  if (rc != SQLITE_DONE) {
    throw Errore("Impossibile leggere la tabella '" + nome_tabella + "' del database '" +
                 conn->nome + "': " + Ragione(conn->db));
  }
  righe = rowid.size();
  rowid_ordinati = true;
  colonne.assign(campi.size(), Colonna());
  caricata.assign(campi.size(), 0);
  richiesti.resize(campi.size(), 0);
  indici.clear();
  indici.resize(campi.size());
}

void Insieme::Ricarica() {
  modo = Modo::kNormale;
  CaricaRowid();
  corrente = righe > 0 ? 0 : -1;
  nessuna = false;
}

void Insieme::CaricaColonne(const std::vector<int>& indici_colonne) {
  std::vector<int> da_caricare;
  for (int c : indici_colonne) {
    if (!caricata[c]) da_caricare.push_back(c);
  }
  if (da_caricare.empty()) return;
  for (size_t c = 0; c < richiesti.size(); ++c) {
    if (richiesti[c] && !caricata[c] &&
        std::find(da_caricare.begin(), da_caricare.end(), static_cast<int>(c)) ==
            da_caricare.end()) {
      da_caricare.push_back(static_cast<int>(c));
    }
  }
  conn->ControllaAperta();
  std::string sql = "SELECT " + colonna_rowid;
  for (int c : da_caricare) sql += ", " + QuotaNome(campi[c].nome);
  sql += " FROM main." + QuotaNome(nome_tabella) + " ORDER BY " + colonna_rowid;
  Istruzione i;
  auto errore = [&]() {
    return Errore("Impossibile leggere la tabella '" + nome_tabella + "' del database '" +
                  conn->nome + "': " + Ragione(conn->db));
  };
  if (sqlite3_prepare_v2(conn->db, sql.c_str(), -1, &i.st, nullptr) != SQLITE_OK) throw errore();
  for (int c : da_caricare) {
    colonne[c].Svuota();
    colonne[c].Riserva(righe);
  }
  // The set holds the rows it had when opened plus those it added, in rowid order: a row
  // deleted since reads as Null, a row added by someone else is not part of the set.
  std::unordered_map<int64_t, size_t> posizione;
  if (!rowid_ordinati) {
    for (size_t r = 0; r < righe; ++r) posizione.emplace(rowid[r], r);
    for (int c : da_caricare) {
      for (size_t r = 0; r < righe; ++r) colonne[c].AggiungiNull();
    }
  }
  size_t r = 0;
  int rc;
  while ((rc = sqlite3_step(i.st)) == SQLITE_ROW) {
    int64_t id = sqlite3_column_int64(i.st, 0);
    if (!rowid_ordinati) {
      auto it = posizione.find(id);
      if (it == posizione.end()) continue;
      for (size_t k = 0; k < da_caricare.size(); ++k) {
        Colonna tmp;
        tmp.AggiungiDaSqlite(i.st, static_cast<int>(k) + 1, campi[da_caricare[k]].tipo);
        colonne[da_caricare[k]].Sostituisci(it->second, tmp.Leggi(0, campi[da_caricare[k]].tipo));
      }
      continue;
    }
    while (r < righe && rowid[r] < id) {
      for (int c : da_caricare) colonne[c].AggiungiNull();
      ++r;
    }
    if (r < righe && rowid[r] == id) {
      for (size_t k = 0; k < da_caricare.size(); ++k) {
        colonne[da_caricare[k]].AggiungiDaSqlite(i.st, static_cast<int>(k) + 1,
                                                 campi[da_caricare[k]].tipo);
      }
      ++r;
    }
  }
  if (rc != SQLITE_DONE) throw errore();
  if (rowid_ordinati) {
    for (; r < righe; ++r) {
      for (int c : da_caricare) colonne[c].AggiungiNull();
    }
  }
  for (int c : da_caricare) caricata[c] = 1;
}

const Criterio& Insieme::Analizza(std::string_view criteri) {
  for (size_t k = 0; k < cache.size(); ++k) {
    const size_t i = (ultima_voce + k) % cache.size();
    VoceCache& v = cache[i];
    if (!v.criterio) continue;
    if (v.testo == criteri) {
      ultima_voce = i;
      return *v.criterio;
    }
    if (!LeggiComeModello(v.testo, v.posti, criteri, forma_letta)) continue;
    // A literal the tree refuses (a number that reads as none): the parser says which.
    if (!v.criterio->ImpostaLetterali(forma_letta)) break;
    v.Ricorda(criteri, forma_letta);
    ultima_voce = i;
    return *v.criterio;
  }
  auto c = std::make_unique<Criterio>(
      Criterio::Analizza(criteri, [this](std::string_view nome) { return IndiceCampo(nome); }));
  ultima_voce = prossima_cache;
  prossima_cache = (prossima_cache + 1) % cache.size();
  VoceCache& v = cache[ultima_voce];
  v.testo.assign(criteri);
  v.posti = c->Posti();
  v.criterio = std::move(c);
  return *v.criterio;
}

Indice& Insieme::IndiceDi(int colonna) {
  if (!indici[colonna]) indici[colonna] = std::make_unique<Indice>(colonne[colonna]);
  return *indici[colonna];
}

void Insieme::Trova(std::string_view criteri, int64_t da) {
  ControllaUtilizzabile();
  if (modo != Modo::kNormale) {
    throw Errore("Impossibile cercare " + Descrizione() +
                 ": un record aggiunto o modificato attende Update");
  }
  const Criterio& c = Analizza(criteri);
  if (tabella) CaricaColonne(c.Colonne());
  const auto inizio = static_cast<uint32_t>(std::max<int64_t>(da, 0));
  nessuna = false;
  const std::vector<std::span<const uint32_t>>* lista = Candidati(c);
  if (!lista) {
    for (size_t r = inizio; r < righe; ++r) {
      if (c.Soddisfa(colonne, static_cast<uint32_t>(r))) {
        corrente = static_cast<int64_t>(r);
        return;
      }
    }
    nessuna = true;
    return;
  }
  // The candidate lists merged in row order: the first row that meets the criteria.
  uint32_t trovata = UINT32_MAX;
  for (std::span<const uint32_t> l : *lista) {
    for (auto r = std::lower_bound(l.begin(), l.end(), inizio); r != l.end() && *r < trovata; ++r) {
      if (*r < righe && c.Soddisfa(colonne, *r)) {
        trovata = *r;
        break;
      }
    }
  }
  if (trovata == UINT32_MAX) {
    nessuna = true;
  } else {
    corrente = trovata;
  }
}

const std::vector<std::span<const uint32_t>>* Insieme::Candidati(const Criterio& c) {
  const std::vector<std::span<const uint32_t>>* scelta = nullptr;
  size_t quanti_scelta = SIZE_MAX;
  for (int u : c.Uguaglianze()) {
    const Nodo& n = c.NodoIn(u);
    auto& lista = candidati[scelta == &candidati[0] ? 1 : 0];
    lista.clear();
    Indice& ix = IndiceDi(n.colonna);
    if (n.letterale.tipo == Letterale::kNumero) {
      ix.CandidatiNumero(colonne[n.colonna], n.letterale.numero, lista);
    } else {
      ix.CandidatiTesto(colonne[n.colonna], n.letterale.testo, n.letterale.numerico,
                        n.letterale.numero, lista);
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
  ControllaUtilizzabile();
  if (indice < 0 || indice >= static_cast<int>(campi.size())) {
    throw Errore("Campo n. " + std::to_string(indice) + " inesistente " + Descrizione());
  }
  if (modo == Modo::kAggiunta) return impostato[indice] ? buffer[indice] : Valore();
  if (modo == Modo::kModifica) {
    if (!riga_letta && !impostato[indice]) LeggiRigaInModifica();
    return buffer[indice];
  }
  if (corrente < 0 || nessuna || static_cast<size_t>(corrente) >= righe) {
    throw Errore("Nessun record corrente " + Descrizione() + " (lettura del campo '" +
                 campi[indice].nome + "')");
  }
  if (!caricata[indice]) CaricaColonne({indice});
  return colonne[indice].Leggi(static_cast<size_t>(corrente), campi[indice].tipo);
}

void Insieme::ControllaAggiornabile(const char* operazione) const {
  ControllaUtilizzabile();
  if (!tabella) {
    throw Errore(std::string(operazione) + ": recordset non aggiornabile (testo SQL \"" +
                 Abbrevia(origine) + "\")");
  }
  if (conn->sola_lettura) {
    throw Errore(std::string(operazione) + ": il database '" + conn->nome +
                 "' è in sola lettura (tabella '" + nome_tabella + "')");
  }
  conn->ControllaAperta();
}

void Insieme::Scrivi(int indice, const Valore& valore) {
  ControllaUtilizzabile();
  if (indice < 0 || indice >= static_cast<int>(campi.size())) {
    throw Errore("Campo n. " + std::to_string(indice) + " inesistente " + Descrizione());
  }
  if (modo == Modo::kNormale) {
    ControllaAggiornabile(("Impossibile scrivere il campo '" + campi[indice].nome + "'").c_str());
    throw Errore("Impossibile scrivere il campo '" + campi[indice].nome + "' " + Descrizione() +
                 ": manca AddNew o Edit");
  }
  buffer[indice] = Converti(campi[indice], valore);
  impostato[indice] = 1;
}

void Insieme::AddNew() {
  ControllaAggiornabile("AddNew");
  modo = Modo::kAggiunta;
  // The buffer keeps its values (and their memory) from row to row: a field not written since
  // AddNew reads as Null and is not stored.
  buffer.resize(campi.size());
  impostato.assign(campi.size(), 0);
}

void Insieme::Edit() {
  ControllaAggiornabile("Edit");
  if (modo != Modo::kNormale) {
    throw Errore("Edit " + Descrizione() + ": un record aggiunto o modificato attende Update");
  }
  if (corrente < 0 || nessuna || static_cast<size_t>(corrente) >= righe) {
    throw Errore("Edit: nessun record corrente " + Descrizione());
  }
  // The row is read from the file only when a field of it is read before Update: an edit that
  // only writes (the common case) costs the one UPDATE. Update tells a row deleted meanwhile.
  buffer.resize(campi.size());
  impostato.assign(campi.size(), 0);
  riga_letta = false;
  modo = Modo::kModifica;
}

void Insieme::LeggiRigaInModifica() {
  if (!leggi_riga) {
    std::string sql = "SELECT ";
    for (size_t c = 0; c < campi.size(); ++c) sql += (c ? ", " : "") + QuotaNome(campi[c].nome);
    sql += " FROM main." + QuotaNome(nome_tabella) + " WHERE " + colonna_rowid + " = ?1";
    if (sqlite3_prepare_v2(conn->db, sql.c_str(), -1, &leggi_riga, nullptr) != SQLITE_OK) {
      throw Errore("Edit " + Descrizione() + ": " + Ragione(conn->db));
    }
  }
  sqlite3_bind_int64(leggi_riga, 1, rowid[corrente]);
  int rc = sqlite3_step(leggi_riga);
  if (rc != SQLITE_ROW) {
    std::string r = rc == SQLITE_DONE ? "il record è stato eliminato" : Ragione(conn->db);
    sqlite3_reset(leggi_riga);
    modo = Modo::kNormale;  // the edit is over: there is no row to edit
    throw Errore("Edit " + Descrizione() + ": " + r);
  }
  // Fields already written keep the value written.
  for (size_t c = 0; c < campi.size(); ++c) {
    if (impostato[c]) continue;
    appoggio.Azzera();
    appoggio.AggiungiDaSqlite(leggi_riga, static_cast<int>(c), campi[c].tipo);
    buffer[c] = appoggio.Leggi(0, campi[c].tipo);
  }
  sqlite3_reset(leggi_riga);
  riga_letta = true;
}

sqlite3_stmt* Insieme::IstruzioneDi(bool aggiunta) {
  auto& cache_istruzioni = aggiunta ? inserimenti : aggiornamenti;
  sqlite3_stmt*& st = cache_istruzioni[maschera];
  if (st) return st;
  std::string sql;
  if (aggiunta) {
    std::string nomi_campi, valori;
    for (size_t c = 0; c < campi.size(); ++c) {
      if (!impostato[c]) continue;
      nomi_campi += (nomi_campi.empty() ? "" : ", ") + QuotaNome(campi[c].nome);
      valori += valori.empty() ? "?" : ", ?";
    }
    sql =
        "INSERT INTO main." + QuotaNome(nome_tabella) +
        (nomi_campi.empty() ? " DEFAULT VALUES" : " (" + nomi_campi + ") VALUES (" + valori + ")");
  } else {
    std::string assegnazioni;
    for (size_t c = 0; c < campi.size(); ++c) {
      if (!impostato[c]) continue;
      assegnazioni += (assegnazioni.empty() ? "" : ", ") + QuotaNome(campi[c].nome) + " = ?";
    }
    sql = "UPDATE main." + QuotaNome(nome_tabella) + " SET " + assegnazioni + " WHERE " +
          colonna_rowid + " = ?";
  }
  if (sqlite3_prepare_v2(conn->db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    std::string r = Ragione(conn->db);
    cache_istruzioni.erase(maschera);
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
  if (modo == Modo::kNormale) throw Errore("Update senza AddNew o Edit " + Descrizione());
  conn->ControllaAperta();
  maschera.resize(campi.size());
  for (size_t c = 0; c < campi.size(); ++c) maschera[c] = impostato[c] ? '1' : '0';
  bool aggiunta = modo == Modo::kAggiunta;
  if (!aggiunta && maschera.find('1') == std::string::npos) {
    if (!riga_letta) LeggiRigaInModifica();  // nothing to store: only that the row is still there
    modo = Modo::kNormale;
    return;
  }
  sqlite3_stmt* st = IstruzioneDi(aggiunta);
  int k = 0;
  for (size_t c = 0; c < campi.size(); ++c) {
    if (impostato[c]) Lega(st, ++k, buffer[c]);
  }
  if (!aggiunta) sqlite3_bind_int64(st, ++k, rowid[corrente]);
  int rc = sqlite3_step(st);
  std::string ragione = rc == SQLITE_DONE ? "" : Ragione(conn->db);
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);  // texts were bound without a copy: no pointer into `buffer` stays
  if (rc != SQLITE_DONE) throw Errore(OperazioneDiUpdate(aggiunta) + ": " + ragione);
  if (!aggiunta && sqlite3_changes(conn->db) == 0) {
    modo = Modo::kNormale;
    throw Errore(OperazioneDiUpdate(aggiunta) + ": il record è stato eliminato");
  }
  if (aggiunta) {
    RigaAggiunta();
  } else {
    for (size_t c = 0; c < campi.size(); ++c) {
      if (!impostato[c] || !caricata[c]) continue;
      colonne[c].Sostituisci(static_cast<size_t>(corrente), buffer[c]);
      if (indici[c] && !indici[c]->Segna(static_cast<uint32_t>(corrente))) indici[c].reset();
    }
  }
  modo = Modo::kNormale;
}

void Insieme::RigaAggiunta() {
  int64_t id = sqlite3_last_insert_rowid(conn->db);
  if (!rowid.empty() && id <= rowid.back()) rowid_ordinati = false;
  rowid.push_back(id);
  size_t riga = righe++;
  bool rileggi = false;
  for (size_t c = 0; c < campi.size(); ++c) {
    if (!caricata[c]) continue;
    if (impostato[c]) {
      colonne[c].AggiungiValore(buffer[c]);
    } else {
      colonne[c].AggiungiNull();
      rileggi = rileggi || ha_default[c];
    }
    if (indici[c] && !indici[c]->Segna(static_cast<uint32_t>(riga))) indici[c].reset();
  }
  if (!rileggi) return;
  // Fields left unset took their default in the file: read them back.
  std::vector<int> caricate;
  for (size_t c = 0; c < campi.size(); ++c) {
    if (caricata[c] && !impostato[c] && ha_default[c]) {
      caricata[c] = 0;
      indici[c].reset();
      caricate.push_back(static_cast<int>(c));
    }
  }
  CaricaColonne(caricate);
}

}  // namespace vendrix::engine_detail
