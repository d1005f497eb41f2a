// Reading the hotel suite's Access files. The file is read by the program vendrix-lettore-jet
// that sends its tables through a pipe; this side checks what arrives and copies it into SQLite.
// Whatever the child does on a damaged file (crash, endless loop, nonsense), the program gets an
// Errore naming the file and the schema stays empty.

#include "data/jet.h"

#include "data/jet.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/errore.h"
#include "data/file_normale.h"
#include "data/jet_lettore.h"

namespace vendrix::jet {
namespace {

using namespace detail;

// Memory the reading process may take: libmdb's own structures are small, the largest value is
// smaller than the file, and the margin covers the allocator.
size_t MemoriaLettura(size_t dimensione_file) { return (size_t{512} << 20) + 4 * dimensione_file; }
// Bytes of the reading process's own diagnostics kept, and shown in the error message.
constexpr size_t kMaxDiagnostica = 16384;
constexpr size_t kMaxDiagnosticaMostrata = 300;
constexpr const char* kOltreLaFine = "beyond EOF";

std::string Danneggiato(const std::string& percorso, const std::string& dettaglio) {
  return "Il file '" + percorso + "' è danneggiato o non è un database Access leggibile (" +
         dettaglio + "). Ripararlo con Access (Compatta e ripristina) o usarne una copia integra.";
}

// Page size of the file's format, from its header. Jet 3 uses 2 KB pages, Jet 4 and ACE 4 KB.
size_t ControllaFile(const std::string& percorso, size_t* dimensione) {
  int fd = ApriFileNormale(percorso);
  if (fd < 0) {
    const TipoFile tipo = TipoDiFile(percorso);
    throw Errore("Impossibile aprire il file '" + percorso + "': " +
                 (tipo != TipoFile::kNormale ? MotivoFileNonLeggibile(tipo)
                                             : std::string("il file non si può leggere")));
  }
  struct stat st;
  unsigned char testa[0x20] = {};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            pread(fd, testa, sizeof testa, 0) == static_cast<ssize_t>(sizeof testa);
  close(fd);
  if (!ok || std::memcmp(testa, "\x00\x01\x00\x00", 4) != 0 ||
      (std::memcmp(testa + 4, "Standard Jet DB", 16) != 0 &&
       std::memcmp(testa + 4, "Standard ACE DB", 16) != 0)) {
    throw Errore("Il file '" + percorso + "' non è un database Access");
  }
  const unsigned versione = testa[0x14];
  if (versione > 6) {
    throw Errore("Il file '" + percorso +
                 "' è in un formato Access più recente di quelli che il programma sa leggere. "
                 "Salvarlo con Access nel formato 2000-2003 (.mdb).");
  }
  const size_t pagina = versione == 0 ? 2048 : 4096;
  *dimensione = static_cast<size_t>(st.st_size);
  // The catalog of tables lies on page 2; a file is always a whole number of pages.
  if (*dimensione < 3 * pagina || *dimensione % pagina != 0) {
    throw Errore(Danneggiato(percorso, "il file è troncato"));
  }
  return pagina;
}

// Where the reading program is: named by VENDRIX_LETTORE_JET when set (the tests' build tree),
// otherwise beside the running program, where the programs are installed together.
std::string PercorsoLettore() {
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

// Starts the reading program on `percorso` with the stream on `dati` and its own output on
// `diagnostica`; posix_spawn, unlike a bare fork, is safe in a process with other threads.
// Returns 0, or the errno of the failure.
int AvviaLettore(const std::string& lettore, const std::string& percorso, size_t memoria, int dati,
                 int diagnostica, pid_t* pid) {
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
                       const_cast<char*>(byte.c_str()), nullptr};
  int esito = posix_spawn(pid, lettore.c_str(), &azioni, &attributi, argomenti, environ);
  posix_spawnattr_destroy(&attributi);
  posix_spawn_file_actions_destroy(&azioni);
  return esito;
}

// A failure of the reading process, turned into a message by Importa.
struct LetturaFallita {
  std::string dettaglio;
};

// The reading process and the two pipes it writes to: the stream, and its own diagnostics
// (libmdb prints its complaints on stderr). The destructor makes sure it is gone.
class Figlio {
 public:
  // `memoria`: bytes the process may take for reading, beyond what it starts with.
  Figlio(const std::string& percorso, size_t memoria, int secondi_senza_dati)
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
    int avvio = AvviaLettore(lettore, percorso, memoria, dati[1], diagnostica[1], &pid_);
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

