#include "calc/vendrix_routine.h"

namespace vendrix {

// The value the window sets when it loads; it starts out loaded as well.
int16_t HotelCorrente = 1;

void CaricaModulo() { HotelCorrente = 1; }

}  // namespace vendrix
