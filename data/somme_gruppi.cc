// Grouped sums worked out by the engine: the rows are read once and added up by group in a hash
// table, then the groups are put in the order SQLite gives them. SQLite itself would sort every
// row before adding, which on a statistics table of hundreds of thousands of rows is most of the
// query. The results are the ones SQLite's own execution gives, value for value and in the same
// order; whatever this code does not reproduce exactly (a number with decimals or a blob as a
// group key, a column compared by another collation, a sum out of range or of a text) makes it
// give up, and the query is run by SQLite as written.

#include "data/somme_gruppi.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "comune/testo.h"
#include "data/errore.h"
#include "data/sqlite_motore.h"
#include "data/valore.h"

namespace vendrix::engine_detail {

namespace {

// One grouped column's value in a group: Null, a whole number or a text (in `testi`).
struct Chiave {
  enum Tipo : uint8_t { kNull, kIntero, kTesto } tipo = kNull;
  int64_t intero = 0;
  uint32_t inizio = 0, lunghezza = 0;
};

struct Somma {
  __int128 totale = 0;
  bool qualcuno = false;
};

// A grouped column's value in the scan's current row, and its hash.
struct ChiaveLetta {
  Chiave chiave;
  std::string_view testo;  // valid until the next step: the column is never converted
  uint64_t hash = 0;
};

uint64_t Mescola(uint64_t h, uint64_t x) {
  h ^= x + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2);
  return h;
}

uint64_t HashTesto(const char* p, size_t n) {
  uint64_t h = 1469598103934665603ULL;
  for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(p[i])) * 1099511628211ULL;
  return h;
}

// Reads column `colonna` of the current row of `st` as a group key; false when it is of a kind
// not handled (a number with decimals, a blob).
bool LeggiChiave(sqlite3_stmt* st, int colonna, ChiaveLetta& letta) {
  switch (sqlite3_column_type(st, colonna)) {
    case SQLITE_NULL:
      letta.chiave = Chiave{};
      letta.testo = {};
      letta.hash = 1;
      return true;
    case SQLITE_INTEGER:
      letta.chiave = Chiave{Chiave::kIntero, sqlite3_column_int64(st, colonna), 0, 0};
      letta.testo = {};
      letta.hash = static_cast<uint64_t>(letta.chiave.intero) * 0xff51afd7ed558ccdULL;
      return true;
    case SQLITE_TEXT: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, colonna));
      const size_t n = static_cast<size_t>(sqlite3_column_bytes(st, colonna));
      letta.chiave = Chiave{Chiave::kTesto, 0, 0, static_cast<uint32_t>(n)};
      letta.testo = std::string_view(p ? p : "", n);
      letta.hash = HashTesto(letta.testo.data(), n);
      return true;
    }
    default:
      return false;
  }
}

class Gruppi {
 public:
  Gruppi(int chiavi, int somme) : chiavi_(chiavi), somme_(somme) {
    slot_.assign(1024, 0);
    riga_.resize(static_cast<size_t>(chiavi));
    testi_riga_.resize(static_cast<size_t>(chiavi));
  }

  // The group of the row whose grouped columns, read into `letti`, are the scan columns
  // `colonne`, added when new.
  size_t Trova(const std::vector<ChiaveLetta>& letti, const std::vector<int>& colonne) {
    uint64_t h = 0;
    for (int c = 0; c < chiavi_; ++c) {
      const ChiaveLetta& letta = letti[static_cast<size_t>(colonne[static_cast<size_t>(c)])];
      riga_[static_cast<size_t>(c)] = letta.chiave;
      testi_riga_[static_cast<size_t>(c)] = letta.testo;
      h = Mescola(h, letta.hash);
    }
    return CercaOAggiungi(h | 1);  // 0 marks an empty slot
  }

