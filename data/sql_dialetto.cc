#include "data/sql_dialetto.h"

#include <algorithm>
#include <optional>

#include "comune/testo.h"
#include "data/errore.h"
#include "data/lessico.h"

namespace vendrix::engine_detail {

namespace {

// True when the declared type is the Currency one.
bool TipoValuta(std::string_view dichiarato) {
  const std::string_view tipo = dichiarato.substr(0, dichiarato.find_first_of(" ("));
  return UgualeNoCase(tipo, "CURRENCY") || UgualeNoCase(tipo, "MONEY");
}

struct Token {
  Lessema::Tipo tipo = Lessema::kSimbolo;  // kParola, kNome, kTesto, kNumero or kSimbolo
  std::string testo;                       // what is written out
  std::string valore;                      // word or name unquoted, literal unescaped
  std::string_view spazio;                 // blanks before the token
  std::string schema;  // for a table of another file: the schema it is attached under
};

class Traduttore {
 public:
  Traduttore(std::string_view sql, const ContestoSql& contesto) : sql_(sql), contesto_(contesto) {}

  SqlTradotto Traduci() {
    // SQLite would read the text only up to a null byte, even inside quotes.
    if (sql_.find('\0') != std::string_view::npos) Errore_("carattere non ammesso (byte nullo)");
    Dividi();
    TogliPuntoEVirgola();
    if (t_.empty()) Errore_("il testo è vuoto");
    if (!Parola(0, "select")) Errore_("è ammessa solo un'istruzione Select");
    for (size_t i = 0; i < t_.size(); ++i) {
      if (Parola(i, "like")) Errore_("l'operatore Like non è gestito");
    }
    ControllaParentesi();
    RiscriviFile();
    RiscriviFunzioni();
    while (!RiscriviSomme()) {
    }
    for (auto& t : t_) {
      if (t.tipo == Lessema::kSimbolo && t.testo == "&") t.testo = "||";
    }
    SqlTradotto tradotto{Unisci(0, t_.size()), std::move(colonne_valuta_), {}};
    tradotto.piano = PianoDelleSomme();
    return tradotto;
  }

 private:
  // The SQL text itself says nothing to the user and stays out of the message.
  [[noreturn]] void Errore_(const std::string& cosa) const {
    throw Errore("Errore nel testo SQL: " + cosa);
  }

  bool Parola(size_t i, std::string_view p) const {
    return i < t_.size() && t_[i].tipo == Lessema::kParola && UgualeNoCase(t_[i].valore, p);
  }
  bool Simbolo(size_t i, std::string_view s) const {
    return i < t_.size() && t_[i].tipo == Lessema::kSimbolo && t_[i].testo == s;
  }
  bool Nome(size_t i) const {
    return i < t_.size() && (t_[i].tipo == Lessema::kParola || t_[i].tipo == Lessema::kNome);
  }
  // A name that can stand for a table, a column or an alias: not a word of the language.
  bool NomeLibero(size_t i) const {
    return Nome(i) && !(t_[i].tipo == Lessema::kParola && Riservata(t_[i].valore));
  }

  // The tokens of the text, each with the blanks before it.
  void Dividi() {
    size_t dopo = 0;  // where the last token ended
    for (Lessema l = LeggiLessema(sql_, 0); l.tipo != Lessema::kFine;
         l = LeggiLessema(sql_, dopo)) {
      if (l.tipo == Lessema::kGuasto) Errore_(DescriviGuasto(sql_, l));
      Token t;
      t.tipo = l.tipo;
      t.spazio = sql_.substr(dopo, l.inizio - dopo);
      const std::string_view grezzo = Grezzo(sql_, l);
      if (l.tipo == Lessema::kTesto) {
        ValoreTesto(grezzo, sql_[l.inizio], t.valore);
        t.testo = Quota(t.valore);
      } else {
        t.valore = grezzo;
        t.testo = l.tipo == Lessema::kNome ? QuotaNome(grezzo) : t.valore;
      }
      t_.push_back(std::move(t));
      dopo = l.fine;
    }
  }

  void TogliPuntoEVirgola() {
    size_t i = 0;
    while (i < t_.size() && !Simbolo(i, ";")) ++i;
    for (size_t j = i; j < t_.size(); ++j) {
      if (!Simbolo(j, ";")) Errore_("il testo contiene più di un'istruzione");
    }
    t_.resize(i);
  }

