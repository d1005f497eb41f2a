#ifndef VENDRIX_CALC_INTERFACCIA_H_
#define VENDRIX_CALC_INTERFACCIA_H_

#include <string>

namespace vendrix {

// What a run may ask of whoever started it: the window or the headless command. It is the only
// way the calculation and report runs reach the user.
class Interfaccia {
 public:
  virtual ~Interfaccia() = default;

  // Value of check box Chk(indice), 0 to 2: 1 checked, 0 not.
  virtual int Chk(int indice) const = 0;
  // Text of date box Text1(indice), 0 (from-date) or 1 (to-date), as it stands.
  virtual std::string Text1(int indice) const = 0;
  // Sets the status line Label1(2) and shows it at once.
  virtual void ImpostaStato(const std::string& testo) = 0;
  // A modal message with a single OK button; returns when the user has closed it.
  virtual void MsgBox(const std::string& testo, const std::string& titolo) = 0;
};

}  // namespace vendrix

#endif  // VENDRIX_CALC_INTERFACCIA_H_
