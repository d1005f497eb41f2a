#include "data/sql_dialetto.h"

#include <algorithm>
#include <optional>

#include "comune/testo.h"
#include "data/dbengine.h"
#include "data/errore.h"
#include "data/lessico.h"

namespace vendrix::engine_detail {

namespace {

struct Token {
  enum Tipo { kParola, kNome, kTesto, kNumero, kSimbolo } tipo = kSimbolo;
  std::string testo;   // what is written out
  std::string valore;  // word or name unquoted, literal unescaped
  std::string spazio;  // blanks before the token
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
    RiscriviSomme();
    for (auto& t : t_) {
      if (t.tipo == Token::kSimbolo && t.testo == "&") t.testo = "||";
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
    return i < t_.size() && t_[i].tipo == Token::kParola && UgualeNoCase(t_[i].valore, p);
  }
  bool Simbolo(size_t i, std::string_view s) const {
    return i < t_.size() && t_[i].tipo == Token::kSimbolo && t_[i].testo == s;
  }
  bool Nome(size_t i) const {
    return i < t_.size() && (t_[i].tipo == Token::kParola || t_[i].tipo == Token::kNome);
  }

  static bool InizioParola(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
  }
  static bool Cifra(char c) { return c >= '0' && c <= '9'; }

  // The quoted text that opens at `p`, into `t`; where it ends.
  size_t TestoTraApici(size_t p, Token& t) const {
    std::string s;
    const size_t fine = LeggiTestoTraApici(sql_, p, s);
    if (fine == std::string_view::npos) Errore_("testo tra apici non chiuso");
    if (s.find('\0') != std::string::npos) Errore_("carattere nullo in un testo");
    t.tipo = Token::kTesto;
    t.testo = Quota(s);
    t.valore = std::move(s);
    return fine;
  }

  // The number that opens at `p`, into `t`; where it ends.
  size_t Numero(size_t p, Token& t) const {
    size_t q = p;
    while (q < sql_.size() && (Cifra(sql_[q]) || sql_[q] == '.')) ++q;
    if (q < sql_.size() && (sql_[q] == 'e' || sql_[q] == 'E')) {
      size_t r = q + 1;
      if (r < sql_.size() && (sql_[r] == '+' || sql_[r] == '-')) ++r;
      if (r < sql_.size() && Cifra(sql_[r])) {
        q = r;
        while (q < sql_.size() && Cifra(sql_[q])) ++q;
      }
    }
    t.tipo = Token::kNumero;
    t.valore = std::string(sql_.substr(p, q - p));
    t.testo = t.valore;
    if (std::count(t.valore.begin(), t.valore.end(), '.') > 1) {
      Errore_("numero non valido '" + t.valore + "'");
    }
    return q;
  }