  void ControllaParentesi() {
    int d = 0;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (Simbolo(i, "(")) ++d;
      if (Simbolo(i, ")") && --d < 0) Errore_("parentesi chiusa senza parentesi aperta");
    }
    if (d != 0) Errore_("parentesi non bilanciate");
  }

  // "Tab In 'file'": the table of another database file.
  void RiscriviFile() {
    for (size_t i = 0; i + 2 < t_.size(); ++i) {
      if (!Nome(i) || !Parola(i + 1, "in") || t_[i + 2].tipo != Lessema::kTesto) continue;
      if (t_[i + 2].valore.empty()) Errore_("nome di file vuoto dopo In");
      std::string schema = contesto_.allega(t_[i + 2].valore);
      t_[i].schema = schema;
      t_[i].testo = QuotaNome(schema) + "." + QuotaNome(t_[i].valore);
      t_.erase(t_.begin() + static_cast<long>(i) + 1, t_.begin() + static_cast<long>(i) + 3);
      if (i + 1 < t_.size() && t_[i + 1].tipo == Lessema::kTesto) {
        Errore_("la stringa di connessione dopo In non è gestita");
      }
    }
  }

  size_t Chiusa(size_t aperta) const {
    int d = 0;
    for (size_t i = aperta; i < t_.size(); ++i) {
      if (Simbolo(i, "(")) ++d;
      if (Simbolo(i, ")") && --d == 0) return i;
    }
    return t_.size();
  }

  // Positions of the commas that separate the arguments of the call opened at `aperta`.
  std::vector<size_t> Virgole(size_t aperta, size_t chiusa) const {
    std::vector<size_t> v;
    int d = 0;
    for (size_t i = aperta + 1; i < chiusa; ++i) {
      if (Simbolo(i, "(")) ++d;
      if (Simbolo(i, ")")) --d;
      if (d == 0 && Simbolo(i, ",")) v.push_back(i);
    }
    return v;
  }

  static Token Nuovo(Lessema::Tipo tipo, std::string testo) {
    Token t;
    t.tipo = tipo;
    t.testo = testo;
    t.valore = std::move(testo);
    return t;
  }

  void RiscriviFunzioni() {
    struct Funzione {
      std::string_view nome, sqlite;
      int min_arg, max_arg;
    };
    static constexpr Funzione kFunzioni[] = {
        {"left", "substr", 2, 2}, {"right", "vx_right", 2, 2}, {"mid", "substr", 2, 3},
        {"len", "length", 1, 1},  {"ucase", "upper", 1, 1},    {"lcase", "lower", 1, 1},
        {"trim", "trim", 1, 1},   {"ltrim", "ltrim", 1, 1},    {"rtrim", "rtrim", 1, 1},
        {"nz", "ifnull", 1, 2},
    };
    for (size_t i = 0; i + 1 < t_.size(); ++i) {
      if (t_[i].tipo != Lessema::kParola || !Simbolo(i + 1, "(")) continue;
      for (const auto& f : kFunzioni) {
        if (!UgualeNoCase(t_[i].valore, f.nome)) continue;
        size_t chiusa = Chiusa(i + 1);
        std::vector<size_t> virgole = Virgole(i + 1, chiusa);
        int argomenti = chiusa == i + 2 ? 0 : static_cast<int>(virgole.size()) + 1;
        if (argomenti < f.min_arg || argomenti > f.max_arg) {
          Errore_("numero di argomenti errato per " + t_[i].valore);
        }
        t_[i].testo = std::string(f.sqlite);
        if (f.nome == "left") {
          // Left(x, n) -> substr(x, 1, n)
          t_.insert(t_.begin() + static_cast<long>(virgole[0]),
                    {Nuovo(Lessema::kSimbolo, ","), Nuovo(Lessema::kNumero, "1")});
        } else if (f.nome == "nz" && argomenti == 1) {
          t_.insert(t_.begin() + static_cast<long>(chiusa),
                    {Nuovo(Lessema::kSimbolo, ","), Nuovo(Lessema::kTesto, "''")});
        }
        break;
      }
    }
  }

