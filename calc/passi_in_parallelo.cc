#include "calc/passi_in_parallelo.h"

#include <system_error>
#include <utility>

#include "data/errore.h"

namespace vendrix {

namespace {

// Events per batch: enough that handing over costs little, few enough that rows flow early.
constexpr size_t kEventiPerLotto = 512;
// Batches that may wait: a thread runs well ahead of the run's own thread (a year of a large
// hotel) while that one stores the rows of an earlier pass, then waits; memory stays bounded.
constexpr size_t kLottiInAttesa = 1024;

}  // namespace

// The destination of the passes on the thread: events go into batches, batches into the queue.
class PassiInParallelo::Consegna : public DestinoRighe {
 public:
  explicit Consegna(PassiInParallelo& padrone) : padrone_(padrone) {
    lotto_.reserve(kEventiPerLotto);
  }

  void Stato(std::string_view testo) override { Aggiungi(std::string(testo)); }

  void Riga(const RigaCalcolata& riga, const ValoriRiga& valori) override {
    // The values are the same on every row of a stay: they travel once per change.
    if (!ultimi_ || !(*ultimi_ == valori)) {
      ultimi_ = std::make_shared<const ValoriRiga>(valori);
      Aggiungi(ultimi_);
    }
    Aggiungi(riga);
  }

  // Hands over what is left in the current batch.
  void Svuota() {
    if (!lotto_.empty()) padrone_.Consegna_(lotto_);
  }

 private:
  void Aggiungi(Evento evento) {
    if (lotto_.size() == kEventiPerLotto) Svuota();
    lotto_.push_back(std::move(evento));
  }

  PassiInParallelo& padrone_;
  Lotto lotto_;
  std::shared_ptr<const ValoriRiga> ultimi_;
};

PassiInParallelo::PassiInParallelo(DBEngine& motore, const Periodo& periodo, Lavoro lavoro)
    : periodo_(periodo), lavoro_(std::move(lavoro)) {
  try {
    filo_ = std::thread([this, &motore] { Lavora(motore); });
  } catch (const std::system_error&) {
    throw Errore(
        "Impossibile avviare il calcolo: risorse del sistema esaurite. Chiudere altri programmi "
        "e ripetere il calcolo.");
  }
}

PassiInParallelo::~PassiInParallelo() {
  {
    std::lock_guard<std::mutex> blocco(mutex_);
    fermo_ = true;
  }
  cambiato_.notify_all();
  filo_.join();
}

void PassiInParallelo::Consegna_(Lotto& lotto) {
  std::unique_lock<std::mutex> blocco(mutex_);
  cambiato_.wait(blocco, [&] { return fermo_ || coda_.size() < kLottiInAttesa; });
  if (fermo_) throw Interrotto{};
  coda_.push_back(std::move(lotto));
  blocco.unlock();
  cambiato_.notify_all();
  lotto = Lotto();
  lotto.reserve(kEventiPerLotto);
}

void PassiInParallelo::Lavora(DBEngine& motore) {
  Consegna consegna(*this);
  std::exception_ptr errore;
  int64_t ignorati = 0;
  try {
    Consultazioni consultazioni(motore);
    AmbitoPasso ambito{motore, periodo_, consultazioni, consegna};
    lavoro_(ambito);
    consultazioni.Chiudi();
    ignorati = ambito.soggiorni_ignorati;
  } catch (const Interrotto&) {
    return;  // the run ends without these rows; nobody waits for them
  } catch (...) {
    errore = std::current_exception();
  }
  try {
    consegna.Svuota();
  } catch (const Interrotto&) {
    return;
  } catch (...) {
    if (!errore) errore = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> blocco(mutex_);
    finito_ = true;
    errore_ = errore;
    ignorati_ = ignorati;
  }
  cambiato_.notify_all();
}

int64_t PassiInParallelo::Scrivi(ContestoCalcolo& contesto) {
  std::shared_ptr<const ValoriRiga> valori;
  while (true) {
    Lotto lotto;
    {
      std::unique_lock<std::mutex> blocco(mutex_);
      cambiato_.wait(blocco, [&] { return !coda_.empty() || finito_; });
      if (coda_.empty()) break;  // finished, and everything is stored
      lotto = std::move(coda_.front());
      coda_.pop_front();
    }
    cambiato_.notify_all();
    for (const Evento& e : lotto) {
      if (const auto* riga = std::get_if<RigaCalcolata>(&e)) {
        ScriviRiga(contesto, *riga, *valori);
      } else if (const auto* nuovi = std::get_if<std::shared_ptr<const ValoriRiga>>(&e)) {
        valori = *nuovi;
      } else {
        contesto.linea.Imposta(std::get<std::string>(e));
      }
    }
  }
  std::lock_guard<std::mutex> blocco(mutex_);
  if (errore_) std::rethrow_exception(errore_);
  return ignorati_;
}

}  // namespace vendrix