  // Reads up to n bytes of the stream, waiting for them; 0 at the end of the stream.
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
        return "";  // already reaped by someone ignoring SIGCHLD: the stream decides
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
  int Attendi() {
    int stato = 0;
    pid_t esito;
    do {
      esito = waitpid(pid_, &stato, 0);
    } while (esito < 0 && errno == EINTR);
    pid_ = -1;
    return esito < 0 ? -1 : stato;
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

// The stream as the child sends it, read with every length and tag checked: a child whose
// memory libmdb has spoilt may send anything.
class Flusso {
 public:
  Flusso(Figlio* figlio, size_t max_valore) : figlio_(figlio), max_valore_(max_valore) {}

  uint8_t U8() {
    uint8_t v;
    Byte(&v, sizeof v);
    return v;
  }
  uint32_t U32() {
    uint32_t v;
    Byte(&v, sizeof v);
    return v;
  }
  uint64_t U64() {
    uint64_t v;
    Byte(&v, sizeof v);
    return v;
  }
  int64_t I64() {
    int64_t v;
    Byte(&v, sizeof v);
    return v;
  }
  double F64() {
    double v;
    Byte(&v, sizeof v);
    return v;
  }
  // A text or byte string of at most `massimo` bytes, into `out`.
  void Str(std::string* out, size_t massimo) {
    const uint32_t n = U32();
    if (n > massimo) throw Incoerente();
    out->clear();
    // Grown as the bytes arrive, so a false length cannot make us reserve memory for nothing.
    while (out->size() < n) {
      size_t parte = std::min<size_t>(n - out->size(), 1 << 20);
      size_t prima = out->size();
      out->resize(prima + parte);
      Byte(out->data() + prima, parte);
    }
  }
  void Valore(std::string* out) { Str(out, max_valore_); }

  // True when the stream has ended exactly here.
  bool AllaFine() {
    if (pos_ < buffer_.size()) return false;
    return Riempi() == 0;
  }

  struct Incoerente {};
  struct Interrotto {};

 private:
  void Byte(void* dst, size_t n) {
    char* p = static_cast<char*>(dst);
    while (n > 0) {
      if (pos_ == buffer_.size() && Riempi() == 0) throw Interrotto();
      size_t parte = std::min(n, buffer_.size() - pos_);
      std::memcpy(p, buffer_.data() + pos_, parte);
      pos_ += parte;
      p += parte;
      n -= parte;
    }
  }

  size_t Riempi() {
    buffer_.resize(1 << 16);
    size_t letti = figlio_->Leggi(buffer_.data(), buffer_.size());
    buffer_.resize(letti);
    pos_ = 0;
    return letti;
  }

  Figlio* figlio_;
  size_t max_valore_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
};

bool Utf8Valido(const std::string& s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    int seguito;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) {
      seguito = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      seguito = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      seguito = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(seguito) >= n) return false;
    for (int k = 1; k <= seguito; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = cp << 6 | (p[i + k] & 0x3F);
    }
    static constexpr uint32_t kMinimo[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimo[seguito] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return false;
    i += static_cast<size_t>(seguito) + 1;
  }
  return true;
}

bool NomeValido(const std::string& nome) {
  for (char c : nome) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return !nome.empty() && Utf8Valido(nome);
}

std::string Identificatore(const std::string& nome) {
  std::string out = "\"";
  for (char c : nome) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Currency as the engine stores it: the REAL nearest to the exact four-decimal amount.
double ValutaReale(int64_t decimillesimi) {
  constexpr int64_t kEsatto = int64_t{1} << 53;
  if (decimillesimi > -kEsatto && decimillesimi < kEsatto) {
    return static_cast<double>(decimillesimi) / 10000.0;  // one correctly rounded division
  }
  // Beyond 2^53 the integer itself would round first: let strtod round the decimal text once.
  const bool negativo = decimillesimi < 0;
  uint64_t assoluto =
      negativo ? 0 - static_cast<uint64_t>(decimillesimi) : static_cast<uint64_t>(decimillesimi);
  char testo[32];
  std::snprintf(testo, sizeof testo, "%s%llu.%04llu", negativo ? "-" : "",
                static_cast<unsigned long long>(assoluto / 10000),
                static_cast<unsigned long long>(assoluto % 10000));
  return std::strtod(testo, nullptr);
}

std::string TipoDichiarato(Genere genere, uint32_t dimensione) {
  switch (genere) {
    case kBooleano:
      return "BOOLEAN";
    case kIntero16:
      return "SMALLINT";
    case kIntero32:
      return "INTEGER";
    case kValuta:
      return "CURRENCY";
    case kDoppio:
      return "DOUBLE";
    case kData:
      return "DATETIME";
    case kTesto:
      return "VARCHAR(" + std::to_string(dimensione) + ")";
    case kMemo:
      return "TEXT";
    case kBinario:
      return "BLOB";
  }
  return "BLOB";
}

// The SQLite side: one table at a time, each row through one prepared INSERT.
class Destinazione {
 public:
  Destinazione(sqlite3* db, const std::string& schema, const std::string& percorso)
      : db_(db), schema_(Identificatore(schema)), percorso_(percorso) {}
  ~Destinazione() { sqlite3_finalize(inserisci_); }
  Destinazione(const Destinazione&) = delete;
  Destinazione& operator=(const Destinazione&) = delete;

  void Esegui(const std::string& sql) {
    char* errore = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &errore) != SQLITE_OK) {
      std::string testo = errore ? errore : sqlite3_errmsg(db_);
      sqlite3_free(errore);
      throw Errore(Messaggio(testo));
    }
  }