  void Dividi() {
    size_t p = 0;
    std::string spazio;
    while (p < sql_.size()) {
      char c = sql_[p];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        spazio += c;
        ++p;
        continue;
      }
      Token t;
      t.spazio = std::move(spazio);
      spazio.clear();
      if (c == '\'' || c == '"') {
        p = TestoTraApici(p, t);
      } else if (c == '[' || c == '`') {
        char chiusa = c == '[' ? ']' : '`';
        size_t fine = sql_.find(chiusa, p + 1);
        if (fine == std::string_view::npos) Errore_("nome tra parentesi quadre non chiuso");
        t.tipo = Token::kNome;
        t.valore = std::string(sql_.substr(p + 1, fine - p - 1));
        if (t.valore.empty()) Errore_("nome vuoto tra parentesi quadre");
        t.testo = QuotaNome(t.valore);
        p = fine + 1;
      } else if (InizioParola(static_cast<unsigned char>(c))) {
        size_t q = p;
        while (q < sql_.size() &&
               (InizioParola(static_cast<unsigned char>(sql_[q])) || Cifra(sql_[q]))) {
          ++q;
        }
        t.tipo = Token::kParola;
        t.valore = std::string(sql_.substr(p, q - p));
        t.testo = t.valore;
        p = q;
      } else if (Cifra(c) || (c == '.' && p + 1 < sql_.size() && Cifra(sql_[p + 1]))) {
        p = Numero(p, t);
      } else if (c == '#') {
        Errore_("le date tra # non sono gestite");
      } else {
        static constexpr std::string_view kDoppi[] = {"<>", "<=", ">=", "!=", "||", "=="};
        t.tipo = Token::kSimbolo;
        for (auto d : kDoppi) {
          if (sql_.substr(p, 2) == d) t.testo = std::string(d);
        }
        if (t.testo.empty()) {
          if (std::string_view("(),;.=<>+-*/&%").find(c) == std::string_view::npos) {
            Errore_("carattere non ammesso '" + std::string(1, c) + "'");
          }
          t.testo = std::string(1, c);
        }
        p += t.testo.size();
      }
      t_.push_back(std::move(t));
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
      if (!Nome(i) || !Parola(i + 1, "in") || t_[i + 2].tipo != Token::kTesto) continue;
      if (t_[i + 2].valore.empty()) Errore_("nome di file vuoto dopo In");
      std::string schema = contesto_.allega(t_[i + 2].valore);
      t_[i].schema = schema;
      t_[i].testo = QuotaNome(schema) + "." + QuotaNome(t_[i].valore);
      t_.erase(t_.begin() + static_cast<long>(i) + 1, t_.begin() + static_cast<long>(i) + 3);
      if (i + 1 < t_.size() && t_[i + 1].tipo == Token::kTesto) {
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

  static Token Nuovo(Token::Tipo tipo, std::string testo) {
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
      if (t_[i].tipo != Token::kParola || !Simbolo(i + 1, "(")) continue;
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
                    {Nuovo(Token::kSimbolo, ","), Nuovo(Token::kNumero, "1")});
        } else if (f.nome == "nz" && argomenti == 1) {
          t_.insert(t_.begin() + static_cast<long>(chiusa),
                    {Nuovo(Token::kSimbolo, ","), Nuovo(Token::kTesto, "''")});
        }
        break;
      }
    }
  }

  struct Tabella {
    std::string schema, nome, alias;
  };

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

