#ifndef VENDRIX_DATA_JET_FIGLIO_H_
#define VENDRIX_DATA_JET_FIGLIO_H_

// The reading process of an Access file (vendrix-lettore-jet) as jet.cc starts and watches it:
// where the program is, how it is started, and the two pipes it writes to. Only jet.cc includes
// this file.

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

#include "data/errore.h"
#include "data/jet_lettore.h"

namespace vendrix::jet::figlio {

using namespace detail;

// Bytes of the reading process's own diagnostics kept, and shown in the error message.
constexpr size_t kMaxDiagnostica = 16384;
constexpr size_t kMaxDiagnosticaMostrata = 300;
constexpr const char* kOltreLaFine = "beyond EOF";

// Where the reading program is: named by VENDRIX_LETTORE_JET when set (the tests' build tree),
// otherwise beside the running program, where the programs are installed together.
inline std::string PercorsoLettore() {
  if (const char* scelto = std::getenv("VENDRIX_LETTORE_JET"); scelto != nullptr && *scelto) {
    return scelto;
  }
  char eseguibile[4096];
  ssize_t n = readlink("/proc/self/exe", eseguibile, sizeof eseguibile - 1);
  std::string cartella = n > 0 ? std::string(eseguibile, static_cast<size_t>(n)) : std::string();
  size_t barra = cartella.rfind('/');
  cartella = barra == std::string::npos ? std::string(".") : cartella.substr(0, barra);
  return cartella + "/" + kNomeLettore;
}

// Starts the reading program on `percorso`, writing the copy `copia`, with what it tells on
// `dati` and its own output on `diagnostica`; posix_spawn, unlike a bare fork, is safe in a
// process with other threads. Returns 0, or the errno of the failure.
inline int AvviaLettore(const std::string& lettore, const std::string& percorso,
                        const std::string& copia, size_t memoria, int dati, int diagnostica,
                        pid_t* pid) {
  posix_spawn_file_actions_t azioni;
  posix_spawnattr_t attributi;
  if (posix_spawn_file_actions_init(&azioni) != 0) return ENOMEM;
  if (posix_spawnattr_init(&attributi) != 0) {
    posix_spawn_file_actions_destroy(&azioni);
    return ENOMEM;
  }
  // The pipes are close-on-exec; dup2 gives the child its copies without that flag, and nothing
  // else of this process (descriptors, blocked or ignored signals) reaches the child.
  posix_spawn_file_actions_addopen(&azioni, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&azioni, diagnostica, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&azioni, diagnostica, STDERR_FILENO);
  posix_spawn_file_actions_adddup2(&azioni, dati, kDescrittoreFlusso);
  posix_spawn_file_actions_addclosefrom_np(&azioni, kDescrittoreFlusso + 1);
  sigset_t nessuno, predefiniti;
  sigemptyset(&nessuno);
  sigemptyset(&predefiniti);
  sigaddset(&predefiniti, SIGPIPE);
  posix_spawnattr_setsigmask(&attributi, &nessuno);
  posix_spawnattr_setsigdefault(&attributi, &predefiniti);
  posix_spawnattr_setflags(&attributi, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  const std::string byte = std::to_string(memoria);
  char* argomenti[] = {const_cast<char*>(lettore.c_str()), const_cast<char*>(percorso.c_str()),
                       const_cast<char*>(copia.c_str()), const_cast<char*>(byte.c_str()), nullptr};
  int esito = posix_spawn(pid, lettore.c_str(), &azioni, &attributi, argomenti, environ);
  posix_spawnattr_destroy(&attributi);
  posix_spawn_file_actions_destroy(&azioni);
  return esito;
}

// A failure of the reading process, turned into a message by Importa.
struct LetturaFallita {
  std::string dettaglio;
};

// The reading process and the two pipes it writes to: what it tells of the reading, and its own
// diagnostics (libmdb prints its complaints on stderr). The destructor makes sure it is gone.
class Figlio {
 public:
  // Reads `percorso` into the copy `copia`; `memoria`: bytes the process may take for reading,
  // beyond what it starts with.
  Figlio(const std::string& percorso, const std::string& copia, size_t memoria,
         int secondi_senza_dati)
      : secondi_senza_dati_(secondi_senza_dati) {
    int dati[2];
    int diagnostica[2];
    if (pipe2(dati, O_CLOEXEC) != 0) throw LetturaFallita{"impossibile avviare la lettura"};
    if (pipe2(diagnostica, O_CLOEXEC) != 0) {
      close(dati[0]);
      close(dati[1]);
      throw LetturaFallita{"impossibile avviare la lettura"};
    }
    // Above the child's fixed descriptors, so that setting up one never overwrites another.
    for (int* fd : {&dati[1], &diagnostica[1]}) {
      if (*fd > kDescrittoreFlusso) continue;
      int sopra = fcntl(*fd, F_DUPFD_CLOEXEC, kDescrittoreFlusso + 1);
      if (sopra >= 0) {
        close(*fd);
        *fd = sopra;
      }
    }
    const std::string lettore = PercorsoLettore();
    int avvio = AvviaLettore(lettore, percorso, copia, memoria, dati[1], diagnostica[1], &pid_);
    close(dati[1]);
    close(diagnostica[1]);
    dati_ = dati[0];
    diagnostica_ = diagnostica[0];
    if (avvio != 0) {
      pid_ = -1;
      Chiudi();
      if (avvio == ENOENT || avvio == EACCES || avvio == ENOEXEC) {
        throw Errore("Impossibile leggere il file Access '" + percorso + "': il programma " +
                     kNomeLettore + " non è stato trovato o non si può avviare (cercato in '" +
                     lettore + "'). Reinstallare Vendrix.");
      }
      throw LetturaFallita{"impossibile avviare la lettura"};
    }
    fcntl(dati_, F_SETFL, fcntl(dati_, F_GETFL) | O_NONBLOCK);
    fcntl(diagnostica_, F_SETFL, fcntl(diagnostica_, F_GETFL) | O_NONBLOCK);
  }

  ~Figlio() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Attendi();
    }
    Chiudi();
  }