  // Undoes everything copied so far; used while another error is on its way, so it reports none.
  void Annulla() {
    sqlite3_finalize(inserisci_);
    inserisci_ = nullptr;
    sqlite3_exec(db_, "ROLLBACK TO vendrix_jet", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "RELEASE vendrix_jet", nullptr, nullptr, nullptr);
  }

  void NuovaTabella(const std::string& nome, const std::vector<std::string>& colonne,
                    const std::vector<Genere>& generi, const std::vector<uint32_t>& dimensioni) {
    sqlite3_finalize(inserisci_);
    inserisci_ = nullptr;
    tabella_ = nome;
    std::string crea = "CREATE TABLE " + schema_ + "." + Identificatore(nome) + " (";
    std::string inserisci = "INSERT INTO " + schema_ + "." + Identificatore(nome) + " VALUES (";
    for (size_t i = 0; i < colonne.size(); ++i) {
      crea += (i ? ", " : "") + Identificatore(colonne[i]) + " " +
              TipoDichiarato(generi[i], dimensioni[i]);
      inserisci += i ? ", ?" : "?";
    }
    Esegui(crea + ")");
    if (sqlite3_prepare_v2(db_, (inserisci + ")").c_str(), -1, &inserisci_, nullptr) != SQLITE_OK) {
      throw Errore(Messaggio(sqlite3_errmsg(db_)));
    }
  }

  sqlite3_stmt* Istruzione() { return inserisci_; }

