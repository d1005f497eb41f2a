#include "data/numeri.h"

#include <charconv>
#include <cstdint>

#include "comune/testo.h"

namespace vendrix::numeri {

bool LeggiNumero(std::string_view testo, double& numero) {
  std::string_view t = SenzaSpazi(testo);
  bool negativo = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negativo = t[0] == '-';
    t.remove_prefix(1);
  }
  // from_chars would also take "inf", "nan" and hexadecimal forms: only digits and a point may
  // open the number.
  if (t.empty() || !((t[0] >= '0' && t[0] <= '9') || t[0] == '.')) return false;
  // Plain digits, the usual case (codes, date keys), are read exactly without the general reader.
  if (t.size() <= 15) {
    int64_t intero = 0;
    size_t i = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') intero = intero * 10 + (t[i++] - '0');
    if (i == t.size()) {
      const double x = static_cast<double>(intero);
      numero = negativo ? -x : x;
      return true;
    }
  }
  double x = 0;
  auto [fine, ec] = std::from_chars(t.data(), t.data() + t.size(), x, std::chars_format::general);
  if (ec != std::errc() || fine != t.data() + t.size()) return false;
  numero = negativo ? -x : x;
  return true;
}

}  // namespace vendrix::numeri