  static bool Riservata(std::string_view p) {
    static constexpr std::string_view kRiservate[] = {
        "from",  "where",  "group", "order", "having", "union", "as",    "on",     "join",
        "inner", "left",   "right", "outer", "and",    "or",    "not",   "in",     "is",
        "null",  "select", "by",    "asc",   "desc",   "limit", "cross", "natural"};
    for (auto r : kRiservate) {
      if (UgualeNoCase(p, r)) return true;
    }
    return false;
  }

  // One Select of the text: where it starts, where its From stands and where it ends (token
  // positions), and the tables its From list names.
  struct Ambito {
    struct Tabella {
      std::string schema, nome, alias;
    };
    size_t inizio, da, fine;
    std::vector<Tabella> tabelle;
  };

  // The parentheses around each token.
  std::vector<int> Profondita() const {
    std::vector<int> profondita(t_.size());
    int d = 0;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (Simbolo(i, ")")) --d;
      profondita[i] = d;
      if (Simbolo(i, "(")) ++d;
    }
    return profondita;
  }

  // Every Select of the text, the outer one first.
  std::vector<Ambito> Ambiti(const std::vector<int>& profondita) const {
    std::vector<Ambito> ambiti;
    for (size_t k = 0; k < t_.size(); ++k) {
      if (!Parola(k, "select")) continue;
      Ambito a{k, t_.size(), t_.size(), {}};
      for (size_t j = k + 1; j < t_.size() && a.fine == t_.size(); ++j) {
        if (profondita[j] < profondita[k]) a.fine = j;
      }
      for (size_t j = k + 1; j < a.fine && a.da == t_.size(); ++j) {
        if (profondita[j] == profondita[k] && Parola(j, "from")) a.da = j;
      }
      for (size_t j = a.da + 1; j < a.fine; ++j) {
        if (profondita[j] != profondita[k]) continue;
        if (Parola(j, "where") || Parola(j, "group") || Parola(j, "order") || Parola(j, "having") ||
            Parola(j, "union")) {
          break;
        }
        bool dopo_separatore = j == a.da + 1 || Simbolo(j - 1, ",") || Parola(j - 1, "join");
        if (!dopo_separatore || !Nome(j)) continue;
        const size_t s = Parola(j + 1, "as") ? j + 2 : j + 1;
        a.tabelle.push_back({t_[j].schema.empty() ? "main" : t_[j].schema, t_[j].valore,
                             s < a.fine && NomeLibero(s) ? t_[s].valore : ""});
      }
      ambiti.push_back(std::move(a));
    }
    return ambiti;
  }

  // True when `colonna` of the tables of `ambito` (of the one `qualificatore` names, when given)
  // is a Currency column: the first table that has the column decides.
  bool ColonnaValuta(const Ambito& ambito, const std::string& qualificatore,
                     const std::string& colonna) const {
    for (const auto& t : ambito.tabelle) {
      if (!qualificatore.empty() && !UgualeNoCase(qualificatore, t.nome) &&
          !UgualeNoCase(qualificatore, t.alias)) {
        continue;
      }
      std::string tipo = contesto_.tipo_colonna(t.schema, t.nome, colonna);
      if (!tipo.empty()) return TipoValuta(tipo);
    }
    return false;
  }

  // Notes the result column of the Currency sum or extreme at `p`, which ends at `chiusa`, in the
  // outer select list: its alias, or one given to it. False when an alias was added (the token
  // positions after it moved).
  bool NotaColonnaValuta(size_t p, size_t chiusa, const std::string& colonna) {
    const size_t s = chiusa + 1;
    if (Parola(s, "as") && Nome(s + 1)) {
      colonne_valuta_.push_back(t_[s + 1].valore);
    } else if (NomeLibero(s)) {
      colonne_valuta_.push_back(t_[s].valore);
    } else {
      std::string nome = t_[p].valore + "(" + colonna + ")";
      Token as = Nuovo(Lessema::kParola, "AS");
      as.spazio = " ";
      Token n = Nuovo(Lessema::kNome, nome);
      n.testo = QuotaNome(nome);
      n.spazio = " ";
      t_.insert(t_.begin() + static_cast<long>(chiusa) + 1, {as, n});
      colonne_valuta_.push_back(nome);
      return false;
    }
    return true;
  }

