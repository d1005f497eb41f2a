#include "data/libri.h"

#include <sqlite3.h>

#include <chrono>
#include <string_view>
#include <system_error>
#include <tuple>
#include <type_traits>
#include <utility>

#include "comune/versione.h"
#include "data/blocco_cartella.h"

namespace vendrix {

namespace fs = std::filesystem;
using std::chrono::days;

namespace {

int64_t Chiave(Giorno g) {
  const std::chrono::year_month_day ymd(g);
  return int64_t{static_cast<int>(ymd.year())} * 10000 + unsigned(ymd.month()) * 100 +
         unsigned(ymd.day());
}

Giorno DaChiave(int64_t k) {
  return Giorno(
      std::chrono::year_month_day(std::chrono::year(static_cast<int>(k / 10000)),
                                  std::chrono::month(static_cast<unsigned>(k / 100 % 100)),
                                  std::chrono::day(static_cast<unsigned>(k % 100))));
}

// Monday-based week number of a day.
int64_t Settimana(Giorno g) {
  // 1970-01-01 (day 0) was a Thursday: day + 3 puts Mondays on multiples of 7.
  const int64_t d = g.time_since_epoch().count() + 3;
  return d >= 0 ? d / 7 : -((-d + 6) / 7);
}

// Adds one row's figures to `t`.
void Aggiungi(TotaleConsuntivo& t, int64_t camere, int64_t ospiti, Valuta retta) {
  t.camere += camere;
  t.ospiti += ospiti;
  t.retta += retta;
}

constexpr const char* kSchema =
    "CREATE TABLE Istantanee(Giorno INTEGER PRIMARY KEY, PresaIl TEXT NOT NULL,"
    " Versione TEXT NOT NULL, CamereDisponibili INTEGER NOT NULL);"
    "CREATE TABLE Nomi(Id INTEGER PRIMARY KEY, Nome TEXT NOT NULL UNIQUE);"
    "CREATE TABLE Libri(Giorno INTEGER NOT NULL, Notte INTEGER NOT NULL, Tipo INTEGER NOT NULL,"
    " Segmento INTEGER NOT NULL, Opzionale INTEGER NOT NULL, Camere INTEGER NOT NULL,"
    " Ospiti INTEGER NOT NULL, Retta INTEGER NOT NULL,"
    " PRIMARY KEY(Giorno, Notte, Tipo, Segmento, Opzionale)) WITHOUT ROWID;"
    "CREATE TABLE TotaliLibri(Notte INTEGER NOT NULL, Giorno INTEGER NOT NULL,"
    " Camere INTEGER NOT NULL, Retta INTEGER NOT NULL, CamereOpzionate INTEGER NOT NULL,"
    " RettaOpzionata INTEGER NOT NULL, PRIMARY KEY(Notte, Giorno)) WITHOUT ROWID;"
    "CREATE TABLE NottiConsuntivo(Notte INTEGER PRIMARY KEY, Giorno INTEGER NOT NULL,"
    " Camere INTEGER NOT NULL, Ospiti INTEGER NOT NULL, Retta INTEGER NOT NULL);"
    "CREATE TABLE Consuntivi(Notte INTEGER NOT NULL, Tipo INTEGER NOT NULL,"
    " Segmento INTEGER NOT NULL, Camere INTEGER NOT NULL, Ospiti INTEGER NOT NULL,"
    " Retta INTEGER NOT NULL, PRIMARY KEY(Notte, Tipo, Segmento)) WITHOUT ROWID;";

constexpr const char* kTabelle[] = {"Istantanee",      "Nomi",      "Libri", "TotaliLibri",
                                    "NottiConsuntivo", "Consuntivi"};

}  // namespace

// A prepared statement of the store, finalized when it goes out of scope. Every failure throws
// as ArchivioLibri::Fallito does: a "lettura" for a query, a "scrittura" for anything else.
class ArchivioLibri::Comando {
 public:
  Comando(const ArchivioLibri& archivio, const char* sql)
      : archivio_(archivio),
        operazione_(std::string_view(sql).starts_with("SELECT") ||
                            std::string_view(sql).starts_with("PRAGMA")
                        ? "lettura"
                        : "scrittura") {
    if (sqlite3_prepare_v2(archivio.db_, sql, -1, &st_, nullptr) != SQLITE_OK) {
      archivio_.Fallito(operazione_);
    }
  }
  ~Comando() { sqlite3_finalize(st_); }
  Comando(const Comando&) = delete;
  Comando& operator=(const Comando&) = delete;

