#include "reports/insieme_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <sstream>
#include <system_error>

#include "comune/errore_sistema.h"
#include "comune/fine_ordinata.h"
#include "data/errore.h"

namespace vendrix {

namespace fs = std::filesystem;

namespace {

constexpr char kAnnulla[] = ".annulla";
constexpr char kNessuno[] = "-";  // no previous file

struct Voce {
  std::string finale, nuovo, vecchio;
};

bool Esiste(const fs::path& p) {
  struct stat info {};
  return ::lstat(p.c_str(), &info) == 0;
}

// Makes the names of the folder durable: best effort, as not every file system allows it.
void SincronizzaCartella(const fs::path& cartella) {
  const int fd = ::open(cartella.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool Sincronizza(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool NomeSemplice(const std::string& nome) {
  return !nome.empty() && nome != "." && nome != ".." && nome.find('/') == std::string::npos &&
         nome.find('\n') == std::string::npos && nome.find('\t') == std::string::npos;
}

// The lines of a journal; nullopt when it cannot be read or is not one (then it is left alone).
std::optional<std::vector<Voce>> LeggiGiornale(const fs::path& percorso) {
  const int fd = ::open(percorso.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::string testo;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size < 65536) {
    testo.resize(static_cast<size_t>(info.st_size));
    if (::pread(fd, testo.data(), testo.size(), 0) != static_cast<ssize_t>(testo.size())) {
      testo.clear();
    }
  }
  ::close(fd);
  std::vector<Voce> voci;
  std::istringstream righe(testo);
  for (std::string riga; std::getline(righe, riga);) {
    Voce v;
    std::istringstream campi(riga);
    if (!std::getline(campi, v.finale, '\t') || !std::getline(campi, v.nuovo, '\t') ||
        !std::getline(campi, v.vecchio)) {
      return std::nullopt;
    }
    if (!NomeSemplice(v.finale) || !NomeSemplice(v.nuovo) || !NomeSemplice(v.vecchio)) {
      return std::nullopt;
    }
    voci.push_back(v);
  }
  if (voci.empty()) return std::nullopt;
  return voci;
}

// Writes the journal whole under a name of its own, then gives it its name: a journal is either
// complete or not there.
void ScriviGiornale(const fs::path& cartella, const std::string& giornale,
                    const std::vector<Voce>& voci) {
  std::string testo;
  for (const Voce& v : voci) testo += v.finale + '\t' + v.nuovo + '\t' + v.vecchio + '\n';
  const fs::path provvisorio = cartella / (giornale + ".nuovo");
  ::unlink(provvisorio.c_str());
  const int fd =
      ::open(provvisorio.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  bool ok =
      fd >= 0 && ::write(fd, testo.data(), testo.size()) == static_cast<ssize_t>(testo.size());
  const int numero = errno;
  ok = ok && ::fsync(fd) == 0;
  if (fd >= 0) ::close(fd);
  std::error_code errore;
  if (ok) fs::rename(provvisorio, cartella / giornale, errore);
  if (!ok || errore) {
    ::unlink(provvisorio.c_str());
    throw Errore("Impossibile scrivere nella cartella " + cartella.string() + " (" +
                 (errore ? TestoErroreSistema(errore) : TestoErroreSistema(numero)) +
                 "): liberare spazio o controllare i permessi e riprovare.");
  }
  SincronizzaCartella(cartella);
}

// Puts the previous files back from the journal `voci`, whose journal already stands under
// its ".annulla" name, then removes the new files and that journal.
void Annulla(const fs::path& cartella, const std::string& giornale, const std::vector<Voce>& voci) {
  for (const Voce& v : voci) {
    const fs::path finale = cartella / v.finale, nuovo = cartella / v.nuovo;
    if (v.vecchio != kNessuno) {
      const fs::path vecchio = cartella / v.vecchio;
      // A previous file not replaced yet is the same file as its link: the rename changes
      // nothing then, and the link is removed.
      if (Esiste(vecchio) && ::rename(vecchio.c_str(), finale.c_str()) == 0) {
        ::unlink(vecchio.c_str());
      }
    } else if (!Esiste(nuovo)) {
      ::unlink(finale.c_str());  // there was none before: the new one, renamed, goes
    }
    ::unlink(nuovo.c_str());
  }
  SincronizzaCartella(cartella);
  ::unlink((cartella / (giornale + kAnnulla)).c_str());
}

// Removes the journal of a set now in place, then the previous files it kept.
void Concludi(const fs::path& cartella, const std::string& giornale,
              const std::vector<Voce>& voci) {
  ::unlink((cartella / giornale).c_str());
  SincronizzaCartella(cartella);
  for (const Voce& v : voci) {
    if (v.vecchio != kNessuno) ::unlink((cartella / v.vecchio).c_str());
  }
}

}  // namespace

void SostituisciInsieme(const fs::path& cartella, const std::string& giornale,
                        const std::vector<FileDellInsieme>& file) {
  std::vector<Voce> voci;
  const auto togli_vecchi = [&] {
    for (const Voce& v : voci) {
      if (v.vecchio != kNessuno) ::unlink((cartella / v.vecchio).c_str());
    }
  };
  // Each previous file is kept under a second name: a link costs no copy, and the previous file
  // stays whole under it whatever happens to its own name.
  for (const FileDellInsieme& f : file) {
    const fs::path finale = cartella / f.finale;
    Voce v{f.finale, f.nuovo, kNessuno};
    struct stat info {};
    if (::lstat(finale.c_str(), &info) == 0) {
      if (S_ISDIR(info.st_mode)) {
        togli_vecchi();
        throw Errore("Impossibile scrivere '" + finale.string() +
                     "': al suo posto c'è una cartella. Spostarla o rinominarla e riprovare; "
                     "i fogli Excel precedenti restano come erano.");
      }
      v.vecchio = f.finale + "." + std::to_string(::getpid()) + ".vecchio";
      const fs::path vecchio = cartella / v.vecchio;
      ::unlink(vecchio.c_str());
      if (::link(finale.c_str(), vecchio.c_str()) != 0) {
        const int numero = errno;
        togli_vecchi();
        throw Errore("Impossibile scrivere '" + finale.string() + "' (" +
                     TestoErroreSistema(numero) +
                     "): controllare i permessi della cartella e riprovare.");
      }
    }
    if (!Sincronizza(cartella / f.nuovo)) {
      togli_vecchi();
      throw Errore("Impossibile salvare su disco '" + finale.string() +
                   "': spazio esaurito o errore di scrittura. Liberare spazio e riprovare.");
    }
    voci.push_back(v);
  }
  const SostituzioneInCorso sostituzione;
  try {
    ScriviGiornale(cartella, giornale, voci);
  } catch (...) {
    togli_vecchi();
    throw;
  }
  for (const Voce& v : voci) {
    std::error_code errore;
    fs::rename(cartella / v.nuovo, cartella / v.finale, errore);
    if (errore) {
      std::error_code ignorato;
      fs::rename(cartella / giornale, cartella / (giornale + kAnnulla), ignorato);
      Annulla(cartella, giornale, voci);
      throw Errore("Impossibile scrivere '" + (cartella / v.finale).string() +
                   "': " + TestoErroreSistema(errore) +
                   ". Chiudere il file se è aperto e riprovare; i fogli Excel precedenti restano "
                   "come erano.");
    }
  }
  Concludi(cartella, giornale, voci);
}

void CompletaInsiemeInterrotto(const fs::path& cartella, const std::string& giornale) noexcept {
  try {
    ::unlink((cartella / (giornale + ".nuovo")).c_str());  // the set was not touched yet
    const fs::path annulla = cartella / (giornale + kAnnulla);
    if (Esiste(annulla)) {
      if (const auto voci = LeggiGiornale(annulla)) Annulla(cartella, giornale, *voci);
      return;
    }
    const auto voci = LeggiGiornale(cartella / giornale);
    if (!voci) return;
    const SostituzioneInCorso sostituzione;
    for (const Voce& v : *voci) {
      const fs::path nuovo = cartella / v.nuovo;
      if (Esiste(nuovo) && ::rename(nuovo.c_str(), (cartella / v.finale).c_str()) != 0) {
        if (::rename((cartella / giornale).c_str(), annulla.c_str()) == 0) {
          Annulla(cartella, giornale, *voci);
        }
        return;
      }
    }
    Concludi(cartella, giornale, *voci);
  } catch (...) {
    // Left for a later look.
  }
}

}  // namespace vendrix