  Figlio(const Figlio&) = delete;
  Figlio& operator=(const Figlio&) = delete;

  // Reads up to n bytes of what the process tells, waiting for them; 0 once it has done.
  size_t Leggi(char* dst, size_t n) {
    auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(secondi_senza_dati_);
    for (;;) {
      ssize_t letti = read(dati_, dst, n);
      if (letti >= 0) return static_cast<size_t>(letti);
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        throw LetturaFallita{"la lettura del flusso dei dati è fallita"};
      }
      auto resto = std::chrono::duration_cast<std::chrono::milliseconds>(
          limite - std::chrono::steady_clock::now());
      if (resto.count() <= 0) {
        throw LetturaFallita{"la lettura non procede da " + std::to_string(secondi_senza_dati_) +
                             " secondi"};
      }
      pollfd attese[2] = {{dati_, POLLIN, 0}, {diagnostica_, POLLIN, 0}};
      int quante = diagnostica_ >= 0 ? 2 : 1;
      if (poll(attese, static_cast<nfds_t>(quante), static_cast<int>(resto.count())) < 0 &&
          errno != EINTR) {
        throw LetturaFallita{"la lettura del flusso dei dati è fallita"};
      }
      if (quante == 2 && attese[1].revents != 0) LeggiDiagnostica();
    }
  }

  // What the process printed, on one line, for the error message: the start of it, or, when a
  // sanitizer stopped it (test builds), the sanitizer's one-line summary of where.
  std::string Diagnostica() {
    LeggiDiagnostica();
    const std::string* testo = &diagnostica_testo_;
    std::string sommario;
    if (size_t p = fine_testo_.rfind("SUMMARY: "); p != std::string::npos) {
      sommario = fine_testo_.substr(p, fine_testo_.find('\n', p) - p);
      // The first frame outside the sanitizer's own code says whose fault it was.
      size_t inizio = fine_testo_.rfind("ERROR: ", p);
      for (size_t q = inizio == std::string::npos ? 0 : inizio; q < p;) {
        size_t a_capo = fine_testo_.find('\n', q);
        std::string riga = fine_testo_.substr(q, a_capo - q);
        q = a_capo == std::string::npos ? p : a_capo + 1;
        size_t in = riga.find(" in ");
        if (riga.find('#') == std::string::npos || in == std::string::npos ||
            riga.find("sanitizer") != std::string::npos || riga.find("asan") != std::string::npos) {
          continue;
        }
        sommario += "; " + riga.substr(in + 1);
        break;
      }
      testo = &sommario;
    }
    std::string riga;
    for (char c : *testo) {
      if (c == '\n' || c == '\r') {
        if (!riga.empty() && riga.back() != ' ') riga += "; ";
      } else if (static_cast<unsigned char>(c) >= 0x20) {
        riga += c;
      }
    }
    while (!riga.empty() && (riga.back() == ' ' || riga.back() == ';')) riga.pop_back();
    if (riga.size() > kMaxDiagnosticaMostrata) {
      size_t taglio = kMaxDiagnosticaMostrata;
      while (taglio > 0 && (static_cast<unsigned char>(riga[taglio]) & 0xC0) == 0x80) --taglio;
      riga = riga.substr(0, taglio) + "...";
    }
    return riga;
  }

  // Waits for the process to end and says how it ended ("" for a clean exit). Its diagnostics
  // are read meanwhile, so that it never waits on a full pipe.
  std::string Fine() {
    int stato = 0;
    auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(secondi_senza_dati_);
    for (;;) {
      LeggiDiagnostica();
      pid_t esito = waitpid(pid_, &stato, WNOHANG);
      if (esito == pid_) break;
      if (esito < 0 && errno != EINTR) {
        pid_ = -1;
        return "";  // already reaped by someone ignoring SIGCHLD: what it told decides
      }
      if (std::chrono::steady_clock::now() > limite) {
        kill(pid_, SIGKILL);
        Attendi();
        return "la lettura non termina";
      }
      pollfd attesa = {diagnostica_, POLLIN, 0};
      poll(&attesa, diagnostica_ >= 0 ? 1 : 0, diagnostica_ >= 0 ? 20 : 1);
    }
    pid_ = -1;
    LeggiDiagnostica();
    if (WIFSIGNALED(stato)) {
      const int segnale = WTERMSIG(stato);
      const char* causa = segnale == SIGSEGV || segnale == SIGBUS ? "accesso a memoria non valida"
                          : segnale == SIGABRT || segnale == SIGTRAP ? "arresto per errore interno"
                                                                     : "segnale inatteso";
      return "la libreria di lettura si è interrotta: " + std::string(causa) + ", segnale " +
             std::to_string(segnale);
    }
    if (WIFEXITED(stato) && WEXITSTATUS(stato) != 0) {
      return "la lettura è terminata con il codice " + std::to_string(WEXITSTATUS(stato));
    }
    return "";
  }

  // True when libmdb was asked for a page past the end of the file.
  bool OltreLaFine() const { return oltre_la_fine_; }

 private:
  // Waits for the process, which has been killed, to be gone.
  void Attendi() {
    int stato = 0;
    while (waitpid(pid_, &stato, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }

  void LeggiDiagnostica() {
    if (diagnostica_ < 0) return;
    char blocco[4096];
    for (;;) {
      ssize_t letti = read(diagnostica_, blocco, sizeof blocco);
      if (letti < 0 && errno == EINTR) continue;
      if (letti <= 0) {
        if (letti == 0) {
          close(diagnostica_);
          diagnostica_ = -1;
        }
        return;
      }
      size_t spazio = kMaxDiagnostica - std::min(kMaxDiagnostica, diagnostica_testo_.size());
      diagnostica_testo_.append(blocco, std::min(spazio, static_cast<size_t>(letti)));
      // The last lines, where a report of how the process ended stands.
      fine_testo_.append(blocco, static_cast<size_t>(letti));
      // libmdb's word for a page the file refers to but does not have: the file is cut short.
      if (fine_testo_.find(kOltreLaFine) != std::string::npos) oltre_la_fine_ = true;
      if (fine_testo_.size() > kMaxDiagnostica) {
        fine_testo_.erase(0, fine_testo_.size() - kMaxDiagnostica);
      }
    }
  }

  void Chiudi() {
    if (dati_ >= 0) close(dati_);
    if (diagnostica_ >= 0) close(diagnostica_);
    dati_ = diagnostica_ = -1;
  }

  int secondi_senza_dati_;
  pid_t pid_ = -1;
  int dati_ = -1;
  int diagnostica_ = -1;
  std::string diagnostica_testo_;
  std::string fine_testo_;
  bool oltre_la_fine_ = false;
};

}  // namespace vendrix::jet::figlio

#endif  // VENDRIX_DATA_JET_FIGLIO_H_
