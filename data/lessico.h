#ifndef VENDRIX_DATA_LESSICO_H_
#define VENDRIX_DATA_LESSICO_H_

// The one reader of tokens of the criteria of the finds and of the suite's SQL texts. A text is a
// run of tokens, blanks (space, tab, CR, LF) between them:
//   word    a letter, '_' or a byte from 0x80, then those or digits      NumeroHotel, And
//   name    [Nome] or `Nome`: anything but the closing bracket inside, never empty
//   number  digits and points, opening with a digit or a point before one, then an exponent
//           (e, a sign, digits) when one follows; exactly one point at most, no word right after
//   text    'a''b' or "a""b": a doubled quote inside stands for one
//   symbol  <> <= >= != || == or one of ( ) , ; . = < > + - * / & %
// Anything else is a fault, which the token names. Each reader decides which tokens it takes.

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrix::engine_detail {

struct Lessema {
  enum Tipo : uint8_t { kFine, kParola, kNome, kNumero, kTesto, kSimbolo, kGuasto } tipo = kFine;
  // For kGuasto, what is wrong.
  enum Guasto : uint8_t {
    kApiceAperto,
    kNomeAperto,
    kNomeVuoto,
    kNumeroMalformato,
    kData,
    kCarattere
  };
  Guasto guasto = kCarattere;
  size_t inizio = 0, fine = 0;  // where it stands in its text, quotes and brackets included
};

constexpr bool Cifra(char c) { return c >= '0' && c <= '9'; }
constexpr bool InizioParola(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u >= 0x80;
}
constexpr bool CarattereParola(char c) { return InizioParola(c) || Cifra(c); }

// Reads the quoted text or the number that opens exactly at `p` into `l` (kGuasto when it is
// malformed); false, `l` untouched, when neither opens there. LeggiLessema reads texts and
// numbers with it, and so do the finds, for the literals of each criteria text: it is inline.
[[gnu::always_inline]] inline bool LeggiLetterale(std::string_view t, size_t p, Lessema& l) {
  if (p < t.size() && (t[p] == '\'' || t[p] == '"')) {
    const char apice = t[p];
    l = {Lessema::kGuasto, Lessema::kApiceAperto, p, std::string_view::npos};
    for (size_t q = p + 1; q < t.size(); ++q) {
      if (t[q] != apice) continue;
      if (q + 1 < t.size() && t[q + 1] == apice) {
        ++q;  // a doubled quote
        continue;
      }
      l.tipo = Lessema::kTesto;
      l.fine = q + 1;
      break;
    }
    return true;
  }
  if (!(p < t.size() && (Cifra(t[p]) || (t[p] == '.' && p + 1 < t.size() && Cifra(t[p + 1]))))) {
    return false;
  }
  l = {Lessema::kNumero, Lessema::kNumeroMalformato, p, p};
  auto cifre = [&] {
    while (p < t.size() && Cifra(t[p])) ++p;
  };
  cifre();
  if (p < t.size() && t[p] == '.') {
    ++p;
    cifre();
  }
  if (p + 1 < t.size() && (t[p] == 'e' || t[p] == 'E')) {
    const size_t q = p + 1 + (t[p + 1] == '+' || t[p + 1] == '-');
    if (q < t.size() && Cifra(t[q])) {
      p = q;
      cifre();
    }
  }
  // A second point, or a word stuck to the number: the whole run is the fault.
  if (p < t.size() && (t[p] == '.' || InizioParola(t[p]))) {
    while (p < t.size() && (CarattereParola(t[p]) || t[p] == '.')) ++p;
    l.tipo = Lessema::kGuasto;
  }
  l.fine = p;
  return true;
}

// The token of `testo` that opens at `p`, or after the blanks there; kFine past the last one.
Lessema LeggiLessema(std::string_view testo, size_t p);

// What the token says: a word, number or symbol as written, a name without its brackets, a text
// without its quotes (doubled quotes left as they are: see ValoreTesto).
inline std::string_view Grezzo(std::string_view testo, const Lessema& l) {
  const size_t tra = l.tipo == Lessema::kNome || l.tipo == Lessema::kTesto;
  return std::string_view(testo.data() + l.inizio + tra, l.fine - l.inizio - 2 * tra);
}

// The text that `grezzo`, the inside of a text quoted with `apice`, stands for, into `valore`.
inline void ValoreTesto(std::string_view grezzo, char apice, std::string& valore) {
  if (grezzo.find(apice) == std::string_view::npos) {
    valore.assign(grezzo);
    return;
  }
  valore.clear();
  for (size_t k = 0; k < grezzo.size(); ++k) {
    valore += grezzo[k];
    if (grezzo[k] == apice) ++k;  // the second of a doubled quote
  }
}

// For a kGuasto token: what is wrong, in words.
std::string DescriviGuasto(std::string_view testo, const Lessema& l);

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_LESSICO_H_
