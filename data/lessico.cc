#include "data/lessico.h"

namespace vendrix::engine_detail {

namespace {

// The symbol, or the fault, that opens at `p`, into `l`.
void Simbolo(std::string_view t, size_t p, Lessema& l) {
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

}  // namespace

Lessema LeggiLessema(std::string_view testo, size_t p) {
  while (p < testo.size() &&
         (testo[p] == ' ' || testo[p] == '\t' || testo[p] == '\r' || testo[p] == '\n')) {
    ++p;
  }
  Lessema l;
  l.inizio = l.fine = p;
  if (p >= testo.size() || LeggiLetterale(testo, p, l)) return l;
  const char c = testo[p];
  if (c == '[' || c == '`') {
    const size_t chiusa = testo.find(c == '[' ? ']' : '`', p + 1);
    const bool aperto = chiusa == std::string_view::npos;
    l.tipo = aperto || chiusa == p + 1 ? Lessema::kGuasto : Lessema::kNome;
    l.guasto = aperto ? Lessema::kNomeAperto : Lessema::kNomeVuoto;
    l.fine = aperto ? testo.size() : chiusa + 1;
  } else if (InizioParola(c)) {
    while (++p < testo.size() && CarattereParola(testo[p])) {
    }
    l.tipo = Lessema::kParola;
    l.fine = p;
  } else {
    Simbolo(testo, p, l);
  }
  return l;
}

std::string DescriviGuasto(std::string_view testo, const Lessema& l) {
  static constexpr const char* kGuasti[] = {
      "testo tra apici non chiuso",      "nome tra parentesi quadre non chiuso",
      "nome vuoto tra parentesi quadre", "numero non valido",
      "le date tra # non sono gestite",  "carattere non ammesso"};
  const std::string cosa = kGuasti[l.guasto];
  if (l.guasto == Lessema::kNumeroMalformato) {
    return cosa + " '" + std::string(testo.substr(l.inizio, l.fine - l.inizio)) + "'";
  }
  if (l.guasto == Lessema::kCarattere) return cosa + " '" + testo[l.inizio] + "'";
  return cosa;
}

}  // namespace vendrix::engine_detail
