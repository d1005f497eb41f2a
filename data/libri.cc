#include "data/libri.h"

#include <sqlite3.h>

#include <chrono>
#include <system_error>
#include <tuple>
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

// A prepared statement, finalized when it goes out of scope.
class Comando {
 public:
  Comando(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) st_ = nullptr;
  }
  ~Comando() { sqlite3_finalize(st_); }
  bool Pronto() const { return st_ != nullptr; }
  Comando& Lega(int i, int64_t v) {
    sqlite3_bind_int64(st_, i, v);
    return *this;
  }
  Comando& Lega(int i, const std::string& v) {
    sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // Steps once: true for a row, false at the end; the error code through `rc`.
  bool Passo(int& rc) {
    rc = sqlite3_step(st_);
    return rc == SQLITE_ROW;
  }
  void Azzera() {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
  }
  int64_t Intero(int c) const { return sqlite3_column_int64(st_, c); }
  std::string Testo(int c) const {
    const unsigned char* t = sqlite3_column_text(st_, c);
    return t ? reinterpret_cast<const char*>(t) : "";
  }

 private:
  sqlite3_stmt* st_ = nullptr;
};

// Monday-based week number of a day.
int64_t Settimana(Giorno g) {
  // 1970-01-01 (day 0) was a Thursday: day + 3 puts Mondays on multiples of 7.
  const int64_t d = g.time_since_epoch().count() + 3;
  return d >= 0 ? d / 7 : -((-d + 6) / 7);
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

ArchivioLibri::ArchivioLibri(const fs::path& cartella_hotel, bool crea)
    : cartella_(cartella_hotel), percorso_(cartella_hotel / kFileLibri) {
  std::error_code errore;
  const bool esiste = fs::exists(percorso_, errore);
  if (!esiste && !crea) return;
  if (esiste && !fs::is_regular_file(percorso_, errore)) {
    throw LibriNonValidi(percorso_.string() +
                         " non è un file: Vendrix non lo modifica. Spostarlo altrove e riprovare.");
  }
  // Read-write even to read: a transaction left by a killed writer is rolled back on opening.
  int rc = sqlite3_open_v2(percorso_.c_str(), &db_,
                           SQLITE_OPEN_READWRITE | (crea ? SQLITE_OPEN_CREATE : 0), nullptr);
  if (rc != SQLITE_OK && !crea) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    rc = sqlite3_open_v2(percorso_.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
  }
  if (rc != SQLITE_OK) {
    const std::string motivo = db_ ? sqlite3_errmsg(db_) : "memoria esaurita";
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw Errore("Impossibile aprire l'archivio dei libri " + percorso_.string() + " (" + motivo +
                 ").");
  }
  sqlite3_busy_timeout(db_, 10000);
  try {
    // What the file is: read without changing it.
    int64_t id = 0, versione = 0, tabelle = 0;
    {
      Comando c(db_, "PRAGMA application_id");
      int passo = 0;
      if (!c.Pronto()) Fallito("lettura");
      if (c.Passo(passo)) id = c.Intero(0);
      if (passo != SQLITE_ROW) Fallito("lettura");
    }
    {
      Comando c(db_, "PRAGMA user_version");
      int passo = 0;
      if (c.Pronto() && c.Passo(passo)) versione = c.Intero(0);
    }
    {
      Comando c(db_, "SELECT count(*) FROM sqlite_master");
      int passo = 0;
      if (!c.Pronto() || !c.Passo(passo)) Fallito("lettura");
      tabelle = c.Intero(0);
    }
    if (id == 0 && tabelle == 0 && versione == 0) {
      // A new file (or an empty one): nothing to lose.
      if (!crea) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return;
      }
      Esegui("BEGIN IMMEDIATE");
      try {
        Esegui(kSchema);
        Esegui(("PRAGMA application_id=" + std::to_string(kIdLibri)).c_str());
        Esegui(("PRAGMA user_version=" + std::to_string(kVersioneLibri)).c_str());
        Esegui("COMMIT");
      } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
      }
      return;
    }
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
      Comando c(db_, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?");
      int passo = 0;
      if (!c.Pronto()) Fallito("lettura");
      c.Lega(1, std::string(tabella));
      if (!c.Passo(passo)) {
        if (passo != SQLITE_DONE) Fallito("lettura");
        throw LibriNonValidi(
            "L'archivio dei libri " + percorso_.string() + " è danneggiato (manca la tabella " +
            tabella + "): Vendrix non lo modifica. Ripristinarlo da una copia di sicurezza.");
      }
    }
  } catch (...) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw;
  }
}

