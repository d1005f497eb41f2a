#ifndef VENDRIX_DATA_SQL_DIALETTO_H_
#define VENDRIX_DATA_SQL_DIALETTO_H_

// Translation of the hotel suite's SQL dialect into SQLite's: the text is split into tokens,
// the tokens are rewritten, and the result is joined again. Rewrites:
//   Tab In 'file.mdb'      ->  "schema"."Tab"   (the file attached once under a schema name)
//   Left(x, n)             ->  substr(x, 1, n)   (Right, Mid, Len, UCase, LCase, Trim likewise)
//   sum(c) of a Currency c ->  vx_somma_valuta(c), an exact sum of ten-thousandths
//   "text"                 ->  'text';  [Name] -> "Name";  a & b -> a || b
// Only one Select statement is accepted; a trailing ';' is dropped.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix::engine_detail {

struct ContestoSql {
  // The schema under which the file named in "In '<file>'" is reachable, attaching it when
  // needed. Throws Errore when the file cannot be opened.
  std::function<std::string(const std::string& file)> allega;
  // The declared type of column `colonna` of table `tabella` in schema `schema`, or "" when the
  // table or the column is unknown.
  std::function<std::string(const std::string& schema, const std::string& tabella,
                            const std::string& colonna)>
      tipo_colonna;
};

// How the engine may work out a query of grouped sums over one table itself: by reading the rows
// once and adding them up by group, where SQLite would sort every row first.
struct PianoSomme {
  std::string schema, tabella;               // the table, for its columns' collations
  std::string testo_tabella;                 // as the translated text names it
  std::vector<std::string> colonne_gruppo;   // the grouped columns, in Group by order
  std::vector<std::string> testi_gruppo;     // the same, as the translated text names them
  std::vector<std::string> testi_argomenti;  // the summed columns, as the translated text names
                                             // them, in the select list's order
  std::string condizione;                    // the translated Where condition, or ""
  std::vector<int> ordine;                   // the grouped columns named by Order by
  // One per result column: a grouped column (`colonna` its place among them) or a sum
  // (`colonna` its place among the summed columns; `valuta`: the exact Currency sum).
  struct Uscita {
    bool somma;
    bool valuta;
    int colonna;
  };
  std::vector<Uscita> uscite;
};

struct SqlTradotto {
  std::string sql;
  // Names of the result columns that hold Currency sums (read back as exact Currency).
  std::vector<std::string> colonne_valuta;
  // Present when the query is grouped sums of one table's columns.
  std::optional<PianoSomme> piano;
};

// Throws Errore "Errore nel testo SQL: ..." naming the fault and the text.
SqlTradotto TraduciSql(std::string_view sql, const ContestoSql& contesto);

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_SQL_DIALETTO_H_
