#ifndef VENDRIX_DATA_ERRORE_H_
#define VENDRIX_DATA_ERRORE_H_

#include <stdexcept>
#include <string>

namespace vendrix {

// The one error type of the program. Its message is Italian, meant for the user, and names the
// operation and the file, table, field or SQL text at fault. Thrown by the libraries, caught once
// per run by whoever started it (window: message box; headless command: stderr and exit code).
class Errore : public std::runtime_error {
 public:
  explicit Errore(const std::string& messaggio) : std::runtime_error(messaggio) {}
};

}  // namespace vendrix

#endif  // VENDRIX_DATA_ERRORE_H_
