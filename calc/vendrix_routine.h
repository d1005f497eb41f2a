#ifndef VENDRIX_CALC_VENDRIX_ROUTINE_H_
#define VENDRIX_CALC_VENDRIX_ROUTINE_H_

// The module of plain routines shared by the window, the runs and the headless command: the two
// module values and the date entry routines.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vendrix {

// Month lengths, indexed 1 to 12 (index 0 unused). ControllaData rewrites February.
extern std::array<int16_t, 13> GiorniMese;
// The hotel whose statistics rows are written.
extern int16_t HotelCorrente;

// Sets the module values as the window does when it loads: the month lengths and hotel 1.
void CaricaModulo();

// Numeric value of a text: blanks, tabs and line feeds ignored wherever they stand, then an
// optional sign, digits with at most one decimal point and an optional exponent, read as far as
// they form a number; 0 when the text does not start with a number. Throws Errore when the
// number is too large for a double (1E400).
double ValoreNumerico(std::string_view testo);

// Upper-cases the text and drops apostrophes; an empty result becomes a single space.
std::string FiltraTesto(std::string_view testo);
// DDMMYY and DDMMYYYY become "DD/MM/YYYY"; any other length is returned unchanged.
std::string EspandiData(std::string_view testo);
// 1 when the text is a valid date "DD/MM/YYYY" (separators not examined), else 0. Rewrites
// February in GiorniMese for the year under test.
int16_t ControllaData(std::string_view testo);
// 1 when the year is divisible by 4 (no century exception), else 0.
int16_t AnnoBisestile(int16_t anno);
// 1 when the from-date is not later than the to-date, else 0. Both texts already valid.
int16_t ControllaPeriodo(std::string_view dal, std::string_view al);

}  // namespace vendrix

#endif  // VENDRIX_CALC_VENDRIX_ROUTINE_H_