  // Sum(c), Min(c) and Max(c) of a Currency column c: a sum becomes the exact vx_somma_valuta,
  // and the result columns of the outer select list that hold one are noted. False when an
  // alias was added: the caller starts again (the sums already seen keep their alias).
  bool RiscriviSomme() {
    colonne_valuta_.clear();
    const std::vector<int> profondita = Profondita();
    const std::vector<Ambito> ambiti = Ambiti(profondita);
    for (size_t p = 0; p + 1 < t_.size(); ++p) {
      bool somma = Parola(p, "sum");
      bool estremo = Parola(p, "min") || Parola(p, "max");
      if ((!somma && !estremo) || !Simbolo(p + 1, "(")) continue;
      size_t chiusa = Chiusa(p + 1);
      std::string qualificatore, colonna;
      if (chiusa == p + 3 && Nome(p + 2)) {
        colonna = t_[p + 2].valore;
      } else if (chiusa == p + 5 && Nome(p + 2) && Simbolo(p + 3, ".") && Nome(p + 4)) {
        qualificatore = t_[p + 2].valore;
        colonna = t_[p + 4].valore;
      } else {
        continue;
      }
      const Ambito* ambito = nullptr;
      for (const auto& a : ambiti) {
        if (a.inizio < p && p < a.fine && profondita[a.inizio] <= profondita[p]) ambito = &a;
      }
      if (!ambito || !ColonnaValuta(*ambito, qualificatore, colonna)) continue;
      if (somma) t_[p].testo = "vx_somma_valuta";
      const bool esterna = ambito == &ambiti.front() && profondita[p] == 0 && p < ambito->da;
      if (esterna && !NotaColonnaValuta(p, chiusa, colonna)) return false;
    }
    return true;
  }

  // The token positions of a query of grouped sums, as PianoDelleSomme reads them.
  struct FormaSomme {
    std::vector<size_t> argomenti, alias;    // the summed columns and their aliases
    std::vector<size_t> gruppi, ordine;      // the columns of Group by and of Order by
    std::vector<PianoSomme::Uscita> uscite;  // a grouped column's `colonna`: its token, for now
    size_t tabella = 0, inizio_where = 0, fine_where = 0;
  };

  // A column of the table read: a free name, not a table of another file.
  bool ColonnaSemplice(size_t i) const { return NomeLibero(i) && t_[i].schema.empty(); }

  // True when one of the names at `elenco` is the name at `i`.
  bool TraNomi(const std::vector<size_t>& elenco, size_t i) const {
    return std::any_of(elenco.begin(), elenco.end(),
                       [&](size_t j) { return UgualeNoCase(t_[j].valore, t_[i].valore); });
  }

  // The select list from `i` up to its From: plain columns and "sum(c) [as] alias".
  bool LeggiSelect(FormaSomme& f, size_t& i) const {
    for (;;) {
      if (ColonnaSemplice(i) && (Simbolo(i + 1, ",") || Parola(i + 1, "from"))) {
        f.uscite.push_back({false, false, static_cast<int>(i)});
        i += 1;
      } else if (Parola(i, "sum") && Simbolo(i + 1, "(") && ColonnaSemplice(i + 2) &&
                 Simbolo(i + 3, ")")) {
        f.uscite.push_back(
            {true, t_[i].testo == "vx_somma_valuta", static_cast<int>(f.argomenti.size())});
        f.argomenti.push_back(i + 2);
        i += 4;
        if (Parola(i, "as")) ++i;
        if (!ColonnaSemplice(i)) return false;
        f.alias.push_back(i++);
      } else {
        return false;
      }
      if (Parola(i, "from")) return true;
      if (!Simbolo(i++, ",")) return false;
    }
  }

  // The condition of a Where at `i`, when there is one, up to the clause after it. False when it
  // is empty or names a sum's alias, which could stand for either.
  bool LeggiWhere(FormaSomme& f, size_t& i) const {
    if (!Parola(i, "where")) return true;
    f.inizio_where = ++i;
    for (int d = 0; i < t_.size(); ++i) {
      if (Simbolo(i, "(")) ++d;
      if (Simbolo(i, ")")) --d;
      if (d == 0 && (Parola(i, "group") || Parola(i, "order") || Parola(i, "having") ||
                     Parola(i, "union") || Parola(i, "limit"))) {
        break;
      }
      if (Nome(i) && TraNomi(f.alias, i)) return false;
    }
    f.fine_where = i;
    return f.fine_where != f.inizio_where;
  }

