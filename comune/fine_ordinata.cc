#include "comune/fine_ordinata.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <thread>
#include <utility>
#include <vector>

namespace vendrix {

namespace fs = std::filesystem;

namespace {

struct Registrato {
  fs::path percorso;
  bool con_compagni = false;
};

// What the runs of the process have registered, and the lock of the replacements. The
// registrations and the signals are process-wide by nature: one table for the whole process.
struct Registro {
  std::mutex mutex;                   // guards `voci`
  std::recursive_mutex sostituzione;  // held by SostituzioneInCorso and by the end itself
  std::map<long, Registrato> voci;
  long prossimo = 0;
};

Registro& IlRegistro() {
  static Registro* registro = new Registro;  // never destroyed: the end may run at exit
  return *registro;
}

// The signal handler only writes the signal's number into this pipe; the thread that reads it
// does the work, free of the limits of a handler.
int tubo[2] = {-1, -1};

// Set by the handler before it writes into the pipe: a replacement that has not begun when the
// signal comes never begins, even when the thread that ends the process is slow to run.
std::atomic<bool> segnale_ricevuto{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// How many SostituzioneInCorso the thread holds: only the outermost one may give way.
thread_local int sostituzioni_tenute = 0;

void AlSegnale(int numero) {
  const int salvato = errno;
  segnale_ricevuto.store(true);
  const unsigned char byte = static_cast<unsigned char>(numero);
  [[maybe_unused]] const ssize_t scritti = ::write(tubo[1], &byte, 1);
  errno = salvato;
}

[[noreturn]] void Termina(int numero, const std::string& avviso) {
  Registro& registro = IlRegistro();
  // Held until the process ends: no replacement starts after this point, and one under way
  // has finished.
  registro.sostituzione.lock();
  std::vector<Registrato> voci;
  {
    std::lock_guard<std::mutex> blocco(registro.mutex);
    for (const auto& [n, voce] : registro.voci) voci.push_back(voce);
  }
  for (const Registrato& voce : voci) RimuoviTemporaneo(voce.percorso, voce.con_compagni);
  if (!avviso.empty()) {
    const std::string riga = "\n" + avviso + "\n";
    [[maybe_unused]] const ssize_t scritti = ::write(STDERR_FILENO, riga.data(), riga.size());
  }
  ::_exit(128 + numero);
}

}  // namespace

void InstallaFineOrdinata(const std::string& avviso) {
  static std::atomic<bool> installata{false};
  if (installata.exchange(true)) return;
  if (::pipe2(tubo, O_CLOEXEC) != 0) return;
  std::thread([avviso] {
    for (;;) {
      unsigned char byte = 0;
      const ssize_t letti = ::read(tubo[0], &byte, 1);
      if (letti == 1) Termina(byte, avviso);
      if (letti < 0 && errno == EINTR) continue;
      return;
    }
  }).detach();
  struct sigaction azione {};
  azione.sa_handler = AlSegnale;
  sigemptyset(&azione.sa_mask);
  azione.sa_flags = SA_RESTART;
  sigaction(SIGINT, &azione, nullptr);
  sigaction(SIGTERM, &azione, nullptr);
}

DaRimuovereAllaFine::DaRimuovereAllaFine(fs::path percorso, bool con_compagni) {
  Registro& registro = IlRegistro();
  std::lock_guard<std::mutex> blocco(registro.mutex);
  numero_ = registro.prossimo++;
  registro.voci.emplace(numero_, Registrato{std::move(percorso), con_compagni});
}

DaRimuovereAllaFine::~DaRimuovereAllaFine() {
  Registro& registro = IlRegistro();
  std::lock_guard<std::mutex> blocco(registro.mutex);
  registro.voci.erase(numero_);
}

SostituzioneInCorso::SostituzioneInCorso() {
  Registro& registro = IlRegistro();
  registro.sostituzione.lock();
  if (sostituzioni_tenute == 0 && segnale_ricevuto.load()) {
    // The end is on its way and waits for this lock: it is given back, and this thread waits
    // for the process to end.
    registro.sostituzione.unlock();
    for (;;) ::pause();
  }
  ++sostituzioni_tenute;
}

SostituzioneInCorso::~SostituzioneInCorso() {
  --sostituzioni_tenute;
  IlRegistro().sostituzione.unlock();
}

void RimuoviTemporaneo(const fs::path& percorso, bool con_compagni) noexcept {
  std::error_code errore;
  if (fs::is_directory(fs::symlink_status(percorso, errore))) {
    fs::path via = percorso;
    via += ".via";
    fs::rename(percorso, via, errore);
    fs::remove_all(errore ? percorso : via, errore);
    return;
  }
  fs::remove(percorso, errore);
  if (!con_compagni) return;
  const std::string inizio = percorso.filename().string();
  std::vector<fs::path> compagni;
  for (fs::directory_iterator it(percorso.parent_path(), errore), fine; !errore && it != fine;
       it.increment(errore)) {
    if (it->path().filename().string().starts_with(inizio)) compagni.push_back(it->path());
  }
  for (const fs::path& compagno : compagni) fs::remove(compagno, errore);
}

}  // namespace vendrix
