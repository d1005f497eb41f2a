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
#include <compare>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <variant>
#include <vector>

#include "comune/testo.h"
#include "data/sqlite_motore.h"

namespace vendrix::engine_detail {

namespace {

// One grouped column's value in a group: Null, a whole number or a text. Variants compare as
// SQLite orders the values: Null, then numbers, then texts byte by byte.
using Chiave = std::variant<std::monostate, int64_t, std::string>;
// The same as read from the scan's current row: the text is valid until the next step.
using ChiaveLetta = std::variant<std::monostate, int64_t, std::string_view>;

ChiaveLetta Vista(const Chiave& k) {
  return std::visit([](const auto& v) { return ChiaveLetta(v); }, k);
}
const ChiaveLetta& Vista(const ChiaveLetta& k) { return k; }

// The grouped values of the scan's current row for one query: its columns among those read.
struct RigaLetta {
  const std::vector<ChiaveLetta>& letti;
  const std::vector<int>& colonne;
  size_t size() const { return colonne.size(); }
  const ChiaveLetta& operator[](size_t i) const { return letti[static_cast<size_t>(colonne[i])]; }
};

// Hash and equality of the keys of groups, owned (a vector of Chiave) or as read (RigaLetta).
struct HashChiavi {
  using is_transparent = void;
  template <typename Chiavi>
  size_t operator()(const Chiavi& k) const {
    size_t h = 0;
    for (size_t i = 0; i < k.size(); ++i) {
      h ^= std::hash<ChiaveLetta>{}(Vista(k[i])) + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2);
    }
    return h;
  }
};
struct UgualiChiavi {
  using is_transparent = void;
  template <typename A, typename B>
  bool operator()(const A& a, const B& b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (Vista(a[i]) != Vista(b[i])) return false;
    }
    return true;
  }
};

// The sum of a summed column in a group: none while only Nulls were added.
using Somma = std::optional<__int128>;
void Aggiungi(Somma& somma, __int128 n) { somma = somma.value_or(0) + n; }

// The groups of a query: the values of its grouped columns, and the sums of its summed ones.
using Gruppi =
    std::unordered_map<std::vector<Chiave>, std::vector<Somma>, HashChiavi, UgualiChiavi>;

// The group of `riga` in `gruppi`, added with `somme` sums when new.
std::vector<Somma>& Gruppo(Gruppi& gruppi, const RigaLetta& riga, size_t somme) {
  if (const auto it = gruppi.find(riga); it != gruppi.end()) return it->second;
  std::vector<Chiave> chiave;
  for (size_t i = 0; i < riga.size(); ++i) {
    std::visit(
        [&](auto v) {
          if constexpr (std::is_same_v<decltype(v), std::string_view>) {
            chiave.emplace_back(std::string(v));
          } else {
            chiave.emplace_back(v);
          }
        },
        riga[i]);
  }
  return gruppi.emplace(std::move(chiave), std::vector<Somma>(somme)).first->second;
}