  void RiscriviSomme() {
    colonne_valuta_.clear();
    std::vector<int> profondita(t_.size());
    int d = 0;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (Simbolo(i, ")")) --d;
      profondita[i] = d;
      if (Simbolo(i, "(")) ++d;
    }
    struct Ambito {
      size_t inizio, da, fine;
      std::vector<Tabella> tabelle;
    };
    std::vector<Ambito> ambiti;
    for (size_t k = 0; k < t_.size(); ++k) {
      if (!Parola(k, "select")) continue;
      Ambito a{k, t_.size(), t_.size(), {}};
      for (size_t j = k + 1; j < t_.size(); ++j) {
        if (profondita[j] < profondita[k]) {
          a.fine = j;
          break;
        }
      }
      for (size_t j = k + 1; j < a.fine; ++j) {
        if (profondita[j] == profondita[k] && Parola(j, "from")) {
          a.da = j;
          break;
        }
      }
      for (size_t j = a.da + 1; j < a.fine; ++j) {
        if (profondita[j] != profondita[k]) continue;
        if (Parola(j, "where") || Parola(j, "group") || Parola(j, "order") || Parola(j, "having") ||
            Parola(j, "union")) {
          break;
        }
        bool dopo_separatore = j == a.da + 1 || Simbolo(j - 1, ",") || Parola(j - 1, "join");
        if (!dopo_separatore || !Nome(j)) continue;
        Tabella t{t_[j].schema.empty() ? "main" : t_[j].schema, t_[j].valore, ""};
        size_t s = j + 1;
        if (Parola(s, "as")) ++s;
        if (s < a.fine && Nome(s) && !(t_[s].tipo == Token::kParola && Riservata(t_[s].valore))) {
          t.alias = t_[s].valore;
        }
        a.tabelle.push_back(std::move(t));
      }
      ambiti.push_back(std::move(a));
    }

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
      if (!ambito) continue;
      bool valuta = false;
      for (const auto& t : ambito->tabelle) {
        if (!qualificatore.empty() && !UgualeNoCase(qualificatore, t.nome) &&
            !UgualeNoCase(qualificatore, t.alias)) {
          continue;
        }
        std::string tipo = contesto_.tipo_colonna(t.schema, t.nome, colonna);
        if (!tipo.empty()) {
          valuta = TipoValuta(tipo);
          break;
        }
      }
      if (!valuta) continue;
      if (somma) t_[p].testo = "vx_somma_valuta";
      // A sum in the outer select list: its result column is read back as Currency.
      if (ambito == &ambiti.front() && profondita[p] == 0 && p < ambito->da) {
        size_t s = chiusa + 1;
        if (Parola(s, "as") && Nome(s + 1)) {
          colonne_valuta_.push_back(t_[s + 1].valore);
        } else if (Nome(s) && !(t_[s].tipo == Token::kParola && Riservata(t_[s].valore))) {
          colonne_valuta_.push_back(t_[s].valore);
        } else {
          std::string nome = t_[p].valore + "(" + colonna + ")";
          Token as = Nuovo(Token::kParola, "AS");
          as.spazio = " ";
          Token n = Nuovo(Token::kNome, nome);
          n.testo = QuotaNome(nome);
          n.spazio = " ";
          t_.insert(t_.begin() + static_cast<long>(chiusa) + 1, {as, n});
          colonne_valuta_.push_back(nome);
          // Positions after the insertion moved: the scopes are stale, start over (the sums
          // already seen now have their alias and are not touched again).
          RiscriviSomme();
          return;
        }
      }
    }
  }

  // Grouped sums of one table's columns, which the engine can add up without SQLite sorting
  // every row: "Select c, sum(x) as a, ... From T [Where ...] Group by c, ... [Order by c, ...]",
  // where every plain column is one grouped on, has no alias, and is the only thing an Order by
  // names. Anything else (joins, expressions, Having, Desc, aliases that could stand for a column)
  // has no plan and is left to SQLite.
  std::optional<PianoSomme> PianoDelleSomme() const {
    auto colonna = [&](size_t i) {
      return Nome(i) && !(t_[i].tipo == Token::kParola && Riservata(t_[i].valore)) &&
             t_[i].schema.empty();
    };
    auto tra = [&](const std::vector<size_t>& elenco, size_t i) {
      return std::any_of(elenco.begin(), elenco.end(),
                         [&](size_t j) { return UgualeNoCase(t_[j].valore, t_[i].valore); });
    };
    if (!Parola(0, "select")) return std::nullopt;
    std::vector<size_t> semplici, argomenti, alias;
    std::vector<PianoSomme::Uscita> uscite;
    size_t i = 1;
    while (true) {
      if (colonna(i) && (Simbolo(i + 1, ",") || Parola(i + 1, "from"))) {
        semplici.push_back(i);
        uscite.push_back({false, false, static_cast<int>(i)});
        i += 1;
      } else if (Parola(i, "sum") && Simbolo(i + 1, "(") && colonna(i + 2) && Simbolo(i + 3, ")")) {
        uscite.push_back(
            {true, t_[i].testo == "vx_somma_valuta", static_cast<int>(argomenti.size())});
        argomenti.push_back(i + 2);
        i += 4;
        if (Parola(i, "as")) ++i;
        if (!colonna(i)) return std::nullopt;
        alias.push_back(i++);
      } else {
        return std::nullopt;
      }
      if (Parola(i, "from")) break;
      if (!Simbolo(i++, ",")) return std::nullopt;
    }
    const size_t tabella = ++i;
    if (!Nome(tabella) || (t_[tabella].tipo == Token::kParola && Riservata(t_[tabella].valore))) {
      return std::nullopt;
    }
    ++i;
    size_t inizio_where = 0, fine_where = 0;
    if (Parola(i, "where")) {
      inizio_where = ++i;
      int d = 0;
      for (; i < t_.size(); ++i) {
        if (Simbolo(i, "(")) ++d;
        if (Simbolo(i, ")")) --d;
        if (d == 0 && (Parola(i, "group") || Parola(i, "order") || Parola(i, "having") ||
                       Parola(i, "union") || Parola(i, "limit"))) {
          break;
        }
        // A name of the condition that a sum's alias also has could stand for either.
        if (Nome(i) && tra(alias, i)) return std::nullopt;
      }
      fine_where = i;
      if (fine_where == inizio_where) return std::nullopt;
    }
    std::vector<size_t> gruppi, ordine;
    auto elenco = [&](std::vector<size_t>& nomi, bool ordinamento) {
      i += 2;
      while (true) {
        if (!colonna(i) || tra(alias, i)) return false;
        nomi.push_back(i++);
        if (ordinamento && Parola(i, "asc")) ++i;
        if (!Simbolo(i, ",")) return true;
        ++i;
      }
    };
    if (!Parola(i, "group") || !Parola(i + 1, "by") || !elenco(gruppi, false)) return std::nullopt;
    if (Parola(i, "order") && Parola(i + 1, "by") && !elenco(ordine, true)) return std::nullopt;
    if (i != t_.size()) return std::nullopt;

    PianoSomme piano;
    auto posizione = [&](size_t j) {
      for (size_t k = 0; k < gruppi.size(); ++k) {
        if (UgualeNoCase(t_[gruppi[k]].valore, t_[j].valore)) return static_cast<int>(k);
      }
      return -1;
    };
    for (size_t k = 0; k < gruppi.size(); ++k) {
      if (posizione(gruppi[k]) != static_cast<int>(k)) return std::nullopt;  // named twice
      piano.colonne_gruppo.push_back(t_[gruppi[k]].valore);
    }
    for (size_t j : ordine) {
      if (posizione(j) < 0) return std::nullopt;
      piano.ordine.push_back(posizione(j));
    }
    for (auto& u : uscite) {
      if (!u.somma) {
        u.colonna = posizione(static_cast<size_t>(u.colonna));
        if (u.colonna < 0) return std::nullopt;
      }
    }
    piano.uscite = std::move(uscite);
    piano.schema = t_[tabella].schema.empty() ? "main" : t_[tabella].schema;
    piano.tabella = t_[tabella].valore;
    for (size_t k : gruppi) piano.testi_gruppo.push_back(t_[k].testo);
    for (size_t k : argomenti) {
      piano.argomenti.push_back(t_[k].valore);
      piano.testi_argomenti.push_back(t_[k].testo);
    }
    piano.testo_tabella = t_[tabella].testo;
    if (fine_where > inizio_where) {
      const std::string condizione = Unisci(inizio_where, fine_where);
      piano.condizione = condizione.substr(condizione.find_first_not_of(" \t\r\n"));
    }
    return piano;
  }

  std::string Unisci(size_t da, size_t a) const {
    std::string s;
    for (size_t i = da; i < a; ++i) {
      const Token& t = t_[i];
      s += t.spazio;
      if (t.spazio.empty() && !s.empty() && !t.testo.empty()) {
        char a = s.back(), b = t.testo.front();
        bool parola_a = InizioParola(static_cast<unsigned char>(a)) || Cifra(a);
        bool parola_b = InizioParola(static_cast<unsigned char>(b)) || Cifra(b);
        if ((a == '-' && b == '-') || (a == '/' && b == '*') || (parola_a && parola_b)) s += ' ';
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

std::string QuotaNome(std::string_view nome) {
  std::string s = "\"";
  for (char c : nome) {
    if (c == '"') s += '"';
    s += c;
  }
  return s + "\"";
}

bool TipoValuta(std::string_view dichiarato) {
  std::string t;
  for (char c : dichiarato) {
    if (c == ' ' || c == '(') break;
    t += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return t == "CURRENCY" || t == "MONEY";
}

SqlTradotto TraduciSql(std::string_view sql, const ContestoSql& contesto) {
  return Traduttore(sql, contesto).Traduci();
}

}  // namespace vendrix::engine_detail
