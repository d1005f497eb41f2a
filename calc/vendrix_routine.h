#ifndef VENDRIX_CALC_VENDRIX_ROUTINE_H_
#define VENDRIX_CALC_VENDRIX_ROUTINE_H_

// The module of plain routines shared by the window, the runs and the headless command: the
// hotel number. Dates follow the rule of comune/date.h.

#include <cstdint>

namespace vendrix {

// The hotel whose statistics rows are written.
extern int16_t HotelCorrente;

// Sets the module value as the window does when it loads: hotel 1.
void CaricaModulo();

}  // namespace vendrix

#endif  // VENDRIX_CALC_VENDRIX_ROUTINE_H_
