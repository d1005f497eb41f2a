#ifndef VENDRIX_DATA_CRITERI_H_
#define VENDRIX_DATA_CRITERI_H_

// The criteria of FindFirst / FindNext: comparisons of a field with a number or a quoted text
// (=, <>, <, <=, >, >=), "Is [Not] Null", joined by And / Or / Not, with parentheses. Parsed once
// into a small tree whose fields are resolved to column positions, then evaluated row by row.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/righe.h"

namespace vendrix::engine_detail {

// A comparison operator, written as the outcomes of the comparison that meet it: bit 0 the cell
// below the literal, bit 1 equal to it, bit 2 above it.
enum class Operatore : uint8_t {
  kMinore = 1,
  kUguale = 2,
  kMinoreUguale = 3,
  kMaggiore = 4,
  kDiverso = 5,
  kMaggioreUguale = 6
};

struct Letterale {
  enum Tipo : uint8_t { kNull, kNumero, kTesto } tipo = kNull;
  double numero = 0;  // kNumero; for kTesto, the text read as a number when `numerico`
  bool numerico = false;
  std::string testo;
};

struct Nodo {
  enum Tipo : uint8_t { kE, kO, kNon, kConfronto, kENull, kNonENull } tipo = kConfronto;
  Operatore op = Operatore::kUguale;
  int colonna = -1;
  Letterale letterale;
  int sinistro = -1, destro = -1;  // children (kNon uses sinistro)
  // The place, among the literals of the text, of the literal this comparison took (-1 for Null,
  // True and False, which belong to the shape), and whether signs before it negated it.
  int parametro = -1;
  bool negativo = false;
};

// The literals of a criteria text, in text order. Two texts that differ only inside their
// literals parse to the same tree and differ only in its literals.
struct FormaCriterio {
  // Where a literal stands in its text, quotes included, and what kind it is.
  struct Posto {
    bool testo = false;  // a quoted text; otherwise a number
    char apice = 0;      // the quote of a text, doubled inside it
    size_t inizio = 0, fine = 0;
  };
  struct Pezzo {
    Posto posto;
    std::string_view grezzo;  // as written, without the quotes
  };
  std::vector<Pezzo> letterali;
};

// True when `testo` is `modello`, whose literals stand at `posti`, with only the contents of its
// literals changed; `forma` then holds the literals of `testo`, pointing into it.
bool LeggiComeModello(std::string_view modello, const std::vector<FormaCriterio::Posto>& posti,
                      std::string_view testo, FormaCriterio& forma);

class Criterio {
 public:
  // Parses `testo`; `risolvi` turns a field name into a column position (throwing Errore for an
  // unknown field). Throws Errore "Criterio non valido: ..." for anything malformed.
  static Criterio Analizza(std::string_view testo,
                           const std::function<int(std::string_view)>& risolvi);

  // Gives the literals of the tree the values of `forma`, read from a text of the same shape as
  // the one parsed. Returns false, and changes nothing, when a literal is not valid where it
  // stands (a number that does not read as one); the parser then reports it.
  bool ImpostaLetterali(const FormaCriterio& forma);

  bool Soddisfa(const std::vector<Colonna>& colonne, uint32_t riga) const {
    return Valuta(radice_, colonne, riga) == kVero;
  }
  // The comparison nodes "field = literal" joined by And at the top: each alone already
  // restricts the rows, so an index on its field gives candidates.
  const std::vector<int>& Uguaglianze() const { return uguaglianze_; }
  const Nodo& NodoIn(int i) const { return nodi_[i]; }
  // Every column the criteria reads.
  const std::vector<int>& Colonne() const { return colonne_; }
  // Where the quoted texts and numbers of the parsed text stand in it.
  const std::vector<FormaCriterio::Posto>& Posti() const { return posti_; }

 private:
  enum { kFalso, kVero, kIgnoto };
  int Valuta(int nodo, const std::vector<Colonna>& colonne, uint32_t riga) const;
  std::vector<Nodo> nodi_;
  int radice_ = -1;
  std::vector<int> uguaglianze_;
  std::vector<int> colonne_;
  std::vector<int> parametrici_;  // the comparison nodes whose literal comes from the text
  int letterali_ = 0;             // quoted texts and numbers in the text
  std::vector<FormaCriterio::Posto> posti_;
  std::vector<double> numeri_;  // scratch of ImpostaLetterali
  friend class AnalizzatoreCriteri;
};

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_CRITERI_H_
