#include "tests/support/comando.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

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

pid_t AvviaBatch(const fs::path& cartella, const std::vector<std::string>& argomenti) {
  std::vector<std::string> parole = {std::string(VENDRIX_APP_DIR) + "/vendrix-batch"};
  parole.insert(parole.end(), argomenti.begin(), argomenti.end());
  std::vector<char*> argv;
  for (std::string& p : parole) argv.push_back(p.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cartella.c_str()) != 0) _exit(127);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

int InterrompiQuando(pid_t pid, int segnale, const std::function<bool()>& pronto) {
  int stato = 0;
  while (waitpid(pid, &stato, WNOHANG) == 0) {
    if (pronto()) {
      kill(pid, SIGSTOP);
      if (waitpid(pid, &stato, WUNTRACED) != pid || !WIFSTOPPED(stato)) return -1;
      const bool ancora = pronto();
      if (ancora) kill(pid, segnale);
      kill(pid, SIGCONT);
      if (ancora) {
        waitpid(pid, &stato, 0);
        return stato;
      }
    }
    std::this_thread::yield();
  }
  return -1;
}

}  // namespace vendrix::prova
