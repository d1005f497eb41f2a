#ifndef VENDRIX_TESTS_SUPPORT_COMANDO_H_
#define VENDRIX_TESTS_SUPPORT_COMANDO_H_

// Test-only: running the program's commands as a user would, with their output caught.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vendrix::prova {

struct Esito {
  int codice = -1;  // exit code, -1 when the command did not exit normally
  std::string out, err;
};

// The whole content of a file, empty when it cannot be read.
std::string LeggiFile(const std::filesystem::path& percorso);

// A word for /bin/sh, quoted so that blanks and apostrophes pass unchanged.
std::string QuotaShell(const std::string& testo);

// Runs a shell command in `cartella`, stdin closed, with its output caught.
Esito Shell(const std::filesystem::path& cartella, const std::string& comando);

// Runs vendrix-batch (from VENDRIX_APP_DIR) in `cartella` with `argomenti`, stdin closed.
Esito EseguiBatch(const std::filesystem::path& cartella, const std::vector<std::string>& argomenti);

// Starts vendrix-batch (from VENDRIX_APP_DIR) in `cartella` with `argomenti` without waiting for
// it, its output thrown away. Returns the child's pid.
pid_t AvviaBatch(const std::filesystem::path& cartella, const std::vector<std::string>& argomenti);

// Waits for the child `pid` and sends it `segnale` once `pronto` holds. `pronto` is asked again
// with the child stopped, so that the signal comes while it holds however late the caller is
// scheduled. Returns the wait status, or -1 when the child ended before.
int InterrompiQuando(pid_t pid, int segnale, const std::function<bool()>& pronto);

}  // namespace vendrix::prova

#endif  // VENDRIX_TESTS_SUPPORT_COMANDO_H_
