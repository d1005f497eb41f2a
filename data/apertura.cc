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
  std::string m = sqlite3_errmsg(conn.Db());
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
    return "Campo '" + c + "' non trovato nel database '" + conn.Nome() + "'" + rimedio;
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
  return "Errore nel testo SQL: " + dettaglio + " (database '" + conn.Nome() + "')";
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
  ctx.allega = [&](const std::string& file) { return conn->Allega(file, usati); };
  ctx.tipo_colonna = [&](const std::string& schema, const std::string& tabella,
                         const std::string& colonna) -> std::string {
    std::string chiave = schema + "." + tabella;
    auto it = colonne_note.find(chiave);
    if (it == colonne_note.end()) {
      std::vector<std::pair<std::string, std::string>> elenco;
      Istruzione i;
      std::string q = "PRAGMA " + QuotaNome(schema) + ".table_info(" + QuotaNome(tabella) + ")";
      if (sqlite3_prepare_v2(conn->Db(), q.c_str(), -1, &i.st, nullptr) == SQLITE_OK) {
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
  if (sqlite3_prepare_v2(conn->Db(), t.sql.c_str(), static_cast<int>(t.sql.size()), &i.st, &coda) !=
      SQLITE_OK) {
    throw Errore(ErroreSql(*conn));
  }
  if (!i.st || !sqlite3_stmt_readonly(i.st)) {
    throw Errore("Errore nel testo SQL: è ammessa solo un'istruzione Select (database '" +
                 conn->Nome() + "')");
  }
  const int n = sqlite3_column_count(i.st);
  if (n == 0) {
    throw Errore("Errore nel testo SQL: la query non restituisce campi (database '" + conn->Nome() +
                 "')");
  }
  std::vector<DefinizioneCampo> campi;
  for (int c = 0; c < n; ++c) {
    const char* nome = sqlite3_column_name(i.st, c);
    DefinizioneCampo d = TipoDaDichiarato(nome ? nome : "", sqlite3_column_decltype(i.st, c));
    if (!sqlite3_column_decltype(i.st, c)) {
      for (const auto& v : t.colonne_valuta) {
        if (UgualeNoCase(v, d.nome)) d.tipo = TipoCampo::kValuta;
      }
    }
    campi.push_back(std::move(d));
  }
  pronto.ins = std::make_unique<Insieme>(conn, origine, std::move(campi));
  pronto.piano = std::move(t.piano);
  return pronto;
}

// Reads the rows of a prepared query.
std::unique_ptr<Insieme> EseguiSql(const Connessione& conn, SqlPronto& pronto) {
  const std::vector<DefinizioneCampo>& campi = pronto.ins->Campi();
  sqlite3_stmt* st = pronto.istruzione.st;
  std::vector<Colonna> colonne(campi.size());
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (size_t c = 0; c < campi.size(); ++c) {
      colonne[c].AggiungiDaSqlite(st, static_cast<int>(c), campi[c].tipo);
    }
  }
  if (rc != SQLITE_DONE) throw Errore(ErroreLettura(conn));
  pronto.ins->Riempi(std::move(colonne));
  return std::move(pronto.ins);
}

std::unique_ptr<Insieme> ApriSql(const std::shared_ptr<Connessione>& conn, const std::string& sql,
                                 const std::string& origine) {
  SqlPronto pronto = PreparaSql(conn, sql, origine);
  if (pronto.piano && SommePerGruppi(*conn, {{&*pronto.piano, pronto.ins.get()}})) {
    return std::move(pronto.ins);
  }
  return EseguiSql(*conn, pronto);
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
  sqlite3_prepare_v2(conn->Db(),
                     "SELECT name FROM main.sqlite_master WHERE type IN ('table', 'view') "
                     "AND name = ?1 COLLATE NOCASE",
                     -1, &q.st, nullptr);
  if (!q.st) throw Errore("Impossibile aprire la tabella '" + nome + "': " + Ragione(conn->Db()));
  sqlite3_bind_text(q.st, 1, nome.c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(q.st);
  if (rc != SQLITE_ROW) {
    if (rc != SQLITE_DONE) {
      throw Errore("Impossibile aprire la tabella '" + nome + "' del database '" + conn->Nome() +
                   "': " + Ragione(conn->Db()));
    }
    throw Errore("Tabella '" + nome + "' non trovata nel database '" + conn->Nome() + "'");
  }
  std::string vero_nome = reinterpret_cast<const char*>(sqlite3_column_text(q.st, 0));

  Istruzione info;
  std::string sql_info = "PRAGMA main.table_info(" + QuotaNome(vero_nome) + ")";
  if (sqlite3_prepare_v2(conn->Db(), sql_info.c_str(), -1, &info.st, nullptr) != SQLITE_OK) {
    throw Errore("Impossibile leggere la tabella '" + vero_nome + "' del database '" +
                 conn->Nome() + "': " + Ragione(conn->Db()));
  }
  std::vector<DefinizioneCampo> campi;
  std::vector<char> ha_default;
  while (sqlite3_step(info.st) == SQLITE_ROW) {
    const char* n = reinterpret_cast<const char*>(sqlite3_column_text(info.st, 1));
    const char* t = reinterpret_cast<const char*>(sqlite3_column_text(info.st, 2));
    campi.push_back(TipoDaDichiarato(n ? n : "", t));
    ha_default.push_back(sqlite3_column_type(info.st, 4) != SQLITE_NULL);
  }
  try {
    return std::make_unique<Insieme>(conn, testo, vero_nome, std::move(campi),
                                     std::move(ha_default));
  } catch (const Errore&) {
    // A view or a table without rowid: read as a query, not updatable.
    return ApriSql(conn, "SELECT * FROM main." + QuotaNome(vero_nome), testo);
  }
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
      if (!insiemi[posti[k]]) insiemi[posti[k]] = EseguiSql(*conn, pronti[k]);
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
      for (size_t j : membri) insiemi[posti[j]] = std::move(pronti[j].ins);
    }
  }
  esegui_rimaste();
  return insiemi;
}

}  // namespace vendrix::engine_detail