  // Adds the groups and sums of `altri`, of the same columns, to these.
  void Aggiungi(const Gruppi& altri) {
    for (size_t g = 0; g < altri.Numero(); ++g) {
      for (int c = 0; c < chiavi_; ++c) {
        const Chiave& k = altri.ChiaveDi(g, c);
        riga_[static_cast<size_t>(c)] = k;
        testi_riga_[static_cast<size_t>(c)] =
            k.tipo == Chiave::kTesto ? altri.Testo(k) : std::string_view();
      }
      const size_t mio = CercaOAggiungi(altri.hash_[g]);
      for (int s = 0; s < somme_; ++s) {
        const Somma& sua = altri.somma_[g * static_cast<size_t>(somme_) + static_cast<size_t>(s)];
        Somma& somma = SommaDi(mio, s);
        somma.totale += sua.totale;
        somma.qualcuno = somma.qualcuno || sua.qualcuno;
      }
    }
  }

  size_t Numero() const { return hash_.size(); }
  const Chiave& ChiaveDi(size_t g, int c) const {
    return chiave_[g * static_cast<size_t>(chiavi_) + static_cast<size_t>(c)];
  }
  std::string_view Testo(const Chiave& k) const {
    return std::string_view(testi_).substr(k.inizio, k.lunghezza);
  }
  Somma& SommaDi(size_t g, int s) {
    return somma_[g * static_cast<size_t>(somme_) + static_cast<size_t>(s)];
  }

