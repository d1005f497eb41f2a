#ifndef VENDRIX_COMUNE_DATE_H_
#define VENDRIX_COMUNE_DATE_H_

// The one date rule of the program. A date is typed as "DD/MM/YYYY", as DDMMYY or DDMMYYYY, or
// with one-digit day and month, a two-digit year and '/', '.' or '-' between the parts; whatever
// the user typed, the window's Enter, its buttons and vendrix-batch read it with these functions,
// so the same text gets the same answer everywhere. Date keys "YYYYMMDD" are the form of the hotel
// files' dates and of the statistics store.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

// A calendar day.
using Giorno = std::chrono::sys_days;

// What a period may be: at most a century, between the first and the last day below. A longer
// one would make a workbook no office computer can open (every day is a row) and a report run
// whose memory grows with it; the calculation takes no longer one either.
inline constexpr int kMassimoAnniPeriodo = 100;
inline constexpr std::chrono::year_month_day kPrimoGiornoPeriodo{
    std::chrono::year(1900), std::chrono::January, std::chrono::day(1)};
inline constexpr std::chrono::year_month_day kUltimoGiornoPeriodo{
    std::chrono::year(2099), std::chrono::December, std::chrono::day(31)};

// The typed text cleaned and expanded, as it is written back into the date box: blanks around it
// and apostrophes dropped, letters in upper case; then DDMMYY (years 00-49 are 2000-2049, 50-99
// are 1950-1999) and DDMMYYYY become "DD/MM/YYYY", and so does D/M/YYYY with one- or two-digit
// day and month and '/', '.' or '-' as the separators (the same one twice), its year of four
// digits or of two by the same rule as DDMMYY (1/7/24 is 01/07/2024). Any other text is
// returned cleaned but not expanded.
std::string PulisciData(std::string_view testo);

// The day a typed text names: PulisciData, then exactly "DD/MM/YYYY" of a real calendar day
// from 01/01/1900 to 31/12/9999. nullopt for anything else, including any non-ASCII character.
std::optional<Giorno> LeggiData(std::string_view testo);

// "DD/MM/YYYY" of a day.
std::string TestoData(Giorno giorno);
// The date key "YYYYMMDD" of a day of the years 0001 to 9999.
std::string ChiaveData(Giorno giorno);
// The day of a date key: exactly eight digits of a real calendar day of the years 0001 to 9999
// (hotel files may hold old dates); nullopt otherwise.
std::optional<Giorno> GiornoDaChiave(std::string_view chiave);

// The same day one year earlier; 29 February gives 28 February.
Giorno UnAnnoPrima(Giorno giorno);

// Yesterday by the local clock: the night that ended this morning.
Giorno IeriLocale();

// The current local time in strftime's `formato` (such as "%d/%m/%Y %H:%M").
std::string OraLocale(const char* formato);

// The message for a text that is not a date, the same in the window and headless.
std::string MessaggioDataNonValida(std::string_view testo);
// The message for a from-date later than the to-date, the same in the window, headless and in
// the runs that refuse it.
std::string MessaggioPeriodoInvertito(Giorno dal, Giorno al);

// Why no run takes the period dal..al: a from-date later than the to-date
// (MessaggioPeriodoInvertito), a date before kPrimoGiornoPeriodo or after kUltimoGiornoPeriodo,
// or more than kMassimoAnniPeriodo years (dal plus that many years is already too late). nullopt
// for a period the runs take. The window, vendrix-batch and the runs themselves all ask this.
std::optional<std::string> RifiutoPeriodo(Giorno dal, Giorno al);

}  // namespace vendrix

#endif  // VENDRIX_COMUNE_DATE_H_
