#include "comune/nome_hotel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "comune/errore_sistema.h"
#include "comune/file_testo.h"

namespace vendrix {

namespace {

std::string NomeCartella(const std::filesystem::path& cartella) {
  std::error_code errore;
  std::filesystem::path assoluta = std::filesystem::weakly_canonical(cartella, errore);
  if (errore) assoluta = std::filesystem::absolute(cartella, errore);
  const std::string nome = assoluta.filename().string();
  if (!nome.empty()) return nome;
  return assoluta.parent_path().filename().string();
}

}  // namespace

std::string NomeHotel(const std::filesystem::path& cartella) {
  const FileTesto file = LeggiFileTesto(cartella / kFileNomeHotel);
  if (file.presente && !file.errore && !file.righe.empty()) {
    const std::string_view nome = SenzaSpazi(file.righe.front(), kSpaziBianchi);
    if (!nome.empty()) return std::string(PrimiCaratteri(nome, kMassimoCaratteriNomeHotel));
  }
  return NomeCartella(cartella);
}

std::optional<std::string> ImpostaNomeHotel(const std::filesystem::path& cartella,
                                            std::string_view nome) {
  const std::filesystem::path file = cartella / kFileNomeHotel;
  const std::string_view pulito =
      PrimiCaratteri(SenzaSpazi(nome, kSpaziBianchi), kMassimoCaratteriNomeHotel);
  const auto Fallito = [&](int numero) {
    return "Impossibile salvare il nome dell'hotel in " + file.string() + ": " +
           TestoErroreSistema(numero) + ". Controllare i permessi della cartella.";
  };
  if (pulito.empty()) {
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) return Fallito(errno);
    return std::nullopt;
  }
  std::string modello = (cartella / ".VendrixHotel.txt.XXXXXX").string();
  const int fd = ::mkstemp(modello.data());
  if (fd < 0) return Fallito(errno);
  std::string testo(pulito);
  testo.push_back('\n');
  bool scritto = ::fchmod(fd, 0644) == 0;
  for (size_t fatto = 0; scritto && fatto < testo.size();) {
    const ssize_t n = ::write(fd, testo.data() + fatto, testo.size() - fatto);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) scritto = false;
    else fatto += static_cast<size_t>(n);
  }
  scritto = scritto && ::fsync(fd) == 0;
  const int numero = errno;
  ::close(fd);
  if (!scritto || ::rename(modello.c_str(), file.c_str()) != 0) {
    const int perche = scritto ? errno : numero;
    ::unlink(modello.c_str());
    return Fallito(perche);
  }
  return std::nullopt;
}

}  // namespace vendrix