  // Binds `valori` to the parameters from the first on: days as date keys, amounts in
  // ten-thousandths.
  template <typename... T>
  Comando& Lega(const T&... valori) {
    int i = 0;
    (LegaUno(++i, valori), ...);
    return *this;
  }
  // Steps once: true for a row, false at the end.
  bool Riga() {
    const int rc = sqlite3_step(st_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) archivio_.Fallito(operazione_);
    return rc == SQLITE_ROW;
  }
  // Runs a statement that yields no row with `valori`, then readies it for the next ones.
  template <typename... T>
  void Esegui(const T&... valori) {
    Lega(valori...);
    if (sqlite3_step(st_) != SQLITE_DONE) archivio_.Fallito(operazione_);
    Azzera();
  }
  void Azzera() {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
  }
  int64_t Intero(int c) const { return sqlite3_column_int64(st_, c); }
  Giorno Data(int c) const { return DaChiave(Intero(c)); }
  Valuta Soldi(int c) const { return Valuta::DaDecimillesimi(Intero(c)); }
  std::string Testo(int c) const {
    const unsigned char* t = sqlite3_column_text(st_, c);
    return t ? reinterpret_cast<const char*>(t) : "";
  }

 private:
  template <typename T>
  void LegaUno(int i, const T& v) {
    if constexpr (std::is_same_v<T, std::string>) {
      sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    } else if constexpr (std::is_same_v<T, Giorno>) {
      sqlite3_bind_int64(st_, i, Chiave(v));
    } else if constexpr (std::is_same_v<T, Valuta>) {
      sqlite3_bind_int64(st_, i, v.Decimillesimi());
    } else {
      sqlite3_bind_int64(st_, i, static_cast<int64_t>(v));
    }
  }

