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

// The pieces of LeggiLessema. The finds also read the literals of each criteria text with them
// alone, where they know what kind of literal stands: they are inline, as that is done for
// every find.

// Where the text quoted with t[p] ends, past its closing quote; npos when it never closes.
inline size_t FineTesto(std::string_view t, size_t p) {
  const char apice = t[p];
  for (++p; p < t.size(); ++p) {
    if (t[p] != apice) continue;
    if (p + 1 < t.size() && t[p + 1] == apice) {
      ++p;
      continue;
    }
    return p + 1;
  }
  return std::string_view::npos;
}

// True when a number opens at `p`: a digit, or a point before one.
inline bool InizioNumero(std::string_view t, size_t p) {
  return p < t.size() && (Cifra(t[p]) || (t[p] == '.' && p + 1 < t.size() && Cifra(t[p + 1])));
}

// The number that opens at `p` (InizioNumero), into `l`.
inline void Numero(std::string_view t, size_t p, Lessema& l) {
  auto cifre = [&] {
    while (p < t.size() && Cifra(t[p])) ++p;
  };
  cifre();
  if (p < t.size() && t[p] == '.') {
    ++p;
    cifre();
  }
  if (p + 1 < t.size() && (t[p] == 'e' || t[p] == 'E')) {
    size_t q = p + 1;
    if (t[q] == '+' || t[q] == '-') ++q;
    if (q < t.size() && Cifra(t[q])) {
      p = q;
      cifre();
    }
  }
  l.tipo = Lessema::kNumero;
  l.guasto = Lessema::kNumeroMalformato;
  // A second point, or a word stuck to the number: the whole run is the fault.
  if (p < t.size() && (t[p] == '.' || InizioParola(t[p]))) {
    while (p < t.size() && (CarattereParola(t[p]) || t[p] == '.')) ++p;
    l.tipo = Lessema::kGuasto;
  }
  l.fine = p;
}

// The symbol, or the fault, that opens at `p`, into `l`.
inline void Simbolo(std::string_view t, size_t p, Lessema& l) {
  static constexpr std::string_view kDoppi[] = {"<>", "<=", ">=", "!=", "||", "=="};
  l.tipo = Lessema::kSimbolo;
  for (std::string_view d : kDoppi) {
    if (t.substr(p, 2) == d) {
      l.fine = p + 2;
      return;
    }
  }
  l.fine = p + 1;
  if (std::string_view("(),;.=<>+-*/&%").find(t[p]) != std::string_view::npos) return;
  l.tipo = Lessema::kGuasto;
  l.guasto = t[p] == '#' ? Lessema::kData : Lessema::kCarattere;
}

// The token of `testo` that opens at `p`, or after the blanks there; kFine past the last one.
inline Lessema LeggiLessema(std::string_view testo, size_t p) {
  while (p < testo.size() &&
         (testo[p] == ' ' || testo[p] == '\t' || testo[p] == '\r' || testo[p] == '\n')) {
    ++p;
  }
  Lessema l;
  l.inizio = l.fine = p;
  if (p >= testo.size()) return l;
  const char c = testo[p];
  if (c == '\'' || c == '"') {
    l.fine = FineTesto(testo, p);
    l.tipo = l.fine == std::string_view::npos ? Lessema::kGuasto : Lessema::kTesto;
    l.guasto = Lessema::kApiceAperto;
  } else if (c == '[' || c == '`') {
    const size_t chiusa = testo.find(c == '[' ? ']' : '`', p + 1);
    l.tipo =
        chiusa == std::string_view::npos || chiusa == p + 1 ? Lessema::kGuasto : Lessema::kNome;
    l.guasto = chiusa == std::string_view::npos ? Lessema::kNomeAperto : Lessema::kNomeVuoto;
    l.fine = chiusa == std::string_view::npos ? testo.size() : chiusa + 1;
  } else if (InizioParola(c)) {
    while (++p < testo.size() && CarattereParola(testo[p])) {
    }
    l.tipo = Lessema::kParola;
    l.fine = p;
  } else if (InizioNumero(testo, p)) {
    Numero(testo, p, l);
  } else {
    Simbolo(testo, p, l);
  }
  return l;
}

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