  void Inserisci() {
    int esito = sqlite3_step(inserisci_);
    sqlite3_reset(inserisci_);
    if (esito != SQLITE_DONE) throw Errore(Messaggio(sqlite3_errmsg(db_)));
  }

 private:
  std::string Messaggio(const std::string& causa) const {
    return "Impossibile copiare il database Access '" + percorso_ + "'" +
           (tabella_.empty() ? std::string() : " (tabella '" + tabella_ + "')") + ": " + causa;
  }

  sqlite3* db_;
  std::string schema_;
  std::string percorso_;
  std::string tabella_;
  sqlite3_stmt* inserisci_ = nullptr;
};

// Copies what the stream carries into `dest`, checking it as it goes. Returns normally only
// after the stream's end message; throws LetturaFallita with the child's own detail when the
// child found the file damaged.
void Copia(Flusso* flusso, Destinazione* dest, size_t dimensione_file) {
  const size_t max_testo = std::min<size_t>(kMaxValore, 3 * dimensione_file + 64);
  std::vector<std::string> colonne;
  std::vector<Genere> generi;
  std::vector<uint32_t> dimensioni;
  std::vector<std::string> valori;
  uint32_t tabelle = 0;
  bool in_tabella = false;
  uint64_t righe = 0;
  for (;;) {
    const uint8_t messaggio = flusso->U8();
    switch (messaggio) {
      case kErrore: {
        std::string dettaglio;
        flusso->Str(&dettaglio, kMaxNome * 4);
        if (!Utf8Valido(dettaglio)) throw Flusso::Incoerente();
        throw LetturaFallita{dettaglio};
      }
      case kTabella: {
        if (in_tabella || ++tabelle > kMaxTabelle) throw Flusso::Incoerente();
        std::string nome;
        flusso->Str(&nome, kMaxNome);
        const uint32_t n = flusso->U32();
        if (!NomeValido(nome) || n == 0 || n > kMaxColonne) throw Flusso::Incoerente();
        colonne.assign(n, std::string());
        generi.assign(n, kBinario);
        dimensioni.assign(n, 0);
        valori.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
          flusso->Str(&colonne[i], kMaxNome);
          const uint8_t genere = flusso->U8();
          dimensioni[i] = flusso->U32();
          if (!NomeValido(colonne[i]) || genere < kBooleano || genere > kBinario ||
              dimensioni[i] > 65535 || (genere == kTesto && dimensioni[i] == 0)) {
            throw Flusso::Incoerente();
          }
          generi[i] = static_cast<Genere>(genere);
        }
        dest->NuovaTabella(nome, colonne, generi, dimensioni);
        in_tabella = true;
        righe = 0;
        break;
      }
      case kRiga: {
        if (!in_tabella) throw Flusso::Incoerente();
        sqlite3_stmt* ins = dest->Istruzione();
        for (size_t i = 0; i < colonne.size(); ++i) {
          const int p = static_cast<int>(i) + 1;
          const uint8_t etichetta = flusso->U8();
          const Genere genere = generi[i];
          switch (etichetta) {
            case kNullo:
              sqlite3_bind_null(ins, p);
              break;
            case kNumeroIntero: {
              const int64_t v = flusso->I64();
              const bool adatto = (genere == kBooleano && (v == 0 || v == 1)) ||
                                  (genere == kIntero16 && v >= INT16_MIN && v <= INT16_MAX) ||
                                  (genere == kIntero32 && v >= INT32_MIN && v <= INT32_MAX);
              if (!adatto) throw Flusso::Incoerente();
              sqlite3_bind_int64(ins, p, v);
              break;
            }
            case kNumeroReale: {
              const double v = flusso->F64();
              if (genere != kDoppio && genere != kData) throw Flusso::Incoerente();
              sqlite3_bind_double(ins, p, v);  // NaN, which Access never stores, becomes Null
              break;
            }
            case kDecimillesimi: {
              const int64_t v = flusso->I64();
              if (genere != kValuta) throw Flusso::Incoerente();
              sqlite3_bind_double(ins, p, ValutaReale(v));
              break;
            }
            case kStringa: {
              if (genere != kTesto && genere != kMemo) throw Flusso::Incoerente();
              flusso->Str(&valori[i], max_testo);
              if (!Utf8Valido(valori[i])) throw Flusso::Incoerente();
              sqlite3_bind_text(ins, p, valori[i].data(), static_cast<int>(valori[i].size()),
                                SQLITE_STATIC);
              break;
            }
            case kByte: {
              if (genere != kBinario) throw Flusso::Incoerente();
              flusso->Valore(&valori[i]);
              if (valori[i].size() > dimensione_file) throw Flusso::Incoerente();
              if (valori[i].empty()) {
                sqlite3_bind_zeroblob(ins, p, 0);
              } else {
                sqlite3_bind_blob(ins, p, valori[i].data(), static_cast<int>(valori[i].size()),
                                  SQLITE_STATIC);
              }
              break;
            }
            default:
              throw Flusso::Incoerente();
          }
        }
        dest->Inserisci();
        ++righe;
        break;
      }
      case kAvanzamento:
        break;
      case kFineTabella:
        if (!in_tabella || flusso->U64() != righe) throw Flusso::Incoerente();
        in_tabella = false;
        break;
      case kFine:
        if (in_tabella || flusso->U32() != tabelle) throw Flusso::Incoerente();
        return;
      default:
        throw Flusso::Incoerente();
    }
  }
}

}  // namespace

