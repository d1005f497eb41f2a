#ifndef VENDRIX_CALC_GIORNI_H_
#define VENDRIX_CALC_GIORNI_H_

// Day numbers: a calendar date as a count of days, so that the day walk of a stay steps over
// whole numbers instead of re-reading texts. Display dates and date keys convert to and from it.

#include <string>
#include <string_view>

namespace vendrix {

// Day number of a display date "DD/MM/YYYY" (characters 3 and 6 not examined). False when the
// text is not a real calendar date.
bool NumeroGiornoDaData(std::string_view data, long& numero);
// Day number of a date key "YYYYMMDD". False when the text is not eight digits of a real date.
bool NumeroGiornoDaChiave(std::string_view chiave, long& numero);
// As NumeroGiornoDaData, but throws Errore naming the text when it is not a date.
long NumeroGiorno(std::string_view data);
// The date key of a day number. Throws Errore outside the years 0001 to 9999.
std::string ChiaveDaNumeroGiorno(long numero);

}  // namespace vendrix

#endif  // VENDRIX_CALC_GIORNI_H_