  const ArchivioLibri& archivio_;
  const char* operazione_;
  sqlite3_stmt* st_ = nullptr;
};

[[noreturn]] void ArchivioLibri::Fallito(const std::string& operazione) const {
  const int rc = sqlite3_errcode(db_) & 0xff;
  const std::string motivo = sqlite3_errmsg(db_);
  if (rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB) {
    throw LibriNonValidi("L'archivio dei libri " + percorso_.string() + " è danneggiato (" +
                         motivo +
                         "): Vendrix non lo modifica. Ripristinarlo da una copia di sicurezza.");
  }
  throw Errore("Archivio dei libri " + percorso_.string() + ": " + operazione + " non riuscita (" +
               motivo + "). L'archivio è rimasto com'era.");
}

void ArchivioLibri::Esegui(const char* sql) const {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fallito("operazione");
}

int64_t ArchivioLibri::Numero(const char* sql) const {
  Comando c(*this, sql);
  return c.Riga() ? c.Intero(0) : 0;
}

void ArchivioLibri::Transazione(const std::function<void()>& passi) {
  Esegui("BEGIN IMMEDIATE");
  try {
    passi();
    Esegui("COMMIT");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    id_nomi_.clear();  // names added by the rolled-back transaction are gone
    throw;
  }
}

void ArchivioLibri::Chiudi() {
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

ArchivioLibri::ArchivioLibri(const fs::path& cartella_hotel, bool crea)
    : cartella_(cartella_hotel), percorso_(cartella_hotel / kFileLibri) {
  std::error_code errore;
  const bool esiste = fs::exists(percorso_, errore);
  if (!esiste && !crea) return;
  if (esiste && !fs::is_regular_file(percorso_, errore)) {
    throw LibriNonValidi(percorso_.string() +
                         " non è un file: Vendrix non lo modifica. Spostarlo altrove e riprovare.");
  }
  Apri(crea);
  try {
    if (Riconosci()) return;
    if (!crea) {  // a new file (or an empty one), read as an empty store
      Chiudi();
      return;
    }
    Transazione([&] {
      Esegui(kSchema);
      Esegui(("PRAGMA application_id=" + std::to_string(kIdLibri)).c_str());
      Esegui(("PRAGMA user_version=" + std::to_string(kVersioneLibri)).c_str());
    });
  } catch (...) {
    Chiudi();
    throw;
  }
}

void ArchivioLibri::Apri(bool crea) {
  // Read-write even to read: a transaction left by a killed writer is rolled back on opening.
  int rc = sqlite3_open_v2(percorso_.c_str(), &db_,
                           SQLITE_OPEN_READWRITE | (crea ? SQLITE_OPEN_CREATE : 0), nullptr);
  if (rc != SQLITE_OK && !crea) {
    Chiudi();
    rc = sqlite3_open_v2(percorso_.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
  }
  if (rc != SQLITE_OK) {
    const std::string motivo = db_ ? sqlite3_errmsg(db_) : "memoria esaurita";
    Chiudi();
    throw Errore("Impossibile aprire l'archivio dei libri " + percorso_.string() + " (" + motivo +
                 ").");
  }
  sqlite3_busy_timeout(db_, 10000);
}

bool ArchivioLibri::Riconosci() const {
  // What the file is: read without changing it.
  const int64_t id = Numero("PRAGMA application_id");
  const int64_t versione = Numero("PRAGMA user_version");
  if (id == 0 && versione == 0 && Numero("SELECT count(*) FROM sqlite_master") == 0) return false;
  if (id != kIdLibri) {
    throw LibriNonValidi("Il file " + percorso_.string() +
                         " non è un archivio dei libri di Vendrix: Vendrix non lo modifica. "
                         "Spostarlo altrove e riprovare.");
  }
  if (versione > kVersioneLibri) {
    throw LibriNonValidi("L'archivio dei libri " + percorso_.string() +
                         " è di una versione più recente di Vendrix: aggiornare il programma.");
  }
  for (const char* tabella : kTabelle) {
    Comando c(*this, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?");
    if (!c.Lega(std::string(tabella)).Riga()) {
      throw LibriNonValidi("L'archivio dei libri " + percorso_.string() +
                           " è danneggiato (manca la tabella " + tabella +
                           "): Vendrix non lo modifica. Ripristinarlo da una copia di sicurezza.");
    }
  }
  return true;
}

ArchivioLibri::~ArchivioLibri() { sqlite3_close_v2(db_); }

int64_t ArchivioLibri::IdNome(const std::string& nome) {
  if (auto it = id_nomi_.find(nome); it != id_nomi_.end()) return it->second;
  Comando cerca(*this, "SELECT Id FROM Nomi WHERE Nome=?");
  int64_t id;
  if (cerca.Lega(nome).Riga()) {
    id = cerca.Intero(0);
  } else {
    Comando(*this, "INSERT INTO Nomi(Nome) VALUES(?)").Esegui(nome);
    id = sqlite3_last_insert_rowid(db_);
  }
  id_nomi_.emplace(nome, id);
  return id;
}

namespace {

// Refuses a snapshot whose nights lie outside what it may record.
void Controlla(const Istantanea& ist) {
  for (const VoceLibri& v : ist.libri) {
    if (v.notte < ist.giorno || v.notte > ist.giorno + days(kNottiIstantanea)) {
      throw Errore("Istantanea del " + TestoData(ist.giorno) + ": la notte del " +
                   TestoData(v.notte) + " è fuori dall'anno che essa copre.");
    }
  }
  const bool con_consuntivi = ist.consuntivi_dal && ist.consuntivi_al;
  for (const VoceConsuntivo& v : ist.consuntivi) {
    if (!con_consuntivi || v.notte < *ist.consuntivi_dal || v.notte > *ist.consuntivi_al) {
      throw Errore("Istantanea del " + TestoData(ist.giorno) + ": consuntivo del " +
                   TestoData(v.notte) + " fuori dalle notti indicate.");
    }
  }
  if (con_consuntivi && *ist.consuntivi_al >= ist.giorno) {
    throw Errore("Istantanea del " + TestoData(ist.giorno) +
                 ": il consuntivo vale solo per le notti passate.");
  }
}

}  // namespace

void ArchivioLibri::Scrivi(const Istantanea& ist) {
  if (!db_) throw Errore("Archivio dei libri " + percorso_.string() + " non aperto per scrivere.");
  Controlla(ist);
  BloccoCartella blocco(cartella_, kFileBloccoLibri, BloccoCartella::Modo::kEsclusivo,
                        kIstantaneaInCorso);
  Transazione([&] {
    ScriviLibri(ist);
    if (ist.consuntivi_dal && ist.consuntivi_al) ScriviConsuntivi(ist);
    Sfoltisci(ist.giorno);
  });
}

void ArchivioLibri::ScriviLibri(const Istantanea& ist) {
  TogliIstantanea(ist.giorno);
  Comando(*this, "INSERT INTO Istantanee VALUES(?,?,?,?)")
      .Esegui(ist.giorno, OraLocale("%Y-%m-%d %H:%M:%S"), std::string(kVersione),
              ist.camere_disponibili);
  // Rows of the same key are added up: the caller may give a room type and segment twice.
  std::map<std::tuple<Giorno, int64_t, int64_t, bool>, TotaleConsuntivo> voci;
  std::map<Giorno, TotaleNotte> totali;
  for (const VoceLibri& v : ist.libri) {
    Aggiungi(voci[{v.notte, IdNome(v.tipo_camera), IdNome(v.segmento), v.opzionale}], v.camere,
             v.ospiti, v.retta);
    TotaleNotte& t = totali[v.notte];
    (v.opzionale ? t.camere_opzionate : t.camere) += v.camere;
    (v.opzionale ? t.retta_opzionata : t.retta) += v.retta;
  }
  Comando libri(*this, "INSERT INTO Libri VALUES(?,?,?,?,?,?,?,?)");
  for (const auto& [chiave, v] : voci) {
    const auto& [notte, tipo, segmento, opzionale] = chiave;
    libri.Esegui(ist.giorno, notte, tipo, segmento, opzionale, v.camere, v.ospiti, v.retta);
  }
  Comando per_notte(*this, "INSERT INTO TotaliLibri VALUES(?,?,?,?,?,?)");
  for (const auto& [notte, t] : totali) {
    per_notte.Esegui(notte, ist.giorno, t.camere, t.retta, t.camere_opzionate, t.retta_opzionata);
  }
}

void ArchivioLibri::ScriviConsuntivi(const Istantanea& ist) {
  std::map<Giorno, std::map<std::pair<int64_t, int64_t>, TotaleConsuntivo>> per_notte;
  for (Giorno n = *ist.consuntivi_dal; n <= *ist.consuntivi_al; n += days(1)) per_notte[n];
  for (const VoceConsuntivo& v : ist.consuntivi) {
    Aggiungi(per_notte[v.notte][{IdNome(v.tipo_camera), IdNome(v.segmento)}], v.camere, v.ospiti,
             v.retta);
  }
  Comando da_chi(*this, "SELECT Giorno FROM NottiConsuntivo WHERE Notte=?");
  Comando togli(*this, "DELETE FROM Consuntivi WHERE Notte=?");
  Comando metti(*this, "INSERT INTO Consuntivi VALUES(?,?,?,?,?,?)");
  Comando notte_fatta(*this, "INSERT OR REPLACE INTO NottiConsuntivo VALUES(?,?,?,?,?)");
  for (const auto& [notte, voci_notte] : per_notte) {
    const bool piu_recente = da_chi.Lega(notte).Riga() && da_chi.Data(0) > ist.giorno;
    da_chi.Azzera();
    if (piu_recente) continue;  // a later day saw that night's final: it knows better
    togli.Esegui(notte);
    TotaleConsuntivo totale;
    for (const auto& [chiave, t] : voci_notte) {
      metti.Esegui(notte, chiave.first, chiave.second, t.camere, t.ospiti, t.retta);
      Aggiungi(totale, t.camere, t.ospiti, t.retta);
    }
    notte_fatta.Esegui(notte, ist.giorno, totale.camere, totale.ospiti, totale.retta);
  }
}

void ArchivioLibri::Sfoltisci(Giorno oggi) {
  std::vector<Giorno> da_togliere;
  Comando c(*this, "SELECT Giorno FROM Istantanee WHERE Giorno<? ORDER BY Giorno");
  c.Lega(oggi - days(kGiorniTutteIstantanee));
  std::optional<int64_t> settimana;
  while (c.Riga()) {
    const int64_t s = Settimana(c.Data(0));
    if (settimana == s) da_togliere.push_back(c.Data(0));
    settimana = s;
  }
  for (Giorno g : da_togliere) TogliIstantanea(g);
}

void ArchivioLibri::TogliIstantanea(Giorno giorno) {
  for (const char* sql :
       {"DELETE FROM Libri WHERE Giorno=?", "DELETE FROM TotaliLibri WHERE Giorno=?",
        "DELETE FROM Istantanee WHERE Giorno=?"}) {
    Comando(*this, sql).Esegui(giorno);
  }
}

std::vector<Giorno> ArchivioLibri::Giorni() const {
  std::vector<Giorno> giorni;
  if (!db_) return giorni;
  Comando c(*this, "SELECT Giorno FROM Istantanee ORDER BY Giorno");
  while (c.Riga()) giorni.push_back(c.Data(0));
  return giorni;
}

bool ArchivioLibri::HaIstantanea(Giorno giorno) const {
  return db_ && Comando(*this, "SELECT 1 FROM Istantanee WHERE Giorno=?").Lega(giorno).Riga();
}

int64_t ArchivioLibri::CamereDisponibili(Giorno giorno) const {
  if (!db_) return 0;
  Comando c(*this, "SELECT CamereDisponibili FROM Istantanee WHERE Giorno=?");
  return c.Lega(giorno).Riga() ? c.Intero(0) : 0;
}

std::vector<VoceLibri> ArchivioLibri::Libri(Giorno giorno, Giorno dal, Giorno al) const {
  std::vector<VoceLibri> voci;
  if (!db_) return voci;
  Comando c(*this,
            "SELECT l.Notte, t.Nome, s.Nome, l.Opzionale, l.Camere, l.Ospiti, l.Retta FROM Libri l"
            " JOIN Nomi t ON t.Id=l.Tipo JOIN Nomi s ON s.Id=l.Segmento"
            " WHERE l.Giorno=? AND l.Notte BETWEEN ? AND ? ORDER BY 1, 2, 3, 4");
  for (c.Lega(giorno, dal, al); c.Riga();) {
    voci.push_back({c.Data(0), c.Testo(1), c.Testo(2), c.Intero(3) != 0, c.Intero(4), c.Intero(5),
                    c.Soldi(6)});
  }
  return voci;
}

std::map<Giorno, std::map<Giorno, TotaleNotte>> ArchivioLibri::Totali(Giorno dal, Giorno al,
                                                                      Giorno giorni_dal,
                                                                      Giorno giorni_al) const {
  std::map<Giorno, std::map<Giorno, TotaleNotte>> totali;
  if (!db_) return totali;
  std::vector<Giorno> giorni;
  for (Giorno g : Giorni()) {
    if (g >= giorni_dal && g <= giorni_al) giorni.push_back(g);
  }
  // Every snapshot that covers a night counts it, with nothing on the books when it has no row.
  for (Giorno n = dal; n <= al; n += days(1)) {
    auto& per_giorno = totali[n];
    for (Giorno g : giorni) {
      if (g <= n && n <= g + days(kNottiIstantanea)) per_giorno[g];
    }
  }
  Comando c(*this,
            "SELECT Notte, Giorno, Camere, Retta, CamereOpzionate, RettaOpzionata FROM TotaliLibri"
            " WHERE Notte BETWEEN ? AND ? AND Giorno BETWEEN ? AND ?");
  for (c.Lega(dal, al, giorni_dal, giorni_al); c.Riga();) {
    totali[c.Data(0)][c.Data(1)] = {c.Intero(2), c.Soldi(3), c.Intero(4), c.Soldi(5)};
  }
  return totali;
}

std::map<Giorno, TotaleConsuntivo> ArchivioLibri::Consuntivi(Giorno dal, Giorno al) const {
  std::map<Giorno, TotaleConsuntivo> finali;
  if (!db_) return finali;
  Comando c(*this,
            "SELECT Notte, Camere, Ospiti, Retta FROM NottiConsuntivo WHERE Notte BETWEEN ? AND ?");
  for (c.Lega(dal, al); c.Riga();) finali[c.Data(0)] = {c.Intero(1), c.Intero(2), c.Soldi(3)};
  return finali;
}

std::vector<VoceConsuntivo> ArchivioLibri::ConsuntiviDettaglio(Giorno dal, Giorno al) const {
  std::vector<VoceConsuntivo> voci;
  if (!db_) return voci;
  Comando c(*this,
            "SELECT c.Notte, t.Nome, s.Nome, c.Camere, c.Ospiti, c.Retta FROM Consuntivi c"
            " JOIN Nomi t ON t.Id=c.Tipo JOIN Nomi s ON s.Id=c.Segmento"
            " WHERE c.Notte BETWEEN ? AND ? ORDER BY 1, 2, 3");
  for (c.Lega(dal, al); c.Riga();) {
    voci.push_back({c.Data(0), c.Testo(1), c.Testo(2), c.Intero(3), c.Intero(4), c.Soldi(5)});
  }
  return voci;
}

int64_t ArchivioLibri::NumeroConsuntivi() const {
  return db_ ? Numero("SELECT count(*) FROM NottiConsuntivo") : 0;
}

std::optional<Giorno> ArchivioLibri::UltimoConsuntivo() const {
  const int64_t ultimo = db_ ? Numero("SELECT coalesce(max(Notte), 0) FROM NottiConsuntivo") : 0;
  if (ultimo == 0) return std::nullopt;
  return DaChiave(ultimo);
}

}  // namespace vendrix
