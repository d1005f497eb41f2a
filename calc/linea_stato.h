#ifndef VENDRIX_CALC_LINEA_STATO_H_
#define VENDRIX_CALC_LINEA_STATO_H_

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "comune/interfaccia.h"

namespace vendrix {

// The status line as a run writes it: every progress text is taken, but the user interface is
// asked to show one at most once per interval, since a repaint per stay would cost more than the
// stay itself. Fine() shows the last text taken, so the line always ends on the run's last text;
// call it when the run ends, whether it succeeded or not.
class LineaStato {
 public:
  using Orologio = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::milliseconds kIntervallo{50};

  explicit LineaStato(Interfaccia& ui, std::chrono::milliseconds intervallo = kIntervallo,
                      Orologio orologio = &std::chrono::steady_clock::now);

  // Takes a progress text; shows it at once when the last one shown is older than the interval.
  void Imposta(std::string_view testo);
  // Shows the last text taken, unless it is already the one on show.
  void Fine();
  // The last text taken (empty before the first).
  const std::string& Testo() const { return testo_; }

 private:
  Interfaccia& ui_;
  std::chrono::milliseconds intervallo_;
  Orologio orologio_;
  std::string testo_;
  bool in_attesa_ = false;  // testo_ has not been shown yet
  bool mostrato_ = false;   // something has been shown
  std::chrono::steady_clock::time_point ultimo_{};
};

}  // namespace vendrix

#endif  // VENDRIX_CALC_LINEA_STATO_H_
