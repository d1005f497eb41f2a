#ifndef VENDRIX_BENCH_IN_FIGLIO_H_
#define VENDRIX_BENCH_IN_FIGLIO_H_

// Measuring a piece of work in a child process of its own, so that its peak resident memory and
// its CPU time are its own and not those of the benchmark that went before it; and the silent
// interface the runs measured report to.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "comune/interfaccia.h"

namespace vendrix::bench {

struct Misura {
  double secondi = 0;    // wall time of the work, in the child
  double cpu = 0;        // user + system time of the child, every thread of it
  double picco_mb = 0;   // peak resident memory of the child
  long long valore = 0;  // a count the work reports back
  bool riuscita = false;
  std::string errore;  // when not riuscita: what the work threw, or that the child died
};

// Runs `lavoro` in a forked child: its wall time and the count it returns come back through a
// pipe, its CPU time and peak resident memory from wait4. An exception of `lavoro` is reported in
// `errore`, not thrown.
inline Misura InFiglio(const std::function<long long()>& lavoro) {
  int tubo[2];
  if (pipe(tubo) != 0) throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    close(tubo[0]);
    std::string esito;
    try {
      const auto t0 = std::chrono::steady_clock::now();
      const long long n = lavoro();
      const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      esito = "ok " + std::to_string(s) + " " + std::to_string(n);
    } catch (const std::exception& e) {
      esito = std::string("errore ") + e.what();
    }
    (void)!write(tubo[1], esito.data(), esito.size());
    close(tubo[1]);
    _exit(0);
  }
  close(tubo[1]);
  std::string esito;
  char buf[4096];
  ssize_t letti;
  while ((letti = read(tubo[0], buf, sizeof buf)) > 0) esito.append(buf, letti);
  close(tubo[0]);
  int stato = 0;
  rusage uso{};
  wait4(pid, &stato, 0, &uso);
  Misura m;
  m.picco_mb = uso.ru_maxrss / 1024.0;
  m.cpu = uso.ru_utime.tv_sec + uso.ru_utime.tv_usec / 1e6 + uso.ru_stime.tv_sec +
          uso.ru_stime.tv_usec / 1e6;
  std::istringstream in(esito);
  std::string parola;
  in >> parola;
  if (parola == "ok") {
    in >> m.secondi >> m.valore;
    m.riuscita = true;
  } else {
    m.errore = esito.empty() ? "processo terminato senza esito" : esito;
  }
  return m;
}

// The best, by wall time, of `ripetizioni` runs of `lavoro`, each in a child of its own; the
// first run that fails when one does.
inline Misura Migliore(int ripetizioni, const std::function<long long()>& lavoro) {
  Misura migliore;
  for (int i = 0; i < ripetizioni; ++i) {
    const Misura m = InFiglio(lavoro);
    if (!m.riuscita) return m;
    if (!migliore.riuscita || m.secondi < migliore.secondi) migliore = m;
  }
  return migliore;
}

// Runs no window: status lines and messages are swallowed.
class Muta : public Interfaccia {
 public:
  void ImpostaStato(const std::string&) override {}
  void MsgBox(const std::string&, const std::string&) override {}
};

}  // namespace vendrix::bench

#endif  // VENDRIX_BENCH_IN_FIGLIO_H_
