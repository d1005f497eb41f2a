#ifndef VENDRIX_CALC_PASSI_IN_PARALLELO_H_
#define VENDRIX_CALC_PASSI_IN_PARALLELO_H_

// Passes on a thread of their own. Reading stays and charge lines and working out rows is most of
// a calculation run; a thread started here only does that, for the passes it is given, one after
// the other. It hands their rows and progress texts over, in the order it makes them, to the
// run's own thread, which alone stores rows and writes the status line. So the table, the status
// line and any error come out exactly as if the passes ran on the run's own thread: a run that
// takes the rows of its threads in the order of the passes writes the table those passes write.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "calc/contesto.h"

namespace vendrix {

class PassiInParallelo {
 public:
  // What the thread runs: passes that send their rows to `ambito.destino`.
  using Lavoro = std::function<void(AmbitoPasso& ambito)>;

  // Starts the thread. It opens lookups of its own, then runs `lavoro`. Throws Errore when no
  // thread can be started.
  PassiInParallelo(DBEngine& motore, const Periodo& periodo, Lavoro lavoro);
  // Stops the thread if it still works, and waits for it.
  ~PassiInParallelo();
  PassiInParallelo(const PassiInParallelo&) = delete;
  PassiInParallelo& operator=(const PassiInParallelo&) = delete;

  // On the calling thread: stores the rows of the passes in `contesto` and writes their progress
  // texts on its status line, as they come, up to the last. Returns the stays the passes
  // skipped. An error the passes met is thrown here, after the rows and texts made before it.
  int64_t Scrivi(ContestoCalcolo& contesto);

 private:
  // One thing a pass made, in the order it made them: a progress text, the descriptive values of
  // the rows that follow, or a row.
  using Evento = std::variant<std::string, std::shared_ptr<const ValoriRiga>, RigaCalcolata>;
  using Lotto = std::vector<Evento>;
  class Consegna;  // the passes' destination on the thread
  struct Interrotto {};

  void Lavora(DBEngine& motore);
  // Hands a batch over; waits while too many wait. Throws Interrotto once stopped.
  void Consegna_(Lotto& lotto);

  const Periodo periodo_;
  const Lavoro lavoro_;

  std::mutex mutex_;
  std::condition_variable cambiato_;
  std::deque<Lotto> coda_;
  bool finito_ = false;  // the thread has handed over everything it will
  bool fermo_ = false;   // the run's thread wants no more
  std::exception_ptr errore_;
  int64_t ignorati_ = 0;

  std::thread filo_;  // last: it starts once everything above is in place
};

}  // namespace vendrix

#endif  // VENDRIX_CALC_PASSI_IN_PARALLELO_H_
