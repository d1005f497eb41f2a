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

// The values the window sets when it loads. They start out loaded as well, so that a caller that
// never calls CaricaModulo still validates dates against real month lengths.
std::array<int16_t, 13> GiorniMese = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
int16_t HotelCorrente = 1;

void CaricaModulo() {
  GiorniMese = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  HotelCorrente = 1;
}

namespace {

// The characters of a UTF-8 text, each as the bytes that encode it. Positions and lengths of the
// date routines count characters, not bytes, so that an accented letter typed in a box is one
// character. A byte that does not start a well-formed sequence is a character of its own.
std::vector<std::string_view> Caratteri(std::string_view testo) {
  std::vector<std::string_view> caratteri;
  size_t i = 0;
  while (i < testo.size()) {
    const auto primo = static_cast<unsigned char>(testo[i]);
    size_t n = 1;
    if (primo >= 0xC2 && primo <= 0xDF) {
      n = 2;
    } else if (primo >= 0xE0 && primo <= 0xEF) {
      n = 3;
    } else if (primo >= 0xF0 && primo <= 0xF4) {
      n = 4;
    }
    if (i + n > testo.size()) n = 1;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(testo[i + k]) & 0xC0) != 0x80) {
        n = 1;
        break;
      }
    }
    caratteri.push_back(testo.substr(i, n));
    i += n;
  }
  return caratteri;
}

// Characters inizio .. inizio + quanti - 1 (counted from 1), as far as the text reaches.
std::string Parte(const std::vector<std::string_view>& caratteri, size_t inizio, size_t quanti) {
  std::string parte;
  for (size_t i = inizio - 1; i < caratteri.size() && i < inizio - 1 + quanti; ++i) {
    parte.append(caratteri[i]);
  }
  return parte;
}

double ValoreParte(const std::vector<std::string_view>& caratteri, size_t inizio, size_t quanti) {
  return ValoreNumerico(Parte(caratteri, inizio, quanti));
}

// Rounds to the nearest 16-bit integer, halves to the even neighbour; nothing when the value does
// not fit (such as a year written 9E99).
std::optional<int16_t> InteroCorto(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  double intero = std::floor(x);
  const double resto = x - intero;
  if (resto > 0.5 || (resto == 0.5 && std::fmod(intero, 2.0) != 0.0)) intero += 1.0;
  if (intero < -32768.0 || intero > 32767.0) return std::nullopt;
  return static_cast<int16_t>(intero);
}

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

std::string FiltraTesto(std::string_view testo) {
  std::string risultato;
  for (std::string_view carattere : Caratteri(testo)) {
    if (carattere == "'") continue;
    std::string maiuscolo(carattere);
    if (maiuscolo.size() == 1 && maiuscolo[0] >= 'a' && maiuscolo[0] <= 'z') {
      maiuscolo[0] = static_cast<char>(maiuscolo[0] - 'a' + 'A');
    } else if (maiuscolo.size() == 2 && static_cast<unsigned char>(maiuscolo[0]) == 0xC3) {
      // Accented Latin letters à .. þ (U+00E0 .. U+00FE, except the sign ÷) have their capitals
      // 32 code points lower, in the same two-byte row.
      const auto secondo = static_cast<unsigned char>(maiuscolo[1]);
      if (secondo >= 0xA0 && secondo <= 0xBE && secondo != 0xB7) {
        maiuscolo[1] = static_cast<char>(secondo - 0x20);
      }
    }
    risultato += maiuscolo;
  }
  if (risultato.empty()) return " ";
  return risultato;
}

std::string EspandiData(std::string_view testo) {
  const std::vector<std::string_view> c = Caratteri(testo);
  if (c.size() == 6) {
    const std::string secolo = ValoreParte(c, 5, 2) >= 20 ? "19" : "20";
    return Parte(c, 1, 2) + "/" + Parte(c, 3, 2) + "/" + secolo + Parte(c, 5, 2);
  }
  if (c.size() == 8) {
    return Parte(c, 1, 2) + "/" + Parte(c, 3, 2) + "/" + Parte(c, 5, 4);
  }
  return std::string(testo);
}

int16_t ControllaData(std::string_view testo) {
  const size_t inizio = testo.find_first_not_of(' ');
  if (inizio == std::string_view::npos) return 0;
  testo = testo.substr(inizio, testo.find_last_not_of(' ') - inizio + 1);
  const std::vector<std::string_view> c = Caratteri(testo);
  if (c.size() != 10) return 0;

  const double giorno = ValoreParte(c, 1, 2);
  const double mese = ValoreParte(c, 4, 2);
  const std::optional<int16_t> anno = InteroCorto(ValoreParte(c, 7, 4));
  if (!anno || *anno < 1900 || mese < 1 || mese > 12) return 0;

  GiorniMese[2] = AnnoBisestile(*anno) == 1 ? 29 : 28;
  // Two characters in 1 .. 12 always read a whole number; the rounding only makes the index safe.
  const std::optional<int16_t> indice = InteroCorto(mese);
  if (!indice || *indice < 1 || *indice > 12) return 0;
  if (giorno < 1 || giorno > GiorniMese[*indice]) return 0;
  return 1;
}

int16_t AnnoBisestile(int16_t anno) { return anno % 4 == 0 ? 1 : 0; }

int16_t ControllaPeriodo(std::string_view dal, std::string_view al) {
  const std::vector<std::string_view> d = Caratteri(dal);
  const std::vector<std::string_view> a = Caratteri(al);
  const double giorno_dal = ValoreParte(d, 1, 2);
  const double mese_dal = ValoreParte(d, 4, 2);
  const double anno_dal = ValoreParte(d, 7, 4);
  const double giorno_al = ValoreParte(a, 1, 2);
  const double mese_al = ValoreParte(a, 4, 2);
  // The to-date's year is held as a whole number; a year that cannot be one (never the case for
  // two valid dates) is compared as read.
  const double letto_al = ValoreParte(a, 7, 4);
  const std::optional<int16_t> intero_al = InteroCorto(letto_al);
  const double anno_al = intero_al ? *intero_al : letto_al;

  const bool dopo = anno_dal > anno_al || (anno_dal == anno_al && mese_dal > mese_al) ||
                    (anno_dal == anno_al && mese_dal == mese_al && giorno_dal > giorno_al);
  return dopo ? 0 : 1;
}

}  // namespace vendrix
