#ifndef VENDRIX_COMUNE_INTERFACCIA_H_
#define VENDRIX_COMUNE_INTERFACCIA_H_

#include <string>

namespace vendrix {

// What a run may ask of whoever started it: the window or the headless command. It is the only
// way the calculation and report runs reach the user; what the user asked travels in a
// Richiesta.
class Interfaccia {
 public:
  virtual ~Interfaccia() = default;

  // Sets the status line and shows it at once.
  virtual void ImpostaStato(const std::string& testo) = 0;
  // A modal message with a single OK button; returns when the user has closed it.
  virtual void MsgBox(const std::string& testo, const std::string& titolo) = 0;
};

}  // namespace vendrix

#endif  // VENDRIX_COMUNE_INTERFACCIA_H_
