#include "data/apertura.h"

#include <cctype>
#include <cstring>
#include <optional>

#include "comune/testo.h"
#include "data/errore.h"
#include "data/somme_gruppi.h"
#include "data/sql_dialetto.h"
#include "data/sqlite_motore.h"

namespace vendrix::engine_detail {

namespace {

// Why a query could not be compiled. A table or field missing is a fault of the file, named with
// it; anything else a fault of the program's own query. Never the SQL text.
std::string ErroreSql(Connessione& conn) {
  std::string m = sqlite3_errmsg(conn.db);
  auto dopo = [&](const char* prefisso) -> std::string {
    return m.rfind(prefisso, 0) == 0 ? m.substr(std::strlen(prefisso)) : std::string();
  };
  const std::string rimedio = ": controllare che sia il file giusto dell'albergo.";
  std::string dettaglio;
  if (auto t = dopo("no such table: "); !t.empty()) {
    std::string schema = "main", tab = t;
    if (auto p = t.find('.'); p != std::string::npos) {
      schema = t.substr(0, p);
      tab = t.substr(p + 1);
    }
    return "Tabella '" + tab + "' non trovata nel database '" + conn.FileDiSchema(schema) + "'" +
           rimedio;
  } else if (auto c = dopo("no such column: "); !c.empty()) {
    return "Campo '" + c + "' non trovato nel database '" + conn.nome + "'" + rimedio;
  } else if (auto c2 = dopo("ambiguous column name: "); !c2.empty()) {
    dettaglio = "nome di campo ambiguo '" + c2 + "'";
  } else if (auto f = dopo("no such function: "); !f.empty()) {
    dettaglio = "funzione '" + f + "' sconosciuta";
  } else if (m.rfind("near \"", 0) == 0 && m.find("syntax error") != std::string::npos) {
    dettaglio = "errore di sintassi vicino a '" + m.substr(6, m.find('"', 6) - 6) + "'";
  } else if (m == "incomplete input") {
    dettaglio = "testo incompleto";
  } else {
    return ErroreLettura(conn);
  }
  return "Errore nel testo SQL: " + dettaglio + " (database '" + conn.nome + "')";
}

// A query compiled, its fields known, its rows not read yet.
struct SqlPronto {
  Istruzione istruzione;
  std::unique_ptr<Insieme> ins;
  std::optional<PianoSomme> piano;
};

SqlPronto PreparaSql(const std::shared_ptr<Connessione>& conn, const std::string& sql,
                     const std::string& origine) {
  std::set<std::string> usati;
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> colonne_note;
  ContestoSql ctx;
  ctx.allega = [&](const std::string& file) { return conn->Allega(file, usati, origine); };
  ctx.tipo_colonna = [&](const std::string& schema, const std::string& tabella,
                         const std::string& colonna) -> std::string {
    std::string chiave = schema + "." + tabella;
    auto it = colonne_note.find(chiave);
    if (it == colonne_note.end()) {
      std::vector<std::pair<std::string, std::string>> elenco;
      Istruzione i;
      std::string q = "PRAGMA " + QuotaNome(schema) + ".table_info(" + QuotaNome(tabella) + ")";
      if (sqlite3_prepare_v2(conn->db, q.c_str(), -1, &i.st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(i.st) == SQLITE_ROW) {
          auto testo = [&](int k) {
            const char* p = reinterpret_cast<const char*>(sqlite3_column_text(i.st, k));
            return std::string(p ? p : "");
          };
          elenco.emplace_back(testo(1), testo(2));
        }
      }
      it = colonne_note.emplace(chiave, std::move(elenco)).first;
    }
    for (const auto& [nome, tipo] : it->second) {
      if (UgualeNoCase(nome, colonna)) return tipo.empty() ? " " : tipo;
    }
    return "";
  };
  SqlTradotto t = TraduciSql(sql, ctx);

  SqlPronto pronto;
  Istruzione& i = pronto.istruzione;
  const char* coda = nullptr;
  if (sqlite3_prepare_v2(conn->db, t.sql.c_str(), static_cast<int>(t.sql.size()), &i.st, &coda) !=
      SQLITE_OK) {
    throw Errore(ErroreSql(*conn));
  }
  if (!i.st || !sqlite3_stmt_readonly(i.st)) {
    throw Errore("Errore nel testo SQL: è ammessa solo un'istruzione Select (database '" +
                 conn->nome + "')");
  }
  auto ins = std::make_unique<Insieme>();
  ins->conn = conn;
  ins->origine = origine;
  int n = sqlite3_column_count(i.st);
  for (int c = 0; c < n; ++c) {
    const char* nome = sqlite3_column_name(i.st, c);
    DefinizioneCampo d = TipoDaDichiarato(nome ? nome : "", sqlite3_column_decltype(i.st, c));
    if (!sqlite3_column_decltype(i.st, c)) {
      for (const auto& v : t.colonne_valuta) {
        if (UgualeNoCase(v, d.nome)) d.tipo = TipoCampo::kValuta;
      }
    }
    ins->nomi.Aggiungi(d.nome, c);
    ins->campi.push_back(std::move(d));
  }
  if (n == 0) {
    throw Errore("Errore nel testo SQL: la query non restituisce campi (database '" + conn->nome +
                 "')");
  }
  ins->caricata.assign(n, 1);
  ins->ha_default.assign(n, 0);
  ins->indici.resize(n);
  pronto.ins = std::move(ins);
  pronto.piano = std::move(t.piano);
  return pronto;
}

// The set of a query whose rows are read.
std::unique_ptr<Insieme> Concludi(SqlPronto& pronto) {
  Insieme& ins = *pronto.ins;
  ins.righe = ins.colonne.empty() ? 0 : ins.colonne[0].Righe();
  ins.corrente = ins.righe > 0 ? 0 : -1;
  return std::move(pronto.ins);
}

// Reads the rows of a prepared query.
std::unique_ptr<Insieme> EseguiSql(SqlPronto& pronto) {
  Insieme& ins = *pronto.ins;
  Connessione& conn = *ins.conn;
  const int n = static_cast<int>(ins.campi.size());
  sqlite3_stmt* st = pronto.istruzione.st;
  ins.colonne.assign(n, Colonna());
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c = 0; c < n; ++c) ins.colonne[c].AggiungiDaSqlite(st, c, ins.campi[c].tipo);
  }
  if (rc != SQLITE_DONE) throw Errore(ErroreLettura(conn));
  return Concludi(pronto);
}