  // SQLite's order of values: Null, then numbers, then texts byte by byte.
  int Confronta(size_t a, size_t b, int c) const {
    const Chiave& x = ChiaveDi(a, c);
    const Chiave& y = ChiaveDi(b, c);
    if (x.tipo != y.tipo) return x.tipo < y.tipo ? -1 : 1;
    if (x.tipo == Chiave::kIntero) return x.intero < y.intero ? -1 : (x.intero > y.intero ? 1 : 0);
    if (x.tipo == Chiave::kTesto) {
      const int r = Testo(x).compare(Testo(y));
      return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    return 0;
  }

 private:
  bool Uguale(size_t g) const {
    for (int c = 0; c < chiavi_; ++c) {
      const Chiave& a = ChiaveDi(g, c);
      const Chiave& b = riga_[static_cast<size_t>(c)];
      if (a.tipo != b.tipo) return false;
      if (a.tipo == Chiave::kIntero && a.intero != b.intero) return false;
      if (a.tipo == Chiave::kTesto && Testo(a) != testi_riga_[static_cast<size_t>(c)]) return false;
    }
    return true;
  }

  // The group of the keys in `riga_` and `testi_riga_`, whose hash is `h`, added when new.
  size_t CercaOAggiungi(uint64_t h) {
    const size_t maschera = slot_.size() - 1;
    for (size_t i = h & maschera;; i = (i + 1) & maschera) {
      if (slot_[i] == 0) break;
      if (hash_[slot_[i] - 1] == h && Uguale(slot_[i] - 1)) return slot_[i] - 1;
    }
    const size_t g = hash_.size();
    hash_.push_back(h);
    for (int c = 0; c < chiavi_; ++c) {
      Chiave k = riga_[static_cast<size_t>(c)];
      if (k.tipo == Chiave::kTesto) {
        k.inizio = static_cast<uint32_t>(testi_.size());
        testi_ += testi_riga_[static_cast<size_t>(c)];
      }
      chiave_.push_back(k);
    }
    somma_.resize(somma_.size() + static_cast<size_t>(somme_));
    // The table kept at most half full: when it grows, every group goes in again.
    const bool cresce = hash_.size() * 2 > slot_.size();
    if (cresce) slot_.assign(slot_.size() * 2, 0);
    for (size_t k = cresce ? 0 : g; k <= g; ++k) Inserisci(k);
    return g;
  }

  void Inserisci(size_t g) {
    const size_t maschera = slot_.size() - 1;
    size_t i = hash_[g] & maschera;
    while (slot_[i] != 0) i = (i + 1) & maschera;
    slot_[i] = static_cast<uint32_t>(g + 1);
  }

  int chiavi_, somme_;
  std::vector<uint32_t> slot_;  // group + 1, 0 when empty
  std::vector<uint64_t> hash_;  // by group
  std::vector<Chiave> chiave_;  // by group, then grouped column
  std::string testi_;
  std::vector<Somma> somma_;  // by group, then summed column
  std::vector<Chiave> riga_;  // the current row's keys
  std::vector<std::string_view> testi_riga_;
};

// True when every grouped column of the plan is a column of its table compared byte by byte.
bool ConfrontoBinario(sqlite3* db, const PianoSomme& piano) {
  for (const std::string& c : piano.colonne_gruppo) {
    const char* collazione = nullptr;
    if (sqlite3_table_column_metadata(db, piano.schema.c_str(), piano.tabella.c_str(), c.c_str(),
                                      nullptr, &collazione, nullptr, nullptr,
                                      nullptr) != SQLITE_OK ||
        !collazione || sqlite3_stricmp(collazione, "BINARY") != 0) {
      return false;
    }
  }
  return true;
}

// One of the queries worked out together: where its columns are in the scan, and its groups.
struct Lavoro {
  const PianoSomme* piano;
  Insieme* ins;
  std::vector<int> chiavi;  // scan columns of the grouped columns
  std::vector<int> somme;   // of each summed column, its value among the row's (Scansione)
  int condizione = -1;      // scan column of the Where condition's truth, or -1
  Gruppi gruppi;
};

// Puts the groups of `lavoro` in SQLite's order and writes them as its rows; false when a sum
// is out of the range SQLite can hand over.
bool Scrivi(Lavoro& lavoro, const std::vector<char>& valuta) {
  const PianoSomme& piano = *lavoro.piano;
  Gruppi& gruppi = lavoro.gruppi;
  const int chiavi = static_cast<int>(piano.colonne_gruppo.size());
  // SQLite's order: by the Order by columns, then by all the grouped ones.
  std::vector<size_t> ordine(gruppi.Numero());
  std::iota(ordine.begin(), ordine.end(), size_t{0});
  std::vector<int> criteri = piano.ordine;
  for (int c = 0; c < chiavi; ++c) criteri.push_back(c);
  std::sort(ordine.begin(), ordine.end(), [&](size_t a, size_t b) {
    for (int c : criteri) {
      if (const int r = gruppi.Confronta(a, b, c)) return r < 0;
    }
    return false;
  });

  Insieme& ins = *lavoro.ins;
  const size_t n = ins.Campi().size();
  std::vector<Colonna> colonne(n);
  for (auto& c : colonne) c.Riserva(ordine.size());
  for (size_t g : ordine) {
    for (size_t u = 0; u < n; ++u) {
      const PianoSomme::Uscita& uscita = piano.uscite[u];
      const TipoCampo tipo = ins.Campi()[u].tipo;
      Colonna& colonna = colonne[u];
      if (!uscita.somma) {
        const Chiave& k = gruppi.ChiaveDi(g, uscita.colonna);
        if (k.tipo == Chiave::kNull) {
          colonna.AggiungiNull();
        } else if (k.tipo == Chiave::kIntero) {
          colonna.AggiungiInteroSqlite(k.intero, tipo);
        } else {
          colonna.AggiungiTestoSqlite(gruppi.Testo(k), tipo);
        }
        continue;
      }
      const Somma& somma = gruppi.SommaDi(g, uscita.colonna);
      if (!somma.qualcuno) {
        colonna.AggiungiNull();
        continue;
      }
      if (somma.totale > INT64_MAX || somma.totale < INT64_MIN) return false;
      const auto totale = static_cast<int64_t>(somma.totale);
      // As SQLite hands the sums over: a Currency sum with decimals as a floating-point number.
      if (!valuta[static_cast<size_t>(lavoro.somme[static_cast<size_t>(uscita.colonna)])]) {
        colonna.AggiungiInteroSqlite(totale, tipo);
      } else if (totale % 10000 == 0) {
        colonna.AggiungiInteroSqlite(totale / 10000, tipo);
      } else {
        colonna.AggiungiRealeSqlite(static_cast<double>(totale) / 10000.0, tipo);
      }
    }
  }
  ins.Riempi(std::move(colonne));
  return true;
}

// What one read of the table gets: its SQL text, and the summed columns the rows are read in.
struct Scansione {
  std::string sql;
  std::vector<int> colonna_valore;  // scan column of each value of the row
  std::vector<char> valuta;         // whether each value is added up as Currency
};

// Reads the rows of `sql` on `db` and adds them into the groups of `lavori`; false when a value
// is not one this code adds up as SQLite would, or the read fails.
bool Scandisci(sqlite3* db, const std::string& sql, const Scansione& scansione,
               std::vector<Lavoro>& lavori) {
  Istruzione istruzione;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &istruzione.st, nullptr) !=
          SQLITE_OK ||
      !istruzione.st || !sqlite3_stmt_readonly(istruzione.st)) {
    return false;
  }
  sqlite3_stmt* st = istruzione.st;

  struct ValoreRiga {
    int64_t n;
    bool nullo;
  };
  const std::vector<int>& colonna_valore = scansione.colonna_valore;
  const std::vector<char>& valuta = scansione.valuta;
  std::vector<ValoreRiga> valori(colonna_valore.size());
  // The grouped columns of all the queries, each read once a row.
  std::vector<int> colonne_chiave;
  for (const Lavoro& lavoro : lavori) {
    for (int c : lavoro.chiavi) {
      if (std::find(colonne_chiave.begin(), colonne_chiave.end(), c) == colonne_chiave.end()) {
        colonne_chiave.push_back(c);
      }
    }
  }
  std::vector<ChiaveLetta> letti(static_cast<size_t>(sqlite3_column_count(st)));
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c : colonne_chiave) {
      if (!LeggiChiave(st, c, letti[static_cast<size_t>(c)])) return false;
    }
    // Each summed column of the row read once, as the sum reads it.
    for (size_t i = 0; i < valori.size(); ++i) {
      const int c = colonna_valore[i];
      ValoreRiga& v = valori[i];
      v.nullo = false;
      if (valuta[i]) {
        const ValoreSomma esito = DecimillesimiDaSommare(sqlite3_column_value(st, c), v.n);
        if (esito == ValoreSomma::kNessuno) {
          v.nullo = true;
        } else if (esito != ValoreSomma::kNumero) {
          return false;
        }
      } else {
        const int tipo = sqlite3_column_type(st, c);
        if (tipo == SQLITE_NULL) {
          v.nullo = true;
        } else if (tipo != SQLITE_INTEGER) {
          return false;  // SQLite sums these as floating point
        } else {
          v.n = sqlite3_column_int64(st, c);
        }
      }
    }
    for (Lavoro& lavoro : lavori) {
      if (lavoro.condizione >= 0 && sqlite3_column_int(st, lavoro.condizione) == 0) continue;
      const size_t g = lavoro.gruppi.Trova(letti, lavoro.chiavi);
      for (size_t s = 0; s < lavoro.somme.size(); ++s) {
        const ValoreRiga& v = valori[static_cast<size_t>(lavoro.somme[s])];
        if (v.nullo) continue;
        Somma& somma = lavoro.gruppi.SommaDi(g, static_cast<int>(s));
        somma.totale += v.n;
        somma.qualcuno = true;
      }
    }
  }
  return rc == SQLITE_DONE;
}

