#ifndef VENDRIX_DATA_NUMERI_H_
#define VENDRIX_DATA_NUMERI_H_

// Reading numbers out of texts, shared by the values, the criteria and the row store.

#include <string_view>

namespace vendrix::numeri {

// Reads the whole text (blanks at either end allowed) as a decimal number: optional sign,
// digits with an optional decimal point, optional exponent. False when anything else is there.
bool LeggiNumero(std::string_view testo, double& numero);

}  // namespace vendrix::numeri

#endif  // VENDRIX_DATA_NUMERI_H_