ArchivioLibri::~ArchivioLibri() { sqlite3_close_v2(db_); }

int64_t ArchivioLibri::IdNome(const std::string& nome) {
  if (auto it = id_nomi_.find(nome); it != id_nomi_.end()) return it->second;
  Comando cerca(db_, "SELECT Id FROM Nomi WHERE Nome=?");
  if (!cerca.Pronto()) Fallito("scrittura");
  cerca.Lega(1, nome);
  int rc = 0;
  int64_t id;
  if (cerca.Passo(rc)) {
    id = cerca.Intero(0);
  } else {
    if (rc != SQLITE_DONE) Fallito("lettura");
    Comando nuovo(db_, "INSERT INTO Nomi(Nome) VALUES(?)");
    if (!nuovo.Pronto()) Fallito("scrittura");
    nuovo.Lega(1, nome);
    nuovo.Passo(rc);
    if (rc != SQLITE_DONE) Fallito("scrittura");
    id = sqlite3_last_insert_rowid(db_);
  }
  id_nomi_.emplace(nome, id);
  return id;
}

void ArchivioLibri::Scrivi(const Istantanea& ist) {
  if (!db_) throw Errore("Archivio dei libri " + percorso_.string() + " non aperto per scrivere.");
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

  BloccoCartella blocco(cartella_, kFileBloccoLibri, BloccoCartella::Modo::kEsclusivo,
                        kIstantaneaInCorso);
  Esegui("BEGIN IMMEDIATE");
  try {
    const int64_t giorno = Chiave(ist.giorno);
    int rc = 0;
    for (const char* sql :
         {"DELETE FROM Libri WHERE Giorno=?", "DELETE FROM TotaliLibri WHERE Giorno=?"}) {
      Comando c(db_, sql);
      if (!c.Pronto()) Fallito("scrittura");
      c.Lega(1, giorno).Passo(rc);
      if (rc != SQLITE_DONE) Fallito("scrittura");
    }
    {
      Comando c(db_, "INSERT OR REPLACE INTO Istantanee VALUES(?,?,?,?)");
      if (!c.Pronto()) Fallito("scrittura");
      c.Lega(1, giorno)
          .Lega(2, OraLocale("%Y-%m-%d %H:%M:%S"))
          .Lega(3, std::string(kVersione))
          .Lega(4, ist.camere_disponibili)
          .Passo(rc);
      if (rc != SQLITE_DONE) Fallito("scrittura");
    }
    // Rows of the same key are added up: the caller may give a room type and segment twice.
    std::map<std::tuple<int64_t, int64_t, int64_t, bool>, std::tuple<int64_t, int64_t, Valuta>>
        voci;
    std::map<int64_t, TotaleNotte> totali;
    for (const VoceLibri& v : ist.libri) {
      const int64_t notte = Chiave(v.notte);
      auto& [camere, ospiti, retta] =
          voci[{notte, IdNome(v.tipo_camera), IdNome(v.segmento), v.opzionale}];
      camere += v.camere;
      ospiti += v.ospiti;
      retta += v.retta;
      TotaleNotte& t = totali[notte];
      if (v.opzionale) {
        t.camere_opzionate += v.camere;
        t.retta_opzionata += v.retta;
      } else {
        t.camere += v.camere;
        t.retta += v.retta;
      }
    }
    {
      Comando c(db_, "INSERT INTO Libri VALUES(?,?,?,?,?,?,?,?)");
      if (!c.Pronto()) Fallito("scrittura");
      for (const auto& [chiave, cifre] : voci) {
        c.Lega(1, giorno)
            .Lega(2, std::get<0>(chiave))
            .Lega(3, std::get<1>(chiave))
            .Lega(4, std::get<2>(chiave))
            .Lega(5, std::get<3>(chiave) ? 1 : 0)
            .Lega(6, std::get<0>(cifre))
            .Lega(7, std::get<1>(cifre))
            .Lega(8, std::get<2>(cifre).Decimillesimi())
            .Passo(rc);
        if (rc != SQLITE_DONE) Fallito("scrittura");
        c.Azzera();
      }
    }
    {
      Comando c(db_, "INSERT INTO TotaliLibri VALUES(?,?,?,?,?,?)");
      if (!c.Pronto()) Fallito("scrittura");
      for (const auto& [notte, t] : totali) {
        c.Lega(1, notte)
            .Lega(2, giorno)
            .Lega(3, t.camere)
            .Lega(4, t.retta.Decimillesimi())
            .Lega(5, t.camere_opzionate)
            .Lega(6, t.retta_opzionata.Decimillesimi())
            .Passo(rc);
        if (rc != SQLITE_DONE) Fallito("scrittura");
        c.Azzera();
      }
    }
    if (con_consuntivi) {
      std::map<int64_t, std::map<std::pair<int64_t, int64_t>, TotaleConsuntivo>> per_notte;
      for (Giorno n = *ist.consuntivi_dal; n <= *ist.consuntivi_al; n += days(1)) {
        per_notte[Chiave(n)];
      }
      for (const VoceConsuntivo& v : ist.consuntivi) {
        TotaleConsuntivo& t =
            per_notte[Chiave(v.notte)][{IdNome(v.tipo_camera), IdNome(v.segmento)}];
        t.camere += v.camere;
        t.ospiti += v.ospiti;
        t.retta += v.retta;
      }
      Comando da_chi(db_, "SELECT Giorno FROM NottiConsuntivo WHERE Notte=?");
      Comando togli(db_, "DELETE FROM Consuntivi WHERE Notte=?");
      Comando metti(db_, "INSERT INTO Consuntivi VALUES(?,?,?,?,?,?)");
      Comando notte_fatta(db_, "INSERT OR REPLACE INTO NottiConsuntivo VALUES(?,?,?,?,?)");
      if (!da_chi.Pronto() || !togli.Pronto() || !metti.Pronto() || !notte_fatta.Pronto()) {
        Fallito("scrittura");
      }
      for (const auto& [notte, voci_notte] : per_notte) {
        da_chi.Lega(1, notte);
        const bool piu_recente = da_chi.Passo(rc) && da_chi.Intero(0) > giorno;
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) Fallito("lettura");
        da_chi.Azzera();
        if (piu_recente) continue;  // a later day saw that night's final: it knows better
        togli.Lega(1, notte).Passo(rc);
        if (rc != SQLITE_DONE) Fallito("scrittura");
        togli.Azzera();
        TotaleConsuntivo totale;
        for (const auto& [chiave, t] : voci_notte) {
          metti.Lega(1, notte)
              .Lega(2, chiave.first)
              .Lega(3, chiave.second)
              .Lega(4, t.camere)
              .Lega(5, t.ospiti)
              .Lega(6, t.retta.Decimillesimi())
              .Passo(rc);
          if (rc != SQLITE_DONE) Fallito("scrittura");
          metti.Azzera();
          totale.camere += t.camere;
          totale.ospiti += t.ospiti;
          totale.retta += t.retta;
        }
        notte_fatta.Lega(1, notte)
            .Lega(2, giorno)
            .Lega(3, totale.camere)
            .Lega(4, totale.ospiti)
            .Lega(5, totale.retta.Decimillesimi())
            .Passo(rc);
        if (rc != SQLITE_DONE) Fallito("scrittura");
        notte_fatta.Azzera();
      }
    }
    Sfoltisci(ist.giorno);
    Esegui("COMMIT");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    id_nomi_.clear();  // names added by the rolled-back transaction are gone
    throw;
  }
}