// Tables of fewer rows are read in one go.
constexpr int64_t kRigheDaDividere = 100000;

// The file of the plans' table when it may be read in two halves: a table of the main file of
// `db`, a file on disk in rollback-journal mode, no transaction open on `db`, rowids not
// shadowed by a column. "" otherwise.
std::string FileDivisibile(sqlite3* db, const PianoSomme& piano) {
  if (piano.schema != "main" || !sqlite3_get_autocommit(db)) return "";
  const char* file = sqlite3_db_filename(db, "main");
  if (!file || !*file || sqlite3_db_readonly(db, "main") < 0) return "";
  std::error_code errore;
  if (!std::filesystem::is_regular_file(file, errore)) return "";
  sqlite3_stmt* st = nullptr;
  bool adatta =
      sqlite3_prepare_v2(db, "PRAGMA main.journal_mode", -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW &&
      sqlite3_stricmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "wal") != 0;
  sqlite3_finalize(st);
  // _rowid_ must be the rowid, not a column of that name.
  const char* tipo = nullptr;
  int chiave = 0;
  adatta = adatta &&
           sqlite3_table_column_metadata(db, "main", piano.tabella.c_str(), "_rowid_", &tipo,
                                         nullptr, nullptr, &chiave, nullptr) == SQLITE_OK &&
           chiave && tipo && sqlite3_stricmp(tipo, "INTEGER") == 0;
  return adatta ? std::string(file) : std::string();
}