bool EFileJet(const std::string& percorso) {
  int fd = ApriFileNormale(percorso);
  if (fd < 0) return false;
  unsigned char testa[20] = {};
  bool letto = pread(fd, testa, sizeof testa, 0) == static_cast<ssize_t>(sizeof testa);
  close(fd);
  return letto && std::memcmp(testa, "\x00\x01\x00\x00", 4) == 0 &&
         (std::memcmp(testa + 4, "Standard Jet DB", 16) == 0 ||
          std::memcmp(testa + 4, "Standard ACE DB", 16) == 0);
}

void Importa(sqlite3* db, const std::string& schema, const std::string& percorso,
             const Limiti& limiti) {
  size_t dimensione = 0;
  ControllaFile(percorso, &dimensione);

  Destinazione dest(db, schema, percorso);
  dest.Esegui("SAVEPOINT vendrix_jet");
  try {
    Figlio figlio(percorso, MemoriaLettura(dimensione), limiti.secondi_senza_dati);
    try {
      Flusso flusso(&figlio, std::min<size_t>(kMaxValore, dimensione));
      Copia(&flusso, &dest, dimensione);
      if (!flusso.AllaFine()) throw Flusso::Incoerente();
      std::string fine = figlio.Fine();
      if (!fine.empty()) throw LetturaFallita{fine};
      // Pages past the end were read as empty: the tables are whole, but the file is not.
      if (figlio.OltreLaFine()) {
        throw LetturaFallita{"il file è troncato: mancano pagine a cui il file rimanda"};
      }
    } catch (const Flusso::Interrotto&) {
      std::string fine = figlio.Fine();
      std::string diagnostica = figlio.Diagnostica();
      throw LetturaFallita{(fine.empty() ? "la lettura si è fermata prima della fine" : fine) +
                           (diagnostica.empty() ? "" : "; libmdb: " + diagnostica)};
    } catch (const Flusso::Incoerente&) {
      throw LetturaFallita{"la libreria di lettura ha prodotto dati incoerenti"};
    }
    dest.Esegui("RELEASE vendrix_jet");
  } catch (const LetturaFallita& f) {
    dest.Annulla();
    throw Errore(Danneggiato(percorso, f.dettaglio));
  } catch (...) {
    dest.Annulla();
    throw;
  }
}

}  // namespace vendrix::jet