void ArchivioLibri::Sfoltisci(Giorno oggi) {
  if (!db_) return;
  const bool propria = sqlite3_get_autocommit(db_) != 0;
  if (propria) Esegui("BEGIN IMMEDIATE");
  try {
    std::vector<int64_t> da_togliere;
    {
      Comando c(db_, "SELECT Giorno FROM Istantanee WHERE Giorno<? ORDER BY Giorno");
      if (!c.Pronto()) Fallito("lettura");
      c.Lega(1, Chiave(oggi - days(kGiorniTutteIstantanee)));
      int rc = 0;
      std::optional<int64_t> settimana;
      while (c.Passo(rc)) {
        const int64_t g = c.Intero(0);
        const int64_t s = Settimana(DaChiave(g));
        if (settimana == s) {
          da_togliere.push_back(g);
        } else {
          settimana = s;
        }
      }
      if (rc != SQLITE_DONE) Fallito("lettura");
    }
    for (const char* sql :
         {"DELETE FROM Libri WHERE Giorno=?", "DELETE FROM TotaliLibri WHERE Giorno=?",
          "DELETE FROM Istantanee WHERE Giorno=?"}) {
      Comando c(db_, sql);
      if (!c.Pronto()) Fallito("scrittura");
      for (int64_t g : da_togliere) {
        int rc = 0;
        c.Lega(1, g).Passo(rc);
        if (rc != SQLITE_DONE) Fallito("scrittura");
        c.Azzera();
      }
    }
    if (propria) Esegui("COMMIT");
  } catch (...) {
    if (propria) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::vector<Giorno> ArchivioLibri::Giorni() const {
  std::vector<Giorno> giorni;
  if (!db_) return giorni;
  Comando c(db_, "SELECT Giorno FROM Istantanee ORDER BY Giorno");
  if (!c.Pronto()) Fallito("lettura");
  int rc = 0;
  while (c.Passo(rc)) giorni.push_back(DaChiave(c.Intero(0)));
  if (rc != SQLITE_DONE) Fallito("lettura");
  return giorni;
}

bool ArchivioLibri::HaIstantanea(Giorno giorno) const {
  if (!db_) return false;
  Comando c(db_, "SELECT 1 FROM Istantanee WHERE Giorno=?");
  if (!c.Pronto()) Fallito("lettura");
  int rc = 0;
  const bool c_e = c.Lega(1, Chiave(giorno)).Passo(rc);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) Fallito("lettura");
  return c_e;
}

int64_t ArchivioLibri::CamereDisponibili(Giorno giorno) const {
  if (!db_) return 0;
  Comando c(db_, "SELECT CamereDisponibili FROM Istantanee WHERE Giorno=?");
  if (!c.Pronto()) Fallito("lettura");
  int rc = 0;
  return c.Lega(1, Chiave(giorno)).Passo(rc) ? c.Intero(0) : 0;
}

std::vector<VoceLibri> ArchivioLibri::Libri(Giorno giorno, Giorno dal, Giorno al) const {
  std::vector<VoceLibri> voci;
  if (!db_) return voci;
  Comando c(db_,
            "SELECT l.Notte, t.Nome, s.Nome, l.Opzionale, l.Camere, l.Ospiti, l.Retta FROM Libri l"
            " JOIN Nomi t ON t.Id=l.Tipo JOIN Nomi s ON s.Id=l.Segmento"
            " WHERE l.Giorno=? AND l.Notte BETWEEN ? AND ? ORDER BY 1, 2, 3, 4");
  if (!c.Pronto()) Fallito("lettura");
  c.Lega(1, Chiave(giorno)).Lega(2, Chiave(dal)).Lega(3, Chiave(al));
  int rc = 0;
  while (c.Passo(rc)) {
    voci.push_back({DaChiave(c.Intero(0)), c.Testo(1), c.Testo(2), c.Intero(3) != 0, c.Intero(4),
                    c.Intero(5), Valuta::DaDecimillesimi(c.Intero(6))});
  }
  if (rc != SQLITE_DONE) Fallito("lettura");
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
  Comando c(db_,
            "SELECT Notte, Giorno, Camere, Retta, CamereOpzionate, RettaOpzionata FROM TotaliLibri"
            " WHERE Notte BETWEEN ? AND ? AND Giorno BETWEEN ? AND ?");
  if (!c.Pronto()) Fallito("lettura");
  c.Lega(1, Chiave(dal)).Lega(2, Chiave(al)).Lega(3, Chiave(giorni_dal)).Lega(4, Chiave(giorni_al));
  int rc = 0;
  while (c.Passo(rc)) {
    totali[DaChiave(c.Intero(0))][DaChiave(c.Intero(1))] = {
        c.Intero(2), Valuta::DaDecimillesimi(c.Intero(3)), c.Intero(4),
        Valuta::DaDecimillesimi(c.Intero(5))};
  }
  if (rc != SQLITE_DONE) Fallito("lettura");
  return totali;
}

std::map<Giorno, TotaleConsuntivo> ArchivioLibri::Consuntivi(Giorno dal, Giorno al) const {
  std::map<Giorno, TotaleConsuntivo> finali;
  if (!db_) return finali;
  Comando c(db_,
            "SELECT Notte, Camere, Ospiti, Retta FROM NottiConsuntivo WHERE Notte BETWEEN ? AND ?");
  if (!c.Pronto()) Fallito("lettura");
  c.Lega(1, Chiave(dal)).Lega(2, Chiave(al));
  int rc = 0;
  while (c.Passo(rc)) {
    finali[DaChiave(c.Intero(0))] = {c.Intero(1), c.Intero(2),
                                     Valuta::DaDecimillesimi(c.Intero(3))};
  }
  if (rc != SQLITE_DONE) Fallito("lettura");
  return finali;
}

std::vector<VoceConsuntivo> ArchivioLibri::ConsuntiviDettaglio(Giorno dal, Giorno al) const {
  std::vector<VoceConsuntivo> voci;
  if (!db_) return voci;
  Comando c(db_,
            "SELECT c.Notte, t.Nome, s.Nome, c.Camere, c.Ospiti, c.Retta FROM Consuntivi c"
            " JOIN Nomi t ON t.Id=c.Tipo JOIN Nomi s ON s.Id=c.Segmento"
            " WHERE c.Notte BETWEEN ? AND ? ORDER BY 1, 2, 3");
  if (!c.Pronto()) Fallito("lettura");
  c.Lega(1, Chiave(dal)).Lega(2, Chiave(al));
  int rc = 0;
  while (c.Passo(rc)) {
    voci.push_back({DaChiave(c.Intero(0)), c.Testo(1), c.Testo(2), c.Intero(3), c.Intero(4),
                    Valuta::DaDecimillesimi(c.Intero(5))});
  }
  if (rc != SQLITE_DONE) Fallito("lettura");
  return voci;
}

int64_t ArchivioLibri::NumeroConsuntivi() const {
  if (!db_) return 0;
  Comando c(db_, "SELECT count(*) FROM NottiConsuntivo");
  int rc = 0;
  if (!c.Pronto() || !c.Passo(rc)) Fallito("lettura");
  return c.Intero(0);
}

std::optional<Giorno> ArchivioLibri::UltimoConsuntivo() const {
  if (!db_) return std::nullopt;
  Comando c(db_, "SELECT coalesce(max(Notte), 0) FROM NottiConsuntivo");
  int rc = 0;
  if (!c.Pronto() || !c.Passo(rc)) Fallito("lettura");
  if (c.Intero(0) == 0) return std::nullopt;
  return DaChiave(c.Intero(0));
}

}  // namespace vendrix
