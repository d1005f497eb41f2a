#include "calc/linea_stato.h"

#include <utility>

namespace vendrix {

LineaStato::LineaStato(Interfaccia& ui, std::chrono::milliseconds intervallo, Orologio orologio)
    : ui_(ui), intervallo_(intervallo), orologio_(std::move(orologio)) {}

void LineaStato::Imposta(std::string_view testo) {
  testo_.assign(testo);
  in_attesa_ = true;
  const auto adesso = orologio_();
  if (!mostrato_ || adesso - ultimo_ >= intervallo_) {
    ui_.ImpostaStato(testo_);
    ultimo_ = adesso;
    mostrato_ = true;
    in_attesa_ = false;
  }
}

void LineaStato::Fine() {
  if (!in_attesa_) return;
  ui_.ImpostaStato(testo_);
  ultimo_ = orologio_();
  mostrato_ = true;
  in_attesa_ = false;
}

}  // namespace vendrix
