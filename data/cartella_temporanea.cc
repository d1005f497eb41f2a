#include "data/cartella_temporanea.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "comune/errore_sistema.h"
#include "data/errore.h"

namespace vendrix {

namespace fs = std::filesystem;

namespace {

constexpr char kFileProprietario[] = ".proprietario";
// A folder whose lock file is missing or still empty is being created (mkdtemp, the lock file,
// its lock, then the owner's process number written into it) or was left by a run killed in
// between; only one older than this is taken for the latter.
constexpr auto kCreazioneInCorso = std::chrono::minutes(5);

// Creates the folder in `dove` and takes its lock: the lock file is opened on the folder's own
// descriptor, so that nothing can be swapped in between. Returns the folder, empty on failure
// (errno then says why).
fs::path Crea(const fs::path& dove, int* fd) {
  std::string modello = (dove / kInizioCartellaTemporanea).string() + "XXXXXX";
  if (::mkdtemp(modello.data()) == nullptr) return {};
  const int cartella = ::open(modello.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (cartella >= 0) {
    *fd = ::openat(cartella, kFileProprietario, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   0600);
    ::close(cartella);
  }
  // Waits, if need be, for a run that is looking at the new folder to let it go: it sees an empty
  // lock file and leaves the folder alone.
  if (*fd >= 0 && ::flock(*fd, LOCK_EX) == 0) {
    const std::string numero = std::to_string(::getpid()) + "\n";
    if (::write(*fd, numero.data(), numero.size()) == static_cast<ssize_t>(numero.size())) {
      return modello;
    }
  }
  const int numero = errno;
  if (*fd >= 0) ::close(*fd);
  *fd = -1;
  std::error_code ignorato;
  fs::remove_all(modello, ignorato);
  errno = numero;
  return {};
}

// True when the folder `percorso` (already known to be a folder of this user) belongs to a run
// that is over.
bool Abbandonata(const fs::path& percorso, const struct stat& info) {
  const int fd =
      ::open((percorso / kFileProprietario).c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  const bool vecchia =
      std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(info.st_mtime) >
      kCreazioneInCorso;
  if (fd < 0) return errno == ENOENT && vecchia;
  struct stat proprietario {};
  const bool libera = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &proprietario) == 0;
  ::close(fd);
  return libera && (proprietario.st_size > 0 || vecchia);
}

// The system's temporary folder: $TMPDIR when it names a folder, else /tmp.
fs::path CartellaTemporaneaDiSistema() {
  if (const char* scelta = std::getenv("TMPDIR"); scelta != nullptr && *scelta) {
    std::error_code errore;
    if (fs::is_directory(scelta, errore)) return scelta;
  }
  return "/tmp";
}

}  // namespace

CartellaTemporanea::CartellaTemporanea(const fs::path& riserva) {
  std::vector<fs::path> dove = {CartellaTemporaneaDiSistema()};
  if (!riserva.empty()) {
    std::error_code errore;
    dove.push_back(fs::absolute(riserva, errore));
  }
  std::string tentativi;
  for (const fs::path& cartella : dove) {
    RimuoviTemporaneiAbbandonati(cartella);
    percorso_ = Crea(cartella, &fd_);
    if (!percorso_.empty()) break;
    tentativi += (tentativi.empty() ? "" : ", ") + cartella.string() + " (" +
                 TestoErroreSistema(errno) + ")";
  }
  if (percorso_.empty()) {
    throw Errore("Impossibile creare una cartella per i file temporanei in " + tentativi +
                 ": liberare spazio o controllare i permessi e riprovare.");
  }
  registrazione_.emplace(percorso_);
}

CartellaTemporanea::~CartellaTemporanea() {
  RimuoviTemporaneo(percorso_, false);
  registrazione_.reset();
  ::close(fd_);  // the folder is gone: the lock goes with it
}

void RimuoviTemporaneiAbbandonati(const fs::path& cartella) noexcept {
  const fs::path dove = cartella.empty() ? CartellaTemporaneaDiSistema() : cartella;
  std::error_code errore;
  std::vector<fs::path> abbandonate;
  for (fs::directory_iterator it(dove, errore), fine; !errore && it != fine; it.increment(errore)) {
    if (!it->path().filename().string().starts_with(kInizioCartellaTemporanea)) continue;
    struct stat info {};
    if (::lstat(it->path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid()) {
      continue;
    }
    if (Abbandonata(it->path(), info)) abbandonate.push_back(it->path());
  }
  for (const fs::path& p : abbandonate) RimuoviTemporaneo(p, false);
}

}  // namespace vendrix
