#include "data/criteri.h"

#include <algorithm>
#include <cmath>

#include "comune/testo.h"
#include "data/errore.h"
#include "data/lessico.h"
#include "data/numeri.h"

namespace vendrix::engine_detail {

namespace {

bool InizioNome(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool CarattereNome(unsigned char c) { return InizioNome(c) || (c >= '0' && c <= '9'); }

// LeggiComeModello reads the literals of a criteria text by the rules of
// AnalizzatoreCriteri::Leggi, with these two.

// Where the text quoted with `q` that opens at `p` ends, past its closing quote (a doubled quote
// stands inside it); npos when it is not closed.
size_t FineTestoTraApici(std::string_view t, size_t p, char q) {
  for (++p; p < t.size(); ++p) {
    if (t[p] != q) continue;
    if (p + 1 < t.size() && t[p + 1] == q) {
      ++p;
      continue;
    }
    return p + 1;
  }
  return std::string_view::npos;
}

// Where the number that opens at `p` ends: digits and points, then an exponent when one
// follows; npos when a name starts right after it (the parser refuses that).
size_t FineNumero(std::string_view t, size_t p) {
  while (p < t.size() && ((t[p] >= '0' && t[p] <= '9') || t[p] == '.')) ++p;
  if (p < t.size() && (t[p] == 'e' || t[p] == 'E')) {
    size_t q = p + 1;
    if (q < t.size() && (t[q] == '+' || t[q] == '-')) ++q;
    if (q < t.size() && t[q] >= '0' && t[q] <= '9') {
      p = q;
      while (p < t.size() && t[p] >= '0' && t[p] <= '9') ++p;
    }
  }
  if (p < t.size() && InizioNome(static_cast<unsigned char>(t[p]))) return std::string_view::npos;
  return p;
}

int Confronta(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return kNonConfrontabile;
  return a < b ? -1 : (a > b ? 1 : 0);
}

bool Esito(Operatore op, int c) {
  if (c == kNonConfrontabile) return false;
  switch (op) {
    case Operatore::kUguale:
      return c == 0;
    case Operatore::kDiverso:
      return c != 0;
    case Operatore::kMinore:
      return c < 0;
    case Operatore::kMinoreUguale:
      return c <= 0;
    case Operatore::kMaggiore:
      return c > 0;
    case Operatore::kMaggioreUguale:
      return c >= 0;
  }
  return false;
}

}  // namespace

int ConfrontaCella(const Colonna& c, uint32_t riga, const Letterale& l) {
  uint8_t tag = c.Tag(riga);
  if (tag == kCellaNull || l.tipo == Letterale::kNull) return kNonConfrontabile;
  if (c.ETesto(riga)) {
    std::string_view s = c.Testo(riga);
    if (l.tipo == Letterale::kTesto) {
      int r = s.compare(l.testo);
      return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    double n;
    if (!numeri::LeggiNumero(s, n)) return kNonConfrontabile;
    return Confronta(n, l.numero);
  }
  if (l.tipo == Letterale::kTesto && !l.numerico) return kNonConfrontabile;
  return Confronta(c.Numero(riga), l.numero);
}

// Three-valued: a comparison with Null is unknown, and only a true criteria matches.
int Criterio::Valuta(int i, const std::vector<Colonna>& colonne, uint32_t riga) const {
  const Nodo& n = nodi_[i];
  switch (n.tipo) {
    case Nodo::kE: {
      int a = Valuta(n.sinistro, colonne, riga);
      if (a == kFalso) return kFalso;
      int b = Valuta(n.destro, colonne, riga);
      if (b == kFalso) return kFalso;
      return (a == kIgnoto || b == kIgnoto) ? kIgnoto : kVero;
    }
    case Nodo::kO: {
      int a = Valuta(n.sinistro, colonne, riga);
      if (a == kVero) return kVero;
      int b = Valuta(n.destro, colonne, riga);
      if (b == kVero) return kVero;
      return (a == kIgnoto || b == kIgnoto) ? kIgnoto : kFalso;
    }
    case Nodo::kNon: {
      int a = Valuta(n.sinistro, colonne, riga);
      return a == kIgnoto ? kIgnoto : (a == kVero ? kFalso : kVero);
    }
    case Nodo::kConfronto: {
      int c = ConfrontaCella(colonne[n.colonna], riga, n.letterale);
      if (c == kNonConfrontabile) return kIgnoto;
      return Esito(n.op, c) ? kVero : kFalso;
    }
    case Nodo::kENull:
      return colonne[n.colonna].Tag(riga) == kCellaNull ? kVero : kFalso;
    case Nodo::kNonENull:
      return colonne[n.colonna].Tag(riga) != kCellaNull ? kVero : kFalso;
  }
  return kFalso;
}

class AnalizzatoreCriteri {
 public:
  AnalizzatoreCriteri(std::string_view testo, const std::function<int(std::string_view)>& risolvi)
      : testo_(testo), risolvi_(risolvi) {}

  Criterio Analizza() {
    Leggi();
    if (corrente_.tipo == kFine) Errore_("il criterio è vuoto");
    c_.radice_ = Espressione();
    if (corrente_.tipo != kFine) Errore_("testo inatteso '" + corrente_.testo + "'");
    RaccogliUguaglianze(c_.radice_);
    c_.letterali_ = letterali_letti_;
    for (size_t i = 0; i < c_.nodi_.size(); ++i) {
      if (c_.nodi_[i].parametro >= 0) c_.parametrici_.push_back(static_cast<int>(i));
    }
    std::sort(c_.colonne_.begin(), c_.colonne_.end());
    c_.colonne_.erase(std::unique(c_.colonne_.begin(), c_.colonne_.end()), c_.colonne_.end());
    return std::move(c_);
  }

 private:
  enum TipoToken { kFine, kNome, kNumero, kTesto, kSimbolo };
  struct Token {
    TipoToken tipo = kFine;
    std::string testo;  // name, symbol, or text literal unquoted
    size_t posizione = 0;
  };

  [[noreturn]] void Errore_(const std::string& cosa) const {
    throw Errore("Criterio non valido: " + cosa + " nel criterio \"" + std::string(testo_) + "\"");
  }

  // The quoted text that opens at the current position, as the current token.
  void LeggiTestoTraApici(char q) {
    const size_t fine = engine_detail::LeggiTestoTraApici(testo_, p_, corrente_.testo);
    if (fine == std::string_view::npos) Errore_("testo tra apici non chiuso");
    p_ = fine;
    corrente_.tipo = kTesto;
    ++letterali_letti_;
    c_.posti_.push_back({true, q, corrente_.posizione, p_});
  }

  void Leggi() {
    while (p_ < testo_.size() &&
           (testo_[p_] == ' ' || testo_[p_] == '\t' || testo_[p_] == '\r' || testo_[p_] == '\n')) {
      ++p_;
    }
    corrente_ = Token{};
    corrente_.posizione = p_;
    if (p_ >= testo_.size()) return;
    unsigned char c = static_cast<unsigned char>(testo_[p_]);
    if (c == '\'' || c == '"') {
      LeggiTestoTraApici(static_cast<char>(c));
    } else if (c == '[') {
      size_t fine = testo_.find(']', p_);
      if (fine == std::string_view::npos) Errore_("parentesi quadra non chiusa");
      corrente_.tipo = kNome;
      corrente_.testo = std::string(testo_.substr(p_ + 1, fine - p_ - 1));
      if (corrente_.testo.empty()) Errore_("nome di campo vuoto");
      p_ = fine + 1;
    } else if (InizioNome(c)) {
      size_t inizio = p_;
      while (p_ < testo_.size() && CarattereNome(static_cast<unsigned char>(testo_[p_]))) ++p_;
      corrente_.tipo = kNome;
      corrente_.testo = std::string(testo_.substr(inizio, p_ - inizio));
    } else if ((c >= '0' && c <= '9') || c == '.') {
      size_t inizio = p_;
      while (p_ < testo_.size() &&
             ((testo_[p_] >= '0' && testo_[p_] <= '9') || testo_[p_] == '.')) {
        ++p_;
      }
      if (p_ < testo_.size() && (testo_[p_] == 'e' || testo_[p_] == 'E')) {
        size_t q = p_ + 1;
        if (q < testo_.size() && (testo_[q] == '+' || testo_[q] == '-')) ++q;
        if (q < testo_.size() && testo_[q] >= '0' && testo_[q] <= '9') {
          p_ = q;
          while (p_ < testo_.size() && testo_[p_] >= '0' && testo_[p_] <= '9') ++p_;
        }
      }
      corrente_.tipo = kNumero;
      corrente_.testo = std::string(testo_.substr(inizio, p_ - inizio));
      ++letterali_letti_;
      c_.posti_.push_back({false, 0, inizio, p_});
      if (p_ < testo_.size() && InizioNome(static_cast<unsigned char>(testo_[p_]))) {
        Errore_("numero non valido '" + corrente_.testo + testo_[p_] + "'");
      }
    } else {
      static constexpr std::string_view kDoppi[] = {"<>", "<=", ">="};
      for (auto d : kDoppi) {
        if (testo_.substr(p_, 2) == d) {
          corrente_.tipo = kSimbolo;
          corrente_.testo = std::string(d);
          p_ += 2;
          return;
        }
      }
      if (std::string_view("=<>()+-").find(static_cast<char>(c)) == std::string_view::npos) {
        Errore_("carattere non ammesso '" + std::string(1, static_cast<char>(c)) + "'");
      }
      corrente_.tipo = kSimbolo;
      corrente_.testo = std::string(1, static_cast<char>(c));
      ++p_;
    }
  }

  bool Parola(std::string_view p) const {
    return corrente_.tipo == kNome && UgualeNoCase(corrente_.testo, p);
  }
  bool Simbolo(std::string_view s) const {
    return corrente_.tipo == kSimbolo && corrente_.testo == s;
  }

  int Aggiungi(Nodo n) {
    c_.nodi_.push_back(std::move(n));
    return static_cast<int>(c_.nodi_.size() - 1);
  }

  int Espressione() {
    int s = Termine();
    while (Parola("or")) {
      Leggi();
      Nodo n;
      n.tipo = Nodo::kO;
      n.sinistro = s;
      n.destro = Termine();
      s = Aggiungi(n);
    }
    return s;
  }

  int Termine() {
    int s = Fattore();
    while (Parola("and")) {
      Leggi();
      Nodo n;
      n.tipo = Nodo::kE;
      n.sinistro = s;
      n.destro = Fattore();
      s = Aggiungi(n);
    }
    return s;
  }

  int Fattore() {
    if (++profondita_ > 200) Errore_("troppe parentesi annidate");
    int r;
    if (Parola("not")) {
      Leggi();
      Nodo n;
      n.tipo = Nodo::kNon;
      n.sinistro = Fattore();
      r = Aggiungi(n);
    } else if (Simbolo("(")) {
      Leggi();
      r = Espressione();
      if (!Simbolo(")")) Errore_("manca la parentesi chiusa");
      Leggi();
    } else {
      r = Confronto();
    }
    --profondita_;
    return r;
  }

  bool ELetterale() const {
    return corrente_.tipo == kNumero || corrente_.tipo == kTesto || Simbolo("-") || Simbolo("+") ||
           Parola("null") || Parola("true") || Parola("false");
  }

  // Reads the literal of comparison `n`, noting which literal of the text it is.
  void LeggiLetterale(Nodo& n) {
    Letterale& l = n.letterale;
    if (corrente_.tipo == kTesto) {
      l.tipo = Letterale::kTesto;
      l.testo = corrente_.testo;
      l.numerico = numeri::LeggiNumero(l.testo, l.numero);
      n.parametro = letterali_letti_ - 1;
      Leggi();
      return;
    }
    if (Parola("null")) {
      Leggi();
      return;
    }
    if (Parola("true") || Parola("false")) {
      l.tipo = Letterale::kNumero;
      l.numero = Parola("true") ? -1 : 0;
      Leggi();
      return;
    }
    bool negativo = false;
    while (Simbolo("-") || Simbolo("+")) {
      if (Simbolo("-")) negativo = !negativo;
      Leggi();
    }
    if (corrente_.tipo != kNumero) Errore_("atteso un numero o un testo tra apici");
    double x;
    if (!numeri::LeggiNumero(corrente_.testo, x))
      Errore_("numero non valido '" + corrente_.testo + "'");
    l.tipo = Letterale::kNumero;
    l.numero = negativo ? -x : x;
    n.parametro = letterali_letti_ - 1;
    n.negativo = negativo;
    Leggi();
  }

  int Campo() {
    if (corrente_.tipo != kNome) Errore_("atteso il nome di un campo");
    static constexpr std::string_view kRiservate[] = {"and",  "or",   "not",     "is",
                                                      "null", "like", "between", "in"};
    for (auto r : kRiservate) {
      if (Parola(r)) Errore_("atteso il nome di un campo invece di '" + corrente_.testo + "'");
    }
    std::string nome = corrente_.testo;
    Leggi();
    int colonna = risolvi_(nome);
    c_.colonne_.push_back(colonna);
    return colonna;
  }

  Operatore LeggiOperatore() {
    static const std::pair<std::string_view, Operatore> kOperatori[] = {
        {"=", Operatore::kUguale},   {"<>", Operatore::kDiverso},
        {"<", Operatore::kMinore},   {"<=", Operatore::kMinoreUguale},
        {">", Operatore::kMaggiore}, {">=", Operatore::kMaggioreUguale}};
    if (corrente_.tipo == kSimbolo) {
      for (auto& [s, op] : kOperatori) {
        if (corrente_.testo == s) {
          Leggi();
          return op;
        }
      }
    }
    if (corrente_.tipo == kNome) {
      Errore_("operatore '" + corrente_.testo + "' non gestito");
    }
    Errore_(corrente_.tipo == kFine
                ? "manca l'operatore di confronto"
                : "atteso un operatore di confronto invece di '" + corrente_.testo + "'");
  }

  static Operatore Rovescia(Operatore op) {
    switch (op) {
      case Operatore::kMinore:
        return Operatore::kMaggiore;
      case Operatore::kMinoreUguale:
        return Operatore::kMaggioreUguale;
      case Operatore::kMaggiore:
        return Operatore::kMinore;
      case Operatore::kMaggioreUguale:
        return Operatore::kMinoreUguale;
      default:
        return op;
    }
  }

  int Confronto() {
    Nodo n;
    n.tipo = Nodo::kConfronto;
    if (ELetterale()) {
      // literal op field
      LeggiLetterale(n);
      n.op = Rovescia(LeggiOperatore());
      n.colonna = Campo();
      return Aggiungi(n);
    }
    n.colonna = Campo();
    if (Parola("is")) {
      Leggi();
      n.tipo = Nodo::kENull;
      if (Parola("not")) {
        Leggi();
        n.tipo = Nodo::kNonENull;
      }
      if (!Parola("null")) Errore_("atteso Null dopo Is");
      Leggi();
      return Aggiungi(n);
    }
    n.op = LeggiOperatore();
    if (!ELetterale()) {
      Errore_(corrente_.tipo == kFine
                  ? "manca il valore da confrontare"
                  : "atteso un numero o un testo tra apici invece di '" + corrente_.testo + "'");
    }
    LeggiLetterale(n);
    return Aggiungi(n);
  }

  void RaccogliUguaglianze(int i) {
    const Nodo& n = c_.nodi_[i];
    if (n.tipo == Nodo::kE) {
      RaccogliUguaglianze(n.sinistro);
      RaccogliUguaglianze(n.destro);
    } else if (n.tipo == Nodo::kConfronto && n.op == Operatore::kUguale &&
               n.letterale.tipo != Letterale::kNull) {
      c_.uguaglianze_.push_back(i);
    }
  }

  std::string_view testo_;
  const std::function<int(std::string_view)>& risolvi_;
  size_t p_ = 0;
  Token corrente_;
  Criterio c_;
  int profondita_ = 0;
  int letterali_letti_ = 0;  // quoted texts and numbers read so far
};

Criterio Criterio::Analizza(std::string_view testo,
                            const std::function<int(std::string_view)>& risolvi) {
  return AnalizzatoreCriteri(testo, risolvi).Analizza();
}

bool LeggiComeModello(std::string_view modello, const std::vector<FormaCriterio::Posto>& posti,
                      std::string_view testo, FormaCriterio& forma) {
  forma.letterali.clear();
  size_t a = 0, b = 0;  // in `modello`, in `testo`
  const size_t fine = testo.size();
  for (const FormaCriterio::Posto& m : posti) {
    // Up to the literal the two texts are the same bytes, so the reader stands at the start of
    // a token in both; the literal is then read by the rules of AnalizzatoreCriteri::Leggi.
    const std::string_view tratto = modello.substr(a, m.inizio - a);
    if (testo.substr(b, tratto.size()) != tratto) return false;
    b += tratto.size();
    FormaCriterio::Pezzo pezzo;
    pezzo.posto = m;
    pezzo.posto.inizio = b;
    if (m.testo) {
      if (b >= fine || testo[b] != m.apice) return false;
      const size_t chiusa = FineTestoTraApici(testo, b, m.apice);
      if (chiusa == std::string_view::npos) return false;
      pezzo.grezzo = testo.substr(b + 1, chiusa - b - 2);
      b = chiusa;
    } else {
      if (b >= fine || !((testo[b] >= '0' && testo[b] <= '9') || testo[b] == '.')) return false;
      const size_t dopo = FineNumero(testo, b);
      if (dopo == std::string_view::npos) return false;
      pezzo.grezzo = testo.substr(b, dopo - b);
      b = dopo;
    }
    pezzo.posto.fine = b;
    forma.letterali.push_back(pezzo);
    a = m.fine;
  }
  return testo.substr(b) == modello.substr(a);
}

bool Criterio::ImpostaLetterali(const FormaCriterio& forma) {
  if (static_cast<int>(forma.letterali.size()) != letterali_) return false;
  // Every number is checked before anything changes.
  numeri_.clear();
  for (int i : parametrici_) {
    const FormaCriterio::Pezzo& pezzo = forma.letterali[nodi_[i].parametro];
    if (pezzo.posto.testo != (nodi_[i].letterale.tipo == Letterale::kTesto)) return false;
    if (!pezzo.posto.testo) {
      double x;
      if (!numeri::LeggiNumero(pezzo.grezzo, x)) return false;
      numeri_.push_back(nodi_[i].negativo ? -x : x);
    }
  }
  size_t numero = 0;
  for (int i : parametrici_) {
    Letterale& l = nodi_[i].letterale;
    const FormaCriterio::Pezzo& pezzo = forma.letterali[nodi_[i].parametro];
    if (!pezzo.posto.testo) {
      l.numero = numeri_[numero++];
      continue;
    }
    const char apice = pezzo.posto.apice;
    if (pezzo.grezzo.find(apice) == std::string_view::npos) {
      l.testo.assign(pezzo.grezzo);
    } else {
      l.testo.clear();
      for (size_t k = 0; k < pezzo.grezzo.size(); ++k) {
        l.testo += pezzo.grezzo[k];
        if (pezzo.grezzo[k] == apice) ++k;  // a doubled quote stands for one
      }
    }
    l.numerico = numeri::LeggiNumero(l.testo, l.numero);
    if (!l.numerico) l.numero = 0;
  }
  return true;
}

}  // namespace vendrix::engine_detail
