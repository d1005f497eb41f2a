#include "tests/support/comando.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace vendrix::prova {

namespace fs = std::filesystem;

std::string QuotaShell(const std::string& testo) {
  std::string q = "'";
  for (char c : testo) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string LeggiFile(const fs::path& percorso) {
  std::ifstream f(percorso, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

Esito Shell(const fs::path& cartella, const std::string& comando) {
  const fs::path out = cartella / "comando.out", err = cartella / "comando.err";
  const std::string completo = "cd " + QuotaShell(cartella.string()) + " && " + comando + " >" +
                               QuotaShell(out.string()) + " 2>" + QuotaShell(err.string()) +
                               " </dev/null";
  const int stato = std::system(completo.c_str());
  Esito esito;
  esito.codice = WIFEXITED(stato) ? WEXITSTATUS(stato) : -1;
  esito.out = LeggiFile(out);
  esito.err = LeggiFile(err);
  fs::remove(out);
  fs::remove(err);
  return esito;
}

Esito EseguiBatch(const fs::path& cartella, const std::vector<std::string>& argomenti) {
  std::string comando = QuotaShell(std::string(VENDRIX_APP_DIR) + "/vendrix-batch");
  for (const std::string& a : argomenti) comando += " " + QuotaShell(a);
  return Shell(cartella, comando);
}

}  // namespace vendrix::prova