// Reads column `colonna` of the current row of `st` as a group key; false when it is of a kind
// not handled (a number with decimals, a blob).
bool LeggiChiave(sqlite3_stmt* st, int colonna, ChiaveLetta& letta) {
  switch (sqlite3_column_type(st, colonna)) {
    case SQLITE_NULL:
      letta = std::monostate();
      return true;
    case SQLITE_INTEGER:
      letta.emplace<int64_t>(sqlite3_column_int64(st, colonna));
      return true;
    case SQLITE_TEXT: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, colonna));
      const size_t n = static_cast<size_t>(sqlite3_column_bytes(st, colonna));
      letta.emplace<std::string_view>(p ? p : "", n);
      return true;
    }
    default:
      return false;
  }
}

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
bool Scrivi(Lavoro& lavoro) {
  const PianoSomme& piano = *lavoro.piano;
  // SQLite's order: by the Order by columns, then by all the grouped ones.
  std::vector<const Gruppi::value_type*> ordine;
  ordine.reserve(lavoro.gruppi.size());
  for (const auto& gruppo : lavoro.gruppi) ordine.push_back(&gruppo);
  std::vector<int> criteri = piano.ordine;
  for (size_t c = 0; c < piano.colonne_gruppo.size(); ++c) criteri.push_back(static_cast<int>(c));
  std::sort(ordine.begin(), ordine.end(), [&](const auto* a, const auto* b) {
    for (int c : criteri) {
      const auto r = a->first[static_cast<size_t>(c)] <=> b->first[static_cast<size_t>(c)];
      if (r != 0) return r < 0;
    }
    return false;
  });

  Insieme& ins = *lavoro.ins;
  const size_t n = ins.Campi().size();
  std::vector<Colonna> colonne(n);
  for (auto& c : colonne) c.Riserva(ordine.size());
  for (const auto* gruppo : ordine) {
    for (size_t u = 0; u < n; ++u) {
      const PianoSomme::Uscita& uscita = piano.uscite[u];
      const TipoCampo tipo = ins.Campi()[u].tipo;
      Colonna& colonna = colonne[u];
      const size_t c = static_cast<size_t>(uscita.colonna);
      if (!uscita.somma) {
        const Chiave& k = gruppo->first[c];
        if (const int64_t* intero = std::get_if<int64_t>(&k)) {
          colonna.AggiungiInteroSqlite(*intero, tipo);
        } else if (const std::string* testo = std::get_if<std::string>(&k)) {
          colonna.AggiungiTestoSqlite(*testo, tipo);
        } else {
          colonna.AggiungiNull();
        }
        continue;
      }
      const Somma& somma = gruppo->second[c];
      if (!somma) {
        colonna.AggiungiNull();
        continue;
      }
      if (*somma > INT64_MAX || *somma < INT64_MIN) return false;
      const auto totale = static_cast<int64_t>(*somma);
      // As SQLite hands the sums over: a Currency sum with decimals as a floating-point number.
      if (!uscita.valuta) {
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

// A summed column of the scan, and whether it is added up as Currency.
struct Addendo {
  int colonna;
  bool valuta;
  bool operator==(const Addendo&) const = default;
};

// What one read of the table gets: the grouped columns of all the queries and the values of the
// row (each read once a row), and the SQL text without and with the parts of a Where.
struct Scansione {
  std::vector<int> chiavi;
  std::vector<Addendo> addendi;
  std::string sql;
  std::string condizione;  // of the query, when alone: SQLite can use it to skip rows

  // The SQL text of the rows that also meet `limite`, if not "".
  std::string Sql(const std::string& limite = "") const {
    if (condizione.empty() && limite.empty()) return sql;
    if (condizione.empty() || limite.empty()) return sql + " WHERE " + condizione + limite;
    return sql + " WHERE " + condizione + " AND " + limite;
  }
};

// Reads addend `a` of the current row of `st` as its sum adds it up into `n` (nothing for a
// Null); false when it is not a value this code adds up as SQLite would.
bool LeggiAddendo(sqlite3_stmt* st, const Addendo& a, std::optional<int64_t>& n) {
  n.reset();
  if (a.valuta) {
    int64_t v = 0;
    const ValoreSomma esito = DecimillesimiDaSommare(sqlite3_column_value(st, a.colonna), v);
    if (esito == ValoreSomma::kNumero) n = v;
    return esito == ValoreSomma::kNumero || esito == ValoreSomma::kNessuno;
  }
  switch (sqlite3_column_type(st, a.colonna)) {
    case SQLITE_NULL:
      return true;
    case SQLITE_INTEGER:
      n = sqlite3_column_int64(st, a.colonna);
      return true;
    default:
      return false;  // SQLite sums these as floating point
  }
}

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
  std::vector<ChiaveLetta> letti(static_cast<size_t>(sqlite3_column_count(st)));
  std::vector<std::optional<int64_t>> valori(scansione.addendi.size());
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c : scansione.chiavi) {
      if (!LeggiChiave(st, c, letti[static_cast<size_t>(c)])) return false;
    }
    for (size_t i = 0; i < valori.size(); ++i) {
      if (!LeggiAddendo(st, scansione.addendi[i], valori[i])) return false;
    }
    for (Lavoro& lavoro : lavori) {
      if (lavoro.condizione >= 0 && sqlite3_column_int(st, lavoro.condizione) == 0) continue;
      std::vector<Somma>& somme =
          Gruppo(lavoro.gruppi, RigaLetta{letti, lavoro.chiavi}, lavoro.somme.size());
      for (size_t s = 0; s < somme.size(); ++s) {
        const std::optional<int64_t>& v = valori[static_cast<size_t>(lavoro.somme[s])];
        if (v) Aggiungi(somme[s], *v);
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
  Istruzione modo;
  bool adatta =
      sqlite3_prepare_v2(db, "PRAGMA main.journal_mode", -1, &modo.st, nullptr) == SQLITE_OK &&
      sqlite3_step(modo.st) == SQLITE_ROW &&
      sqlite3_stricmp(reinterpret_cast<const char*>(sqlite3_column_text(modo.st, 0)), "wal") != 0;
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
// read in two halves; read in the caller's read transaction.
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

// The place of `x` in `v`, added at the end when new.
template <typename T>
int Posto(std::vector<T>& v, const T& x) {
  auto it = std::find(v.begin(), v.end(), x);
  if (it == v.end()) it = v.insert(it, x);
  return static_cast<int>(it - v.begin());
}

// One scan for all the queries: the grouped columns, the summed columns (each once) and the
// truth of each Where condition, as SQLite's Where tests it. False when a query is not one this
// code works out exactly.
bool Pianifica(Connessione& conn,
               const std::vector<std::pair<const PianoSomme*, Insieme*>>& richieste,
               std::vector<Lavoro>& lavori, Scansione& scansione) {
  const PianoSomme& primo = *richieste.front().first;
  std::vector<std::string> colonne;  // of the scan, as SQL text
  lavori.reserve(richieste.size());
  for (const auto& [piano, ins] : richieste) {
    if (piano->testo_tabella != primo.testo_tabella ||
        piano->uscite.size() != ins->Campi().size() || !ConfrontoBinario(conn.Db(), *piano)) {
      return false;
    }
    Lavoro& lavoro = lavori.emplace_back(Lavoro{piano, ins, {}, {}, -1, {}});
    for (const std::string& t : piano->testi_gruppo) {
      lavoro.chiavi.push_back(Posto(colonne, t));
      Posto(scansione.chiavi, lavoro.chiavi.back());
    }
    const size_t argomenti = piano->testi_argomenti.size();
    std::vector<char> valuta(argomenti, 0);
    for (const auto& u : piano->uscite) {
      const size_t limite = u.somma ? argomenti : piano->colonne_gruppo.size();
      if (u.colonna < 0 || static_cast<size_t>(u.colonna) >= limite) return false;
      if (u.somma) valuta[static_cast<size_t>(u.colonna)] = u.valuta;
    }
    for (size_t a = 0; a < argomenti; ++a) {
      const Addendo addendo{Posto(colonne, piano->testi_argomenti[a]), valuta[a] != 0};
      lavoro.somme.push_back(Posto(scansione.addendi, addendo));
    }
    if (!piano->condizione.empty() && richieste.size() > 1) {
      lavoro.condizione = Posto(colonne, "CASE WHEN (" + piano->condizione + ") THEN 1 ELSE 0 END");
    }
  }
  if (richieste.size() == 1 && !primo.condizione.empty()) {
    scansione.condizione = "(" + primo.condizione + ")";
  }
  scansione.sql = "SELECT ";
  for (size_t i = 0; i < colonne.size(); ++i) scansione.sql += (i ? ", " : "") + colonne[i];
  scansione.sql += " FROM " + primo.testo_tabella;
  return true;
}

// Adds the groups and sums of `altri`, of the same query, to `gruppi`.
void Unisci(Gruppi& gruppi, const Gruppi& altri) {
  for (const auto& [chiave, somme] : altri) {
    std::vector<Somma>& mie = gruppi.try_emplace(chiave, somme.size()).first->second;
    for (size_t s = 0; s < somme.size(); ++s) {
      if (somme[s]) Aggiungi(mie[s], *somme[s]);
    }
  }
}

// A large table of a file read in two halves at once, the second on a connection and a thread
// of its own, both in one read transaction of the file's: the first connection holds its shared
// lock from before the second reads until after, so no writer changes the file between the two.
// Whether both halves were added into `lavori`; nullopt when the table is not read so (too
// small, not of a file, no thread to be had).
std::optional<bool> ScandisciInDueMeta(sqlite3* db, const PianoSomme& primo,
                                       const Scansione& scansione, std::vector<Lavoro>& lavori) {
  const std::string file = FileDivisibile(db, primo);
  if (file.empty()) return std::nullopt;
  Lettura lettura(db);
  if (!lettura.Aperta()) return std::nullopt;
  const std::optional<int64_t> meta = MetaDeiRowid(db, primo);
  if (!meta) return std::nullopt;
  std::vector<Lavoro> altri = lavori;  // no group read yet
  const std::string sql_altra = scansione.Sql("_rowid_ > " + std::to_string(*meta));
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
  const bool riuscita =
      Scandisci(db, scansione.Sql("_rowid_ <= " + std::to_string(*meta)), scansione, lavori);
  altra.join();
  if (!riuscita || !riuscita_altra) return false;
  for (size_t i = 0; i < lavori.size(); ++i) Unisci(lavori[i].gruppi, altri[i].gruppi);
  return true;
}

}  // namespace

bool SommePerGruppi(Connessione& conn,
                    const std::vector<std::pair<const PianoSomme*, Insieme*>>& richieste) {
  if (richieste.empty()) return false;
  std::vector<Lavoro> lavori;
  Scansione scansione;
  if (!Pianifica(conn, richieste, lavori, scansione)) return false;
  std::optional<bool> riuscita =
      ScandisciInDueMeta(conn.Db(), *richieste.front().first, scansione, lavori);
  if (!riuscita) riuscita = Scandisci(conn.Db(), scansione.Sql(), scansione, lavori);
  if (!*riuscita) return false;
  for (Lavoro& lavoro : lavori) {
    if (!Scrivi(lavoro)) return false;
  }
  return true;
}

}  // namespace vendrix::engine_detail