  // The columns of the "Group by" or "Order by" (`ordinamento`: Asc allowed) at `i`, into `nomi`.
  bool LeggiElenco(const FormaSomme& f, std::vector<size_t>& nomi, bool ordinamento,
                   size_t& i) const {
    for (i += 2;; ++i) {
      if (!ColonnaSemplice(i) || TraNomi(f.alias, i)) return false;
      nomi.push_back(i++);
      if (ordinamento && Parola(i, "asc")) ++i;
      if (!Simbolo(i, ",")) return true;
    }
  }

  // The plan `f` stands for, when every plain and every ordered column is a grouped one and no
  // column is grouped twice.
  std::optional<PianoSomme> Componi(FormaSomme& f) const {
    auto posizione = [&](size_t j) {
      for (size_t k = 0; k < f.gruppi.size(); ++k) {
        if (UgualeNoCase(t_[f.gruppi[k]].valore, t_[j].valore)) return static_cast<int>(k);
      }
      return -1;
    };
    PianoSomme piano;
    for (size_t k = 0; k < f.gruppi.size(); ++k) {
      if (posizione(f.gruppi[k]) != static_cast<int>(k)) return std::nullopt;
      piano.colonne_gruppo.push_back(t_[f.gruppi[k]].valore);
      piano.testi_gruppo.push_back(t_[f.gruppi[k]].testo);
    }
    for (size_t j : f.ordine) {
      piano.ordine.push_back(posizione(j));
      if (piano.ordine.back() < 0) return std::nullopt;
    }
    for (auto& u : f.uscite) {
      if (!u.somma && (u.colonna = posizione(static_cast<size_t>(u.colonna))) < 0) {
        return std::nullopt;
      }
    }
    piano.uscite = std::move(f.uscite);
    const Token& tabella = t_[f.tabella];
    piano.schema = tabella.schema.empty() ? "main" : tabella.schema;
    piano.tabella = tabella.valore;
    piano.testo_tabella = tabella.testo;
    for (size_t k : f.argomenti) piano.testi_argomenti.push_back(t_[k].testo);
    if (f.fine_where > f.inizio_where) {
      piano.condizione = SenzaSpazi(Unisci(f.inizio_where, f.fine_where), kSpaziBianchi);
    }
    return piano;
  }

  // Grouped sums of one table's columns, which the engine can add up without SQLite sorting
  // every row: "Select c, sum(x) as a, ... From T [Where ...] Group by c, ... [Order by c, ...]",
  // where every plain column is one grouped on, has no alias, and is the only thing an Order by
  // names. Anything else (joins, expressions, Having, Desc, aliases that could stand for a column)
  // has no plan and is left to SQLite.
  std::optional<PianoSomme> PianoDelleSomme() const {
    FormaSomme f;
    size_t i = 1;
    if (!Parola(0, "select") || !LeggiSelect(f, i) || !NomeLibero(f.tabella = i + 1)) {
      return std::nullopt;
    }
    i += 2;
    if (!LeggiWhere(f, i) || !Parola(i, "group") || !Parola(i + 1, "by") ||
        !LeggiElenco(f, f.gruppi, false, i)) {
      return std::nullopt;
    }
    if (Parola(i, "order") && Parola(i + 1, "by") && !LeggiElenco(f, f.ordine, true, i)) {
      return std::nullopt;
    }
    if (i != t_.size()) return std::nullopt;
    return Componi(f);
  }

  std::string Unisci(size_t da, size_t a) const {
    std::string s;
    for (size_t i = da; i < a; ++i) {
      const Token& t = t_[i];
      s += t.spazio;
      if (t.spazio.empty() && !s.empty() && !t.testo.empty()) {
        char a = s.back(), b = t.testo.front();
        if ((a == '-' && b == '-') || (a == '/' && b == '*') ||
            (CarattereParola(a) && CarattereParola(b))) {
          s += ' ';
        }
      }
      s += t.testo;
    }
    return s;
  }

  std::string_view sql_;
  const ContestoSql& contesto_;
  std::vector<Token> t_;
  std::vector<std::string> colonne_valuta_;
};

}  // namespace

SqlTradotto TraduciSql(std::string_view sql, const ContestoSql& contesto) {
  return Traduttore(sql, contesto).Traduci();
}

}  // namespace vendrix::engine_detail