// The rowid halfway between the table's first and last, when the table is large enough to be
// read in two halves; read in the transaction of `lettura`.
std::optional<int64_t> MetaDeiRowid(sqlite3* db, const PianoSomme& piano) {
  // One query for each end: SQLite reads a lone min() or max() of the rowid from the end of the
  // table's tree, and both in one query from every row.
  const auto estremo = [&](const char* funzione) -> std::optional<int64_t> {
    const std::string sql =
        std::string("SELECT ") + funzione + "(_rowid_) FROM main." + QuotaNome(piano.tabella);
    Istruzione i;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &i.st, nullptr) == SQLITE_OK &&
        sqlite3_step(i.st) == SQLITE_ROW && sqlite3_column_type(i.st, 0) == SQLITE_INTEGER) {
      return sqlite3_column_int64(i.st, 0);
    }
    return std::nullopt;
  };
  const std::optional<int64_t> primo = estremo("min"), ultimo = estremo("max");
  if (!primo || !ultimo) return std::nullopt;
  const __int128 ampiezza = static_cast<__int128>(*ultimo) - *primo;  // rowids may be negative
  if (ampiezza < kRigheDaDividere) return std::nullopt;
  return static_cast<int64_t>(*primo + ampiezza / 2);
}

// A read transaction on `db` for the life of the object.
class Lettura {
 public:
  explicit Lettura(sqlite3* db) : db_(db) {
    aperta_ = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~Lettura() {
    if (aperta_ && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);  // it only read
    }
  }
  bool Aperta() const { return aperta_; }
  Lettura(const Lettura&) = delete;
  Lettura& operator=(const Lettura&) = delete;

 private:
  sqlite3* db_;
  bool aperta_ = false;
};

// One scan for all the queries: the grouped columns, the summed columns (each once) and the
// truth of each Where condition, as SQLite's Where tests it. False when a query is not one this
// code works out exactly.
bool Pianifica(Connessione& conn,
               const std::vector<std::pair<const PianoSomme*, Insieme*>>& richieste,
               std::vector<Lavoro>& lavori, Scansione& scansione) {
  const PianoSomme& primo = *richieste.front().first;
  std::vector<std::string> colonne_scan;
  auto colonna = [&](const std::string& testo) {
    for (size_t i = 0; i < colonne_scan.size(); ++i) {
      if (colonne_scan[i] == testo) return static_cast<int>(i);
    }
    colonne_scan.push_back(testo);
    return static_cast<int>(colonne_scan.size() - 1);
  };
  // The values of the row: one per distinct (summed column, kind of sum).
  std::vector<int>& colonna_valore = scansione.colonna_valore;
  std::vector<char>& valuta = scansione.valuta;
  lavori.reserve(richieste.size());
  for (const auto& [piano, ins] : richieste) {
    if (piano->testo_tabella != primo.testo_tabella ||
        piano->uscite.size() != ins->Campi().size() || !ConfrontoBinario(conn.Db(), *piano)) {
      return false;
    }
    Lavoro lavoro{piano,
                  ins,
                  {},
                  {},
                  -1,
                  Gruppi(static_cast<int>(piano->colonne_gruppo.size()),
                         static_cast<int>(piano->argomenti.size()))};
    for (const std::string& t : piano->testi_gruppo) lavoro.chiavi.push_back(colonna(t));
    std::vector<char> valuta_argomento(piano->argomenti.size(), 0);
    for (const auto& u : piano->uscite) {
      const int limite =
          static_cast<int>(u.somma ? piano->argomenti.size() : piano->colonne_gruppo.size());
      if (u.colonna < 0 || u.colonna >= limite) return false;
      if (u.somma) valuta_argomento[static_cast<size_t>(u.colonna)] = u.valuta;
    }
    for (size_t a = 0; a < piano->argomenti.size(); ++a) {
      const int c = colonna(piano->testi_argomenti[a]);
      int v = -1;
      for (size_t i = 0; i < colonna_valore.size(); ++i) {
        if (colonna_valore[i] == c && valuta[i] == valuta_argomento[a]) v = static_cast<int>(i);
      }
      if (v < 0) {
        colonna_valore.push_back(c);
        valuta.push_back(valuta_argomento[a]);
        v = static_cast<int>(colonna_valore.size() - 1);
      }
      lavoro.somme.push_back(v);
    }
    if (!piano->condizione.empty() && richieste.size() > 1) {
      lavoro.condizione = colonna("CASE WHEN (" + piano->condizione + ") THEN 1 ELSE 0 END");
    }
    lavori.push_back(std::move(lavoro));
  }
  scansione.sql = "SELECT ";
  for (size_t i = 0; i < colonne_scan.size(); ++i) {
    scansione.sql += (i ? ", " : "") + colonne_scan[i];
  }
  scansione.sql += " FROM " + primo.testo_tabella;
  return true;
}

