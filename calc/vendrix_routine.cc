#include "calc/vendrix_routine.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "data/errore.h"

namespace vendrix {

// The value the window sets when it loads; it starts out loaded as well.
int16_t HotelCorrente = 1;

void CaricaModulo() { HotelCorrente = 1; }

namespace {

bool Ignorato(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool Cifra(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double ValoreNumerico(std::string_view testo) {
  size_t i = 0;
  // The next character that counts, or '\0' at the end of the text.
  auto prossimo = [&]() -> char {
    while (i < testo.size() && Ignorato(testo[i])) ++i;
    return i < testo.size() ? testo[i] : '\0';
  };

  bool negativo = false;
  if (char c = prossimo(); c == '+' || c == '-') {
    negativo = c == '-';
    ++i;
  }
  // The mantissa as digits with at most one point, blanks already left out.
  std::string mantissa;
  bool punto = false;
  size_t cifre = 0;
  for (char c = prossimo(); Cifra(c) || (c == '.' && !punto); c = prossimo()) {
    if (c == '.') {
      punto = true;
    } else {
      ++cifre;
    }
    mantissa.push_back(c);
    ++i;
  }
  if (cifre == 0) return 0.0;

  // The exponent counts only when at least one digit follows the E and its sign.
  long esponente = 0;
  std::string testo_esponente;
  if (char c = prossimo(); c == 'E' || c == 'e') {
    ++i;
    bool esponente_negativo = false;
    if (char s = prossimo(); s == '+' || s == '-') {
      esponente_negativo = s == '-';
      ++i;
    }
    std::string cifre_esponente;
    for (char d = prossimo(); Cifra(d); d = prossimo()) {
      cifre_esponente.push_back(d);
      // Far beyond the range of a double; keeps the sum of magnitudes below from overflowing.
      if (esponente < 1000000) esponente = esponente * 10 + (d - '0');
      ++i;
    }
    if (!cifre_esponente.empty()) {
      if (esponente_negativo) esponente = -esponente;
      testo_esponente = (esponente_negativo ? "e-" : "e") + cifre_esponente;
    } else {
      esponente = 0;
    }
  }

  const std::string numero = mantissa + testo_esponente;
  double valore = 0.0;
  const std::errc errore = std::from_chars(numero.data(), numero.data() + numero.size(), valore).ec;
  if (errore == std::errc::result_out_of_range) {
    // Too small is zero; too large cannot be held. Which of the two it is follows from where the
    // first significant digit stands.
    const size_t fine_intera = mantissa.find('.');
    const std::string intera = mantissa.substr(0, fine_intera);
    const size_t prima_significativa = intera.find_first_not_of('0');
    long grandezza = 0;
    if (prima_significativa != std::string::npos) {
      grandezza = static_cast<long>(intera.size() - prima_significativa) + esponente;
    } else if (fine_intera != std::string::npos) {
      const std::string decimali = mantissa.substr(fine_intera + 1);
      grandezza = -static_cast<long>(decimali.find_first_not_of('0')) + esponente;
    }
    if (grandezza > 0) {
      throw Errore("Il valore numerico \"" + std::string(testo) +
                   "\" è troppo grande per essere calcolato.");
    }
    valore = 0.0;
  } else if (errore != std::errc()) {
    return 0.0;
  }
  return negativo ? -valore : valore;
}

}  // namespace vendrix
