#ifndef VENDRIX_CALC_DATE_H_
#define VENDRIX_CALC_DATE_H_

// Conversions between display dates "DD/MM/YYYY" and date keys "YYYYMMDD", and day arithmetic on
// display dates.

#include <string>
#include <string_view>

namespace vendrix {

// Display date to date key, by character position, without any check.
std::string DataAMG(std::string_view data);
// Date key to display date, by character position, without any check.
std::string DataGMA(std::string_view chiave);
// The calendar day after a display date, as a display date. Throws Errore when the text is not a
// date.
std::string GiornoSuccessivo(std::string_view data);
// Calendar days from display date a to display date b (negative when b lies before a). Throws
// Errore when either text is not a date.
long DifferenzaGiorni(std::string_view a, std::string_view b);
// True when the text is a date key of a real calendar date: eight digits, valid month and day.
bool ChiaveDataValida(std::string_view chiave);

}  // namespace vendrix

#endif  // VENDRIX_CALC_DATE_H_
