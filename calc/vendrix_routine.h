#ifndef VENDRIX_CALC_VENDRIX_ROUTINE_H_
#define VENDRIX_CALC_VENDRIX_ROUTINE_H_

// The module of plain routines shared by the window, the runs and the headless command: the
// hotel number and the numeric value of a text. Dates follow the rule of comune/date.h.

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrix {

// The hotel whose statistics rows are written.
extern int16_t HotelCorrente;

// Sets the module value as the window does when it loads: hotel 1.
void CaricaModulo();

// Numeric value of a text: blanks, tabs and line feeds ignored wherever they stand, then an
// optional sign, digits with at most one decimal point and an optional exponent, read as far as
// they form a number; 0 when the text does not start with a number. Throws Errore when the
// number is too large for a double (1E400).
double ValoreNumerico(std::string_view testo);

}  // namespace vendrix

#endif  // VENDRIX_CALC_VENDRIX_ROUTINE_H_
