#include "data/criteri.h"

#include <algorithm>
#include <cmath>

#include "comune/testo.h"
#include "data/errore.h"
#include "data/lessico.h"
#include "data/numeri.h"

namespace vendrix::engine_detail {

namespace {

// The outcome of a comparison that cannot be made (Null, or a text that is not a number
// against a number), beside -1, 0 and 1.
constexpr int kNonConfrontabile = 2;

int Confronta(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return kNonConfrontabile;
  return a < b ? -1 : (a > b ? 1 : 0);
}

// The operator that says the same with its two sides swapped: below becomes above.
Operatore Rovescia(Operatore op) {
  const int bit = static_cast<int>(op);
  return static_cast<Operatore>((bit & 2) | (bit & 1) << 2 | (bit & 4) >> 2);
}

// Compares the cell of a row with a literal, as the engine of origin does: texts by their bytes,
// numbers as numbers, a text against a number only when the text reads as a number.
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

}  // namespace

// Three-valued: a comparison with Null is unknown, and only a true criteria matches.
int Criterio::Valuta(int i, const std::vector<Colonna>& colonne, uint32_t riga) const {
  const Nodo& n = nodi_[i];
  switch (n.tipo) {
    case Nodo::kE:
    case Nodo::kO: {
      // And stops at the first false side, Or at the first true one.
      const int decide = n.tipo == Nodo::kE ? kFalso : kVero;
      const int a = Valuta(n.sinistro, colonne, riga);
      if (a == decide) return decide;
      const int b = Valuta(n.destro, colonne, riga);
      if (b == decide) return decide;
      return (a == kIgnoto || b == kIgnoto) ? kIgnoto : kVero + kFalso - decide;
    }
    case Nodo::kNon: {
      const int a = Valuta(n.sinistro, colonne, riga);
      return a == kIgnoto ? kIgnoto : kVero + kFalso - a;
    }
    case Nodo::kConfronto: {
      int c = ConfrontaCella(colonne[n.colonna], riga, n.letterale);
      if (c == kNonConfrontabile) return kIgnoto;
      // The operator's bit for this outcome (-1, 0, 1) says whether the comparison holds.
      return (static_cast<int>(n.op) >> (c + 1)) & 1 ? kVero : kFalso;
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
    if (corrente_.tipo == Lessema::kFine) Errore_("il criterio è vuoto");
    c_.radice_ = Giunzione(false);
    if (corrente_.tipo != Lessema::kFine) Errore_("testo inatteso '" + Testo() + "'");
    RaccogliUguaglianze(c_.radice_);
    c_.letterali_ = static_cast<int>(c_.posti_.size());
    for (size_t i = 0; i < c_.nodi_.size(); ++i) {
      if (c_.nodi_[i].parametro >= 0) c_.parametrici_.push_back(static_cast<int>(i));
    }
    std::sort(c_.colonne_.begin(), c_.colonne_.end());
    c_.colonne_.erase(std::unique(c_.colonne_.begin(), c_.colonne_.end()), c_.colonne_.end());
    return std::move(c_);
  }

 private:
  [[noreturn]] void Errore_(const std::string& cosa) const {
    throw Errore("Criterio non valido: " + cosa + " nel criterio \"" + std::string(testo_) + "\"");
  }

  // The next token, noting where each quoted text and number stands.
  void Leggi() {
    corrente_ = LeggiLessema(testo_, corrente_.fine);
    if (corrente_.tipo == Lessema::kGuasto) Errore_(DescriviGuasto(testo_, corrente_));
    if (corrente_.tipo == Lessema::kTesto || corrente_.tipo == Lessema::kNumero) {
      const bool testo = corrente_.tipo == Lessema::kTesto;
      c_.posti_.push_back(
          {testo, testo ? testo_[corrente_.inizio] : '\0', corrente_.inizio, corrente_.fine});
    }
  }

  std::string Testo() const { return std::string(Grezzo(testo_, corrente_)); }
  bool Parola(std::string_view p) const {
    return corrente_.tipo == Lessema::kParola && UgualeNoCase(Grezzo(testo_, corrente_), p);
  }
  bool Simbolo(std::string_view s) const {
    return corrente_.tipo == Lessema::kSimbolo && Grezzo(testo_, corrente_) == s;
  }

  int Aggiungi(Nodo n) {
    c_.nodi_.push_back(std::move(n));
    return static_cast<int>(c_.nodi_.size() - 1);
  }
  int Aggiungi(Nodo::Tipo tipo, int sinistro, int destro) {
    Nodo n;
    n.tipo = tipo;
    n.sinistro = sinistro;
    n.destro = destro;
    return Aggiungi(std::move(n));
  }

  // Operands joined by Or (`e` false) or by And (`e` true); And binds the tighter.
  int Giunzione(bool e) {
    auto operando = [&] { return e ? Fattore() : Giunzione(true); };
    int s = operando();
    while (Parola(e ? "and" : "or")) {
      Leggi();
      s = Aggiungi(e ? Nodo::kE : Nodo::kO, s, operando());
    }
    return s;
  }

  int Fattore() {
    if (++profondita_ > 200) Errore_("troppe parentesi annidate");
    int r;
    if (Parola("not")) {
      Leggi();
      r = Aggiungi(Nodo::kNon, Fattore(), -1);
    } else if (Simbolo("(")) {
      Leggi();
      r = Giunzione(false);
      if (!Simbolo(")")) Errore_("manca la parentesi chiusa");
      Leggi();
    } else {
      r = Confronto();
    }
    --profondita_;
    return r;
  }

  bool ELetterale() const {
    return corrente_.tipo == Lessema::kNumero || corrente_.tipo == Lessema::kTesto ||
           Simbolo("-") || Simbolo("+") || Parola("null") || Parola("true") || Parola("false");
  }

  // Reads the literal of comparison `n`, noting which literal of the text it is.
  void LeggiLetterale(Nodo& n) {
    Letterale& l = n.letterale;
    if (corrente_.tipo == Lessema::kTesto) {
      l.tipo = Letterale::kTesto;
      ValoreTesto(Grezzo(testo_, corrente_), testo_[corrente_.inizio], l.testo);
      l.numerico = numeri::LeggiNumero(l.testo, l.numero);
      n.parametro = static_cast<int>(c_.posti_.size()) - 1;
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
    if (corrente_.tipo != Lessema::kNumero) Errore_("atteso un numero o un testo tra apici");
    double x;
    if (!numeri::LeggiNumero(Grezzo(testo_, corrente_), x)) {
      Errore_("numero non valido '" + Testo() + "'");
    }
    l.tipo = Letterale::kNumero;
    l.numero = negativo ? -x : x;
    n.parametro = static_cast<int>(c_.posti_.size()) - 1;
    n.negativo = negativo;
    Leggi();
  }

  // A field: a word that is not a reserved one, or any name in brackets.
  int Campo() {
    if (corrente_.tipo != Lessema::kParola && corrente_.tipo != Lessema::kNome) {
      Errore_("atteso il nome di un campo");
    }
    static constexpr std::string_view kRiservate[] = {"and",  "or",   "not",     "is",
                                                      "null", "like", "between", "in"};
    for (auto r : kRiservate) {
      if (Parola(r)) Errore_("atteso il nome di un campo invece di '" + Testo() + "'");
    }
    const std::string_view nome = Grezzo(testo_, corrente_);
    Leggi();
    const int colonna = risolvi_(nome);
    c_.colonne_.push_back(colonna);
    return colonna;
  }

  Operatore LeggiOperatore() {
    static const std::pair<std::string_view, Operatore> kOperatori[] = {
        {"=", Operatore::kUguale},   {"<>", Operatore::kDiverso},
        {"<", Operatore::kMinore},   {"<=", Operatore::kMinoreUguale},
        {">", Operatore::kMaggiore}, {">=", Operatore::kMaggioreUguale}};
    for (auto& [s, op] : kOperatori) {
      if (Simbolo(s)) {
        Leggi();
        return op;
      }
    }
    if (corrente_.tipo == Lessema::kParola || corrente_.tipo == Lessema::kNome) {
      Errore_("operatore '" + Testo() + "' non gestito");
    }
    Errore_(corrente_.tipo == Lessema::kFine
                ? "manca l'operatore di confronto"
                : "atteso un operatore di confronto invece di '" + Testo() + "'");
  }

  int Confronto() {
    Nodo n;
    n.tipo = Nodo::kConfronto;
    if (ELetterale()) {  // literal op field
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
      Errore_(corrente_.tipo == Lessema::kFine
                  ? "manca il valore da confrontare"
                  : "atteso un numero o un testo tra apici invece di '" + Testo() + "'");
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
  Lessema corrente_;
  Criterio c_;
  int profondita_ = 0;
};

Criterio Criterio::Analizza(std::string_view testo,
                            const std::function<int(std::string_view)>& risolvi) {
  return AnalizzatoreCriteri(testo, risolvi).Analizza();
}

bool LeggiComeModello(std::string_view modello, const std::vector<FormaCriterio::Posto>& posti,
                      std::string_view testo, FormaCriterio& forma) {
  forma.letterali.clear();
  size_t a = 0, b = 0;  // in `modello`, in `testo`
  for (const FormaCriterio::Posto& m : posti) {
    // Up to the literal the two texts are the same bytes, so a token opens at `b` as it does in
    // the model: the literal must be one of the same kind (a text with the same quote).
    const std::string_view tratto = modello.substr(a, m.inizio - a);
    if (testo.substr(b, tratto.size()) != tratto) return false;
    b += tratto.size();
    Lessema l;
    if (!LeggiLetterale(testo, b, l) || l.tipo != (m.testo ? Lessema::kTesto : Lessema::kNumero) ||
        (m.testo && testo[b] != m.apice)) {
      return false;
    }
    forma.letterali.push_back({{m.testo, m.apice, b, l.fine}, Grezzo(testo, l)});
    b = l.fine;
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
    ValoreTesto(pezzo.grezzo, pezzo.posto.apice, l.testo);
    l.numerico = numeri::LeggiNumero(l.testo, l.numero);
    if (!l.numerico) l.numero = 0;
  }
  return true;
}

}  // namespace vendrix::engine_detail