// A large table of a file read in two halves at once, the second on a connection and a thread
// of its own, both in one read transaction of the file's: the first connection holds its shared
// lock from before the second reads until after, so no writer changes the file between the two.
// Whether both halves were added into `lavori`; nullopt when the table is not read so (too
// small, not of a file, no thread to be had).
std::optional<bool> ScandisciInDueMeta(sqlite3* db, const PianoSomme& primo,
                                       const std::string& condizione, const Scansione& scansione,
                                       std::vector<Lavoro>& lavori) {
  const std::string file = FileDivisibile(db, primo);
  if (file.empty()) return std::nullopt;
  Lettura lettura(db);
  if (!lettura.Aperta()) return std::nullopt;
  const std::optional<int64_t> meta = MetaDeiRowid(db, primo);
  if (!meta) return std::nullopt;
  std::vector<Lavoro> altri = lavori;  // no group read yet
  const std::string dove = " WHERE " + (condizione.empty() ? "" : condizione + " AND ");
  const std::string sql_altra = scansione.sql + dove + "_rowid_ > " + std::to_string(*meta);
  bool riuscita_altra = false;
  std::thread altra;
  try {
    altra = std::thread([&] {
      sqlite3* db_altra = nullptr;
      if (sqlite3_open_v2(file.c_str(), &db_altra, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                          nullptr) == SQLITE_OK) {
        ConfiguraConnessione(db_altra);
        riuscita_altra = Scandisci(db_altra, sql_altra, scansione, altri);
      }
      sqlite3_close_v2(db_altra);
    });
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  const bool riuscita = Scandisci(db, scansione.sql + dove + "_rowid_ <= " + std::to_string(*meta),
                                  scansione, lavori);
  altra.join();
  if (!riuscita || !riuscita_altra) return false;
  for (size_t i = 0; i < lavori.size(); ++i) lavori[i].gruppi.Aggiungi(altri[i].gruppi);
  return true;
}

}  // namespace

bool SommePerGruppi(Connessione& conn,
                    const std::vector<std::pair<const PianoSomme*, Insieme*>>& richieste) {
  if (richieste.empty()) return false;
  std::vector<Lavoro> lavori;
  Scansione scansione;
  if (!Pianifica(conn, richieste, lavori, scansione)) return false;
  const PianoSomme& primo = *richieste.front().first;
  // A query alone keeps its condition where SQLite can use it to skip rows.
  std::string condizione;
  if (richieste.size() == 1 && !primo.condizione.empty()) condizione = "(" + primo.condizione + ")";
  std::optional<bool> riuscita =
      ScandisciInDueMeta(conn.Db(), primo, condizione, scansione, lavori);
  if (!riuscita) {
    riuscita = Scandisci(
        conn.Db(), condizione.empty() ? scansione.sql : scansione.sql + " WHERE " + condizione,
        scansione, lavori);
  }
  if (!*riuscita) return false;
  for (Lavoro& lavoro : lavori) {
    if (!Scrivi(lavoro, scansione.valuta)) return false;
  }
  return true;
}

}  // namespace vendrix::engine_detail