std::unique_ptr<Insieme> ApriSql(const std::shared_ptr<Connessione>& conn, const std::string& sql,
                                 const std::string& origine) {
  SqlPronto pronto = PreparaSql(conn, sql, origine);
  if (pronto.piano && SommePerGruppi(*conn, {{&*pronto.piano, pronto.ins.get()}})) {
    return Concludi(pronto);
  }
  return EseguiSql(pronto);
}

bool ETestoSql(std::string_view s) {
  size_t p = 0;
  while (p < s.size() && (s[p] == ' ' || s[p] == '\t' || s[p] == '\r' || s[p] == '\n')) ++p;
  return s.size() - p >= 6 && UgualeNoCase(s.substr(p, 6), "select") &&
         (s.size() - p == 6 ||
          !(std::isalnum(static_cast<unsigned char>(s[p + 6])) || s[p + 6] == '_'));
}

}  // namespace

std::unique_ptr<Insieme> ApriInsieme(const std::shared_ptr<Connessione>& conn,
                                     std::string_view origine) {
  conn->ControllaAperta();
  std::string testo(origine);
  if (ETestoSql(origine)) return ApriSql(conn, testo, testo);

  std::string nome = testo;
  if (nome.size() >= 2 && nome.front() == '[' && nome.back() == ']') {
    nome = nome.substr(1, nome.size() - 2);
  }
  Istruzione q;
  sqlite3_prepare_v2(conn->db,
                     "SELECT type, name FROM main.sqlite_master WHERE type IN ('table', 'view') "
                     "AND name = ?1 COLLATE NOCASE",
                     -1, &q.st, nullptr);
  if (!q.st) throw Errore("Impossibile aprire la tabella '" + nome + "': " + Ragione(conn->db));
  sqlite3_bind_text(q.st, 1, nome.c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(q.st);
  if (rc != SQLITE_ROW) {
    if (rc != SQLITE_DONE) {
      throw Errore("Impossibile aprire la tabella '" + nome + "' del database '" + conn->nome +
                   "': " + Ragione(conn->db));
    }
    throw Errore("Tabella '" + nome + "' non trovata nel database '" + conn->nome + "'");
  }
  std::string tipo = reinterpret_cast<const char*>(sqlite3_column_text(q.st, 0));
  std::string vero_nome = reinterpret_cast<const char*>(sqlite3_column_text(q.st, 1));
  if (tipo == "view") {
    return ApriSql(conn, "SELECT * FROM main." + QuotaNome(vero_nome), testo);
  }

  auto ins = std::make_unique<Insieme>();
  ins->conn = conn;
  ins->origine = testo;
  ins->tabella = true;
  ins->nome_tabella = vero_nome;
  Istruzione info;
  std::string sql_info = "PRAGMA main.table_info(" + QuotaNome(vero_nome) + ")";
  if (sqlite3_prepare_v2(conn->db, sql_info.c_str(), -1, &info.st, nullptr) != SQLITE_OK) {
    throw Errore("Impossibile leggere la tabella '" + vero_nome + "' del database '" + conn->nome +
                 "': " + Ragione(conn->db));
  }
  while (sqlite3_step(info.st) == SQLITE_ROW) {
    const char* n = reinterpret_cast<const char*>(sqlite3_column_text(info.st, 1));
    const char* t = reinterpret_cast<const char*>(sqlite3_column_text(info.st, 2));
    DefinizioneCampo d = TipoDaDichiarato(n ? n : "", t);
    ins->nomi.Aggiungi(d.nome, static_cast<int>(ins->campi.size()));
    ins->campi.push_back(std::move(d));
    ins->ha_default.push_back(sqlite3_column_type(info.st, 4) != SQLITE_NULL);
  }
  for (const char* r : {"rowid", "_rowid_", "oid"}) {
    if (ins->nomi.Cerca(r) < 0) {
      ins->colonna_rowid = r;
      break;
    }
  }
  try {
    ins->CaricaRowid();
  } catch (const Errore&) {
    // A table without rowid: read as a query, not updatable.
    return ApriSql(conn, "SELECT * FROM main." + QuotaNome(vero_nome), testo);
  }
  ins->corrente = ins->righe > 0 ? 0 : -1;
  return ins;
}

std::vector<std::unique_ptr<Insieme>> ApriInsiemi(const std::shared_ptr<Connessione>& conn,
                                                  const std::vector<std::string_view>& origini) {
  conn->ControllaAperta();
  std::vector<std::unique_ptr<Insieme>> insiemi(origini.size());
  std::vector<SqlPronto> pronti;
  std::vector<size_t> posti;  // of the prepared queries in `origini`
  // The queries not worked out together, in their order: an error comes out as opening them
  // one by one would give it.
  const auto esegui_rimaste = [&] {
    for (size_t k = 0; k < pronti.size(); ++k) {
      if (!insiemi[posti[k]]) insiemi[posti[k]] = EseguiSql(pronti[k]);
    }
  };
  for (size_t i = 0; i < origini.size(); ++i) {
    try {
      if (ETestoSql(origini[i])) {
        const std::string testo(origini[i]);
        pronti.push_back(PreparaSql(conn, testo, testo));
        posti.push_back(i);
      } else {
        insiemi[i] = ApriInsieme(conn, origini[i]);
      }
    } catch (const Errore&) {
      esegui_rimaste();
      throw;
    }
  }
  // The grouped sums, table by table.
  std::vector<char> fatto(pronti.size(), 0);
  for (size_t k = 0; k < pronti.size(); ++k) {
    if (!pronti[k].piano || fatto[k]) continue;
    std::vector<std::pair<const PianoSomme*, Insieme*>> insieme;
    std::vector<size_t> membri;
    for (size_t j = k; j < pronti.size(); ++j) {
      if (pronti[j].piano && !fatto[j] &&
          pronti[j].piano->testo_tabella == pronti[k].piano->testo_tabella) {
        insieme.emplace_back(&*pronti[j].piano, pronti[j].ins.get());
        membri.push_back(j);
        fatto[j] = 1;
      }
    }
    if (SommePerGruppi(*conn, insieme)) {
      for (size_t j : membri) insiemi[posti[j]] = Concludi(pronti[j]);
    }
  }
  esegui_rimaste();
  return insiemi;
}

}  // namespace vendrix::engine_detail
