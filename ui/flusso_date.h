#ifndef VENDRIX_UI_FLUSSO_DATE_H_
#define VENDRIX_UI_FLUSSO_DATE_H_

// What the window does with the Enter key in a date box, as plain functions over the one date
// rule of comune/date.h. The window only copies the results into its widgets.

#include <string>
#include <string_view>

namespace vendrix {

// Where the focus goes after Enter in a date box.
enum class Fuoco { kResta, kDataAl, kCalcola };

struct EsitoInvio {
  std::string testo;  // the cleaned and expanded text the box shows from now on
  Fuoco fuoco = Fuoco::kResta;
};

// Enter in the from-date box: the text is cleaned and expanded; the focus moves to the to-date
// when it is a valid date.
EsitoInvio InvioDataDal(std::string_view testo);

// Enter in the to-date box holding `testo_al`, with `testo_dal` in the from-date box as it
// stands: the to-date is cleaned and expanded; the focus moves to "&Calcola" only when both dates
// are valid and the from-date is not later than the to-date.
EsitoInvio InvioDataAl(std::string_view testo_dal, std::string_view testo_al);

}  // namespace vendrix

#endif  // VENDRIX_UI_FLUSSO_DATE_H_
