#include "comune/testo.h"

#include <cstdint>

namespace vendrix {

namespace {

// The length of the well-formed UTF-8 sequence that starts at `i`, or 0.
size_t Sequenza(std::string_view testo, size_t i) {
  const auto c = static_cast<unsigned char>(testo[i]);
  if (c < 0x80) return 1;
  size_t seguito;
  uint32_t codice;
  if (c >= 0xC2 && c <= 0xDF) {
    seguito = 1;
    codice = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    seguito = 2;
    codice = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    seguito = 3;
    codice = c & 0x07;
  } else {
    return 0;
  }
  if (i + seguito >= testo.size()) return 0;
  for (size_t k = 1; k <= seguito; ++k) {
    const auto s = static_cast<unsigned char>(testo[i + k]);
    if ((s & 0xC0) != 0x80) return 0;
    codice = (codice << 6) | (s & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
  if ((seguito == 2 && codice < 0x800) || (seguito == 3 && codice < 0x10000) ||
      (codice >= 0xD800 && codice <= 0xDFFF) || codice > 0x10FFFF) {
    return 0;
  }
  return seguito + 1;
}

}  // namespace

bool Utf8Valido(std::string_view testo) {
  for (size_t i = 0; i < testo.size();) {
    const size_t n = Sequenza(testo, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string Utf8Riparato(std::string_view testo) {
  std::string esito;
  esito.reserve(testo.size());
  for (size_t i = 0; i < testo.size();) {
    if (const size_t n = Sequenza(testo, i)) {
      esito.append(testo, i, n);
      i += n;
    } else {
      esito += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return esito;
}

void AggiungiUtf8(std::string& testo, char32_t codice) {
  if (codice < 0x80) {
    testo.push_back(static_cast<char>(codice));
  } else if (codice < 0x800) {
    testo.push_back(static_cast<char>(0xC0 | (codice >> 6)));
    testo.push_back(static_cast<char>(0x80 | (codice & 0x3F)));
  } else if (codice < 0x10000) {
    testo.push_back(static_cast<char>(0xE0 | (codice >> 12)));
    testo.push_back(static_cast<char>(0x80 | ((codice >> 6) & 0x3F)));
    testo.push_back(static_cast<char>(0x80 | (codice & 0x3F)));
  } else {
    testo.push_back(static_cast<char>(0xF0 | (codice >> 18)));
    testo.push_back(static_cast<char>(0x80 | ((codice >> 12) & 0x3F)));
    testo.push_back(static_cast<char>(0x80 | ((codice >> 6) & 0x3F)));
    testo.push_back(static_cast<char>(0x80 | (codice & 0x3F)));
  }
}

std::string Da1252(std::string_view testo) {
  static constexpr char16_t k80[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string risultato;
  risultato.reserve(testo.size() * 2);
  for (char ch : testo) {
    const auto c = static_cast<unsigned char>(ch);
    AggiungiUtf8(risultato, c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : c);
  }
  return risultato;
}

std::string_view PrimiCaratteri(std::string_view testo, size_t massimo) {
  size_t caratteri = 0;
  for (size_t i = 0; i < testo.size(); ++i) {
    if ((static_cast<unsigned char>(testo[i]) & 0xC0) == 0x80) continue;
    if (caratteri++ == massimo) return testo.substr(0, i);
  }
  return testo;
}

std::string InMinuscolo(std::string_view testo) {
  std::string esito(testo);
  for (char& c : esito) c = Minuscola(c);
  return esito;
}

std::string InMaiuscolo(std::string_view testo) {
  std::string esito(testo);
  for (char& c : esito) c = Maiuscola(c);
  return esito;
}

bool UgualeNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Minuscola(a[i]) != Minuscola(b[i])) return false;
  }
  return true;
}

std::string_view SenzaSpazi(std::string_view testo, std::string_view spazi) {
  const size_t inizio = testo.find_first_not_of(spazi);
  if (inizio == std::string_view::npos) return {};
  return testo.substr(inizio, testo.find_last_not_of(spazi) - inizio + 1);
}

std::string Quota(std::string_view testo) {
  std::string s;
  s.reserve(testo.size() + 2);
  Quota(testo, s);
  return s;
}

void Quota(std::string_view testo, std::string& destinazione) {
  destinazione += '\'';
  for (char c : testo) {
    if (c == '\'') destinazione += '\'';
    destinazione += c;
  }
  destinazione += '\'';
}

std::string QuotaNome(std::string_view nome) {
  std::string s = "\"";
  for (char c : nome) {
    if (c == '"') s += '"';
    s += c;
  }
  return s + "\"";
}

}  // namespace vendrix
