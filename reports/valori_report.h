#ifndef VENDRIX_REPORTS_VALORI_REPORT_H_
#define VENDRIX_REPORTS_VALORI_REPORT_H_

// The value rules of the report sheets: amounts rounded to the cent, percentage texts,
// two-decimal texts and the agency-group test. Every figure is worked out exactly in decimal and
// rounded half away from zero, so 100.05 / 2 gives 50.03 and 0.3 x 33.33 gives 10.00.

#include <cstdint>
#include <string>

#include "data/valore.h"

namespace vendrix {

// The percentage text of a row without sales, and of a row whose base is 0.
inline constexpr const char* kPercentualeZero = "0 %";

// importo x quota / base rounded to the cent. Throws Errore when base is 0 or the result does not
// fit a Currency value.
Valuta ImportoProporzionale(Valuta importo, int64_t quota, int64_t base);

// importo / divisore rounded to the cent ("rounded amount"). Throws like ImportoProporzionale.
inline Valuta ImportoArrotondato(Valuta importo, int64_t divisore) {
  return ImportoProporzionale(importo, 1, divisore);
}

// importo / base rounded to the cent; 0 when base is 0.
inline Valuta ImportoDiviso(Valuta importo, int64_t base) {
  return base == 0 ? Valuta{} : ImportoArrotondato(importo, base);
}

// parte / base; 0 when base is 0.
inline double Frazione(int64_t parte, int64_t base) {
  return base == 0 ? 0.0 : static_cast<double>(parte) / static_cast<double>(base);
}

// 100 x parte / base with two decimals followed directly by "%": 6 over 7 gives "85.71%".
// kPercentualeZero when base is 0.
std::string TestoPercentuale(int64_t parte, int64_t base);

// The amount with exactly two decimals: "10.00".
std::string TestoDueDecimali(Valuta importo);

// True when the agency of a statistics group sorts after a single space in plain code order:
// Null, an empty text and a single space are no agency; any other text is one.
bool EGruppoAgenzia(const Valore& agenzia);

}  // namespace vendrix

#endif  // VENDRIX_REPORTS_VALORI_REPORT_H_
