#include "data/blocco_cartella.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "comune/errore_sistema.h"

namespace vendrix {

namespace fs = std::filesystem;

namespace {

bool Prendi(int fd, int modo) {
  while (::flock(fd, modo | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

BloccoCartella::BloccoCartella(const fs::path& cartella, const char* nome_file, Modo modo,
                               const std::string& occupata) {
  const std::string percorso = (cartella / nome_file).string();
  // Close-on-exec: a program started by the run must not keep the lock after the run ends.
  // O_NOFOLLOW: a symlink planted under the lock's name would have the run create or lock a
  // file wherever it points; O_NONBLOCK: a FIFO there would make the open wait.
  constexpr int kSempre = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
  fd_ = ::open(percorso.c_str(), O_RDWR | O_CREAT | kSempre, 0666);
  if (fd_ < 0 && modo == Modo::kCondiviso &&
      (errno == EACCES || errno == EROFS || errno == ENOENT)) {
    fd_ = ::open(percorso.c_str(), O_RDONLY | kSempre);
    if (fd_ < 0 && (errno == EACCES || errno == EROFS || errno == ENOENT)) return;
  }
  if (fd_ < 0 && errno == ELOOP) {
    throw Errore("Il file " + percorso +
                 " che regola i calcoli nella cartella è un collegamento simbolico: eliminarlo "
                 "e riprovare.");
  }
  if (fd_ < 0) {
    throw Errore("Impossibile aprire il file " + percorso +
                 " che regola i calcoli nella cartella (" + TestoErroreSistema(errno) +
                 "): controllare che la cartella esista e sia scrivibile.");
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw Errore("Il file " + percorso +
                 " che regola i calcoli nella cartella non è un file normale: eliminarlo e "
                 "riprovare.");
  }
  std::string rifiuto;
  if (modo == Modo::kCondiviso) {
    if (!Prendi(fd_, LOCK_SH)) rifiuto = kCalcoloInCorsoPerReport;
  } else if (!Prendi(fd_, LOCK_EX)) {
    // A shared lock granted now means only readers hold it; a refused one, another calculation.
    // Converting it to exclusive succeeds when the holder has ended meanwhile.
    if (!Prendi(fd_, LOCK_SH)) {
      rifiuto = kCalcoloInCorso;
    } else if (!Prendi(fd_, LOCK_EX)) {
      rifiuto = kReportInCorso;
    }
  }
  if (!rifiuto.empty()) {
    ::close(fd_);
    fd_ = -1;
    throw CartellaOccupata(occupata.empty() ? rifiuto : occupata);
  }
}

BloccoCartella::~BloccoCartella() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

std::filesystem::path CartellaAlbergo(const std::filesystem::path& cartella) {
  std::error_code errore;
  std::filesystem::path assoluta = std::filesystem::absolute(cartella, errore);
  if (errore) {
    throw Errore("Cartella dell'hotel non valida: " + cartella.string() + " (" +
                 TestoErroreSistema(errore) + ").");
  }
  return assoluta;
}

std::string NuovoFileTemporaneo(const std::string& prefisso, const std::string& suffisso) {
  std::string nome = prefisso + "XXXXXX" + suffisso;
  std::vector<char> modello(nome.begin(), nome.end());
  modello.push_back('\0');
  const int fd = ::mkostemps(modello.data(), static_cast<int>(suffisso.size()), O_CLOEXEC);
  if (fd < 0) {
    throw Errore("Impossibile creare il file temporaneo " + nome + " (" +
                 TestoErroreSistema(errno) +
                 "): controllare lo spazio libero e i permessi della cartella.");
  }
  ::close(fd);
  return modello.data();
}

void RimuoviAvanzi(const fs::path& cartella, const std::string& inizio,
                   const std::string& segno) noexcept {
  std::error_code errore;
  std::vector<fs::path> avanzi;
  for (fs::directory_iterator it(cartella, errore), fine_elenco; !errore && it != fine_elenco;
       it.increment(errore)) {
    const std::string nome = it->path().filename().string();
    if (nome.starts_with(inizio) && nome.find(segno, inizio.size()) != std::string::npos) {
      avanzi.push_back(it->path());
    }
  }
  for (const fs::path& avanzo : avanzi) {
    std::error_code ignorato;
    fs::remove(avanzo, ignorato);
  }
}

}  // namespace vendrix
